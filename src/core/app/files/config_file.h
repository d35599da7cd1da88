#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/files/archive_stream.h"
#include "core/model/elements.h"

// Configuration files (".vdc"): the model index and the values, attributes, flags and texts of every
// parameter of a configuration tree. The file holds no tree structure: it is read into the tree that the
// model's description builds, branch parameters matched by key, other elements' parameters by position.
namespace varda {

class ModelHooks;
class DescriptionContext;

// The key of a branch parameter: (network index << 16) | name hash, the index 0xFFFF when not indexed.
std::uint32_t parameter_key(const Parameter& parameter);

// ---- saving -------------------------------------------------------------------------------------

// The bytes of a configuration file of this model holding `root` (no root: the header alone).
std::vector<std::uint8_t> encode_configuration(int model_index, const DescBranch* root);

struct SaveResult {
    bool ok = false;
    std::string message;  // why saving failed, for the caller to show (nothing has been shown)
};

// Writes the file through a temporary file in the same folder that then replaces it, so a failed save
// leaves an existing file as it was. A symbolic link is followed: the file it names is replaced.
SaveResult save_configuration(const std::filesystem::path& path, int model_index, const DescBranch* root);
// The same for ready bytes; a failure's message is only the reason, for the caller to name the file.
SaveResult write_file_replacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// ---- loading ------------------------------------------------------------------------------------

enum class LoadStatus {
    // The open succeeded: the tree now belongs to the file (record its path, clear the modified flag).
    Loaded,       // every record read
    Truncated,    // the file ended early: the tree holds what was read (no message)
    FormatError,  // a wrong or unknown class inside the records: message 169 shown, tree as far as read
    // Nothing changed: not the tree, not the current model.
    Declined,     // the file is of another model and the user answered No to message 165
    OldVersion,   // schema 1: message 167 shown
    Damaged,      // a schema this program does not know or a model outside the device table: message 168
    WrongFormat,  // the file does not start with a configuration header: message 169 shown
    ReadError,    // the file could not be opened or read, or ends inside its header: message shown
};

// A parameter record of the file that no parameter of the tree took: where it was and what it held.
struct UnplacedRecord {
    std::string path;  // the names of its branch and the branches above, "/"-joined ("" for the root)
    std::string name;  // network name
    int index = -1;    // -1: not indexed
    std::string value;
    bool access_attribute = true;
    bool user_attribute = false;
};

struct LoadResult {
    LoadStatus status = LoadStatus::ReadError;
    std::string message;  // the text already shown to the user, empty when none was
    int file_model = -1;  // the model the file is for, when its header names one
    // Records the tree has no parameter for (a tree built for another module version), in file order.
    std::vector<UnplacedRecord> unplaced{};
    // Values the file holds that the editor would refuse, "FiLt:2 = 300: outside its range 0 to 255";
    // the document took none of them.
    std::vector<std::string> refused{};
    bool opened() const {
        return status == LoadStatus::Loaded || status == LoadStatus::Truncated ||
               status == LoadStatus::FormatError;
    }
};

struct LoadOptions {
    // Silent command-line mode: after a format error the half-filled tree is rebuilt from the description.
    bool rebuild_after_format_error = false;
};

// Rebuilds the tree for the connection's model (the `model` the load was given): let the device drop its
// per-tree state, clear the tree and load the model's description into the context (which creates the
// device-model object).
using RebuildTree = std::function<void()>;

// Reads a configuration file into `description`'s tree. The header is checked before anything changes;
// a file of another model than `model` (the connection's; kNoModel: none yet) asks message 165 first. A
// file of schema 5 makes its model `model`, then `rebuild_tree` builds the tree, which the records fill.
// Parameters named "Log" are handed to the device-model object. Messages go through ui().
LoadResult load_configuration(const std::filesystem::path& path, DescriptionContext& description,
                              std::atomic<int>& model, const RebuildTree& rebuild_tree,
                              const LoadOptions& options = {});
// The same for the bytes of a file.
LoadResult load_configuration_bytes(std::span<const std::uint8_t> bytes, DescriptionContext& description,
                                    std::atomic<int>& model, const RebuildTree& rebuild_tree,
                                    const LoadOptions& options = {});

// ---- records ------------------------------------------------------------------------------------

// Whether a value text is "no data", as written or in Russian: a file keeps it as written, yet may come
// from either language.
bool means_no_data(std::string_view text);

// An element's record: a branch record for a DescBranch (its children follow), else the element record
// of InvisibleElement (NetRS485, NetRS485prg, CommonParams and InvisibleElement itself).
void write_element(ArchiveWriter& out, const Elements::InvisibleElement& element);
void write_parameter(ArchiveWriter& out, const Parameter& parameter);

// Reads an element's record into it. The configurator's own network element (NetRS485prg) reads its
// records and drops them: loading never changes the configurator's own settings. Parameters named "Log"
// go to `log_model` when given. Throws ArchiveError.
void read_element(ArchiveReader& in, Elements::InvisibleElement& element, ModelHooks* log_model);

}  // namespace varda
