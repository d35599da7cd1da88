#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/config_file.h"
#include "core/model/description.h"

namespace varda {

class DescBranch;
class Parameter;

// One parameter of a configuration as text: where it is (the branch path and, for an indexed parameter,
// its index), what it is and its value.
struct ParameterRecord {
    std::string path;  // branch names from the model's root, "/"-joined ("" for the root's own)
    std::string name;  // network name
    int index = -1;    // -1: not indexed
    std::string description;
    std::string type;
    std::string value;
    std::string default_value;
    bool differs_from_default = false;
};

std::vector<ParameterRecord> parameter_records(const DescBranch& root);

// Every parameter of the tree in tree order with its branch path as in ParameterRecord.
void visit_parameters(const DescBranch& root,
                      const std::function<void(const std::string& path, Parameter&)>& visit);
// Where a parameter is, in one text: "Вход 2/FiLt:1", "Addr".
std::string place_text(const std::string& path, const std::string& name, int index);

// {"model": "VK03", "parameters": [{"path": …, "name": …, "index": …, …}, …]}
std::string records_json(int model, const std::vector<ParameterRecord>& records);
// A header line and one line per parameter, fields quoted as RFC 4180 has it.
std::string records_csv(const std::vector<ParameterRecord>& records);

// A configuration file read without a module: its model's tree with the file's values. `error` says why
// when the file or the model's description could not be used.
struct LoadedConfiguration {
    DescriptionContext description;
    LoadResult result;
    int model = -1;
    std::string error;
    bool ok() const { return error.empty(); }
};
std::unique_ptr<LoadedConfiguration> load_configuration_file(const std::string& path);

// Makes a configuration file from JSON as records_json writes it: path + name + index identify a
// parameter; the model comes from the JSON. Unknown parameters and refused values are reported and skipped.
struct ImportResult {
    std::string error;                  // nothing was written
    std::vector<std::string> skipped;   // one line each: what was left out and why
    int applied = 0;
};
ImportResult import_json(const std::string& json_text, const std::string& out_path);

// Where two trees of one model differ.
struct ConfigDifference {
    std::string path;
    std::string name;
    int index = -1;
    std::string first;
    std::string second;
};
std::vector<ConfigDifference> config_differences(const DescBranch& first, const DescBranch& second);
// "Вход 2/FiLt:2: 10 -> 42"
std::string difference_text(const ConfigDifference& difference);

}  // namespace varda
