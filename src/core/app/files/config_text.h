#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/app/files/config_file.h"
#include "core/model/description.h"

namespace varda {

class DescBranch;
class Parameter;

// One parameter of a configuration as text: where it is (the branch path and, for an indexed parameter,
// its index), what it is, its value and the module's access attributes.
struct ParameterRecord {
    std::string path;  // branch names from the model's root, "/"-joined ("" for the root's own)
    std::string name;  // network name
    int index = -1;    // -1: not indexed
    std::string description;
    std::string type;
    std::string value;
    std::string default_value;
    bool differs_from_default = false;
    bool access_attribute = true;  // read/write; false: read-only
    bool user_attribute = false;   // "Company"
    // False for a record of a file that no parameter of the model's tree took (the tree was built for
    // another module version): its description and type are unknown.
    bool placed = true;
};

std::vector<ParameterRecord> parameter_records(const DescBranch& root);

// Every parameter of the tree in tree order with its branch path as in ParameterRecord.
void visit_parameters(const DescBranch& root,
                      const std::function<void(const std::string& path, Parameter&)>& visit);
// Where a parameter is, in one text: "Вход 2/FiLt:1", "Addr".
std::string place_text(const std::string& path, const std::string& name, int index);

// {"model": "VK03", "parameters": [{"path": …, "name": …, "index": …, …, "access": "read/write",
// "user": "unknown"}, …]}
std::string records_json(int model, const std::vector<ParameterRecord>& records);
// A header line and one line per parameter, fields quoted as RFC 4180 has it.
std::string records_csv(const std::vector<ParameterRecord>& records);

// The module version a "ver" value names, as "#if ver" compares it; nothing for "no data" or a text that
// does not start with a number.
std::optional<std::pair<int, int>> version_of(const std::string& ver_value);

// A configuration file read without a module: its model's tree, built for the module version the file
// was read with (its "ver" parameter), with the file's values. `error` says why when the file or the
// model's description could not be used.
struct LoadedConfiguration {
    DescriptionContext description;
    LoadResult result;
    int model = -1;
    std::string version;  // the file's "ver" value; "" when the file holds none
    std::string error;
    bool ok() const { return error.empty(); }
    // Whether the tree was built for a known module version.
    bool version_known() const { return version_of(version).has_value(); }
    // Every parameter the file holds: the tree's in tree order, then the records no parameter took.
    std::vector<ParameterRecord> records() const;
    // One line for each record no parameter of the tree took, saying why.
    std::vector<std::string> unplaced_notes() const;
};
std::unique_ptr<LoadedConfiguration> load_configuration_file(const std::string& path);

// Makes a configuration file from JSON as records_json writes it: path + name + index identify a
// parameter; the model comes from the JSON, the module version from its "ver" record. A value is checked
// as the editor checks a typed one and stored as a read would show it; attributes left out keep the
// description's. Records of parameters the tree lacks are skipped and named; any other fault of the JSON
// or of a record refuses the whole import, and nothing is written.
struct ImportResult {
    std::string error;                 // nothing was written: why
    std::vector<std::string> refused;  // with `error`: one line for each record that could not be taken
    std::vector<std::string> skipped;  // written without these, one line each: what was left out and why
    int applied = 0;
};
ImportResult import_json(const std::string& json_text, const std::string& out_path);

// Where two configurations of one model differ: a value (compared as the bytes it encodes to), an
// attribute, or a parameter only one side holds.
struct ConfigDifference {
    std::string path;
    std::string name;
    int index = -1;
    std::optional<ParameterRecord> first;   // nothing: the first side lacks the parameter
    std::optional<ParameterRecord> second;  // nothing: the second side lacks it
    Parameter* first_parameter = nullptr;   // the sides' parameters; null for a record no parameter took
    Parameter* second_parameter = nullptr;
};
std::vector<ConfigDifference> config_differences(const DescBranch& first, const DescBranch& second);
// Of two files, the records no parameter took included.
std::vector<ConfigDifference> config_differences(const LoadedConfiguration& first,
                                                 const LoadedConfiguration& second);
// "Вход 2/FiLt:2: 10 -> 42"; "Addr: 16 (read/write, unknown) -> 16 (read-only, unknown)" when the
// attributes differ; "(missing)" for the side that lacks the parameter.
std::string difference_text(const ConfigDifference& difference);
// The words of the attributes as exported: "read/write" or "read-only", "Company" or "unknown".
std::string access_word(bool access_attribute);
std::string user_word(bool user_attribute);

}  // namespace varda
