#include "core/app/files/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <system_error>

#include "core/model/description.h"
#include "core/model/device_table.h"
#include "core/model/model_hooks.h"
#include "core/model/network_elements.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

constexpr int kStringOtherModel = 165;
constexpr int kStringFileOpeningError = 166;
constexpr int kStringOldVersion = 167;
constexpr int kStringFileDamage = 168;
constexpr int kStringWrongFormat = 169;
constexpr int kStringFileReadingError = 185;

// Real configurations are a few hundred kilobytes at most; anything far larger is not one of them, and
// reading it whole would only exhaust memory.
constexpr std::size_t kMaxFileSize = 64u << 20;

std::string errno_text(int error) {
    return std::generic_category().message(error);
}

// ---- parameter records ----------------------------------------------------------------------------

struct ConverterPart {
    bool present = false;
    std::string network_name;
    std::string value_text;
};

ConverterPart read_converter_part(ArchiveReader& in) {
    ConverterPart part;
    if (in.read_class_tag(ArchiveClass::MyConverter) != 3) return part;
    part.network_name = in.read_string();
    part.value_text = in.read_string();
    part.present = true;
    return part;
}

// A file supplies values only: the parameter's name stays the description's.
void apply_converter_part(const ConverterPart& part, Parameter& p) {
    if (!part.present) return;
    // "no data" is stored as written, and read in either language, so a file moves between locales.
    p.SetValueText(means_no_data(part.value_text) ? std::string(str(kNoData)) : part.value_text);
}

// A file keeps only a parameter's error text, as it read when saved (in either language): the two texts that
// report no failure of the module get their kind back, any other is a described failure.
Failure stored_failure(std::string_view text) {
    const auto saved_as = [text](int id, bool prefix) {
        for (const std::string_view known : {str_as_written(id), russian_str(id)})
            if (!known.empty() && (prefix ? text.starts_with(known) : text == known)) return true;
        return false;
    };
    if (saved_as(kDeviceValue, true)) return {FailureKind::Discrepancy};
    if (saved_as(kValueNotInitialized, false)) return {FailureKind::NotInitialized};
    return {FailureKind::Described};
}

// The values and marks of the "Parameter" part. What the parameter is — its text, index, address offset,
// whether it may be written, its access mode — comes from the description, never from a file, so a
// crafted file cannot make the configurator write elsewhere or write a read-only parameter.
void read_parameter_part(ArchiveReader& in, Parameter& p) {
    if (in.read_class_tag(ArchiveClass::Parameter) != 1) return;
    (void)in.read_string();  // description
    (void)in.read_byte();    // indexed
    (void)in.read_int32();   // network index
    (void)in.read_int32();   // address offset
    (void)in.read_byte();    // writable
    std::string error = in.read_string();
    const Failure failure = stored_failure(error);
    p.set_failure(failure.kind, std::move(error));
    p.value_modified = in.read_byte() != 0;
    p.access_modified = in.read_byte() != 0;
    p.user_modified = in.read_byte() != 0;
    p.access_attribute = in.read_byte() != 0;
    p.user_attribute = in.read_byte() != 0;
    (void)in.read_int32();  // access mode
}

void hand_log(Parameter& p, ModelHooks* log_model) {
    if (log_model && platform::iequals(p.network_name(), "Log")) log_model->OnLogParameter(p);
}

// ---- element records ------------------------------------------------------------------------------

void write_branch(ArchiveWriter& out, const DescBranch& branch) {
    out.write_class_tag(ArchiveClass::DescBranch);
    out.write_string(branch.name);
    out.write_dword(static_cast<std::uint32_t>(branch.parameters.size()));
    for (const auto& p : branch.parameters) {
        out.write_dword(parameter_key(*p));
        write_parameter(out, *p);
    }
    out.write_int32(branch.count);
    out.write_int32(branch.index);
    for (const auto& child : branch.children)
        write_branch(out, *child);
}

void write_plain_element(ArchiveWriter& out, const Elements::InvisibleElement& element) {
    out.write_class_tag(ArchiveClass::InvisibleElement);
    out.write_string(element.name);
    out.write_dword(static_cast<std::uint32_t>(element.parameters.size()));
    for (const auto& p : element.parameters)
        write_parameter(out, *p);
}

// Where the records that fit no parameter of the tree go (nowhere when null).
struct Unplaced {
    std::vector<UnplacedRecord>* records = nullptr;
    void add(const std::string& path, std::uint32_t key, const ConverterPart& converter, const Parameter& p) {
        if (!records || !converter.present) return;
        const int index = key >> 16 == 0xFFFF ? -1 : static_cast<int>(key >> 16);
        records->push_back(
            {path, converter.network_name, index, p.value_text(), p.access_attribute, p.user_attribute});
    }
};

std::string child_path(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

// `path`: the names of the branches above this one, "/"-joined; null for the root.
void read_branch(ArchiveReader& in, DescBranch& branch, ModelHooks* log_model, const std::string* parent_path,
                 Unplaced unplaced) {
    if (in.read_class_tag(ArchiveClass::DescBranch) == 3) {
        branch.name = in.read_string();
        const std::uint32_t n = in.read_dword();

        // Equal keys keep the branch's order, so a branch that holds the same parameter twice gets the
        // file's two records in turn.
        std::multimap<std::uint32_t, std::size_t> by_key;
        for (std::size_t k = 0; k < branch.parameters.size(); ++k)
            by_key.emplace(parameter_key(*branch.parameters[k]), k);
        std::vector<bool> filled(branch.parameters.size(), false);

        // n comes from the file: each record takes bytes, so the end of the stream bounds the loop.
        for (std::uint32_t i = 0; i < n && !in.at_end(); ++i) {
            const std::uint32_t key = in.read_dword();
            const ConverterPart converter = read_converter_part(in);
            // Two names may share a hash: a record only fills a parameter of its own name.
            Parameter* target = nullptr;
            const auto [first, last] = by_key.equal_range(key);
            for (auto it = first; it != last && !target; ++it) {
                Parameter& candidate = *branch.parameters[it->second];
                if (filled[it->second]) continue;
                if (converter.present && !platform::iequals(candidate.network_name(), converter.network_name))
                    continue;
                filled[it->second] = true;
                target = &candidate;
            }
            Parameter discarded;
            Parameter& dest = target ? *target : discarded;
            apply_converter_part(converter, dest);
            read_parameter_part(in, dest);
            if (target) {
                hand_log(*target, log_model);
            } else {
                unplaced.add(parent_path ? child_path(*parent_path, branch.name) : std::string(), key,
                             converter, discarded);
            }
        }
        branch.count = in.read_int32();
        branch.index = in.read_int32();
    }
    const std::string path = parent_path ? child_path(*parent_path, branch.name) : std::string();
    for (auto& child : branch.children)
        read_branch(in, *child, log_model, &path, unplaced);
}

void read_plain_element(ArchiveReader& in, Elements::InvisibleElement& element, ModelHooks* log_model) {
    const bool own_network = dynamic_cast<Elements::NetRS485prg*>(&element) != nullptr;
    if (in.read_class_tag(ArchiveClass::InvisibleElement) == 3) {
        std::string name = in.read_string();
        (void)in.read_dword();  // the writer's count: the element's own parameters decide how many follow
        if (!own_network) {
            element.name = std::move(name);
            element.ResetValues();
        }
    }
    for (auto& p : element.parameters) {
        const ConverterPart converter = read_converter_part(in);
        // By position, but a record of another name belongs to no parameter here.
        const bool other_name =
            converter.present && !platform::iequals(converter.network_name, p->network_name());
        Parameter discarded;
        Parameter& dest = own_network || other_name ? discarded : *p;
        apply_converter_part(converter, dest);
        read_parameter_part(in, dest);
        if (!own_network) hand_log(dest, log_model);
    }
}

// ---- files ----------------------------------------------------------------------------------------

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result (a delayed write error may only show here).
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

struct FileRead {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success
};

FileRead read_whole_file(const fs::path& path) {
    FileRead result;
    // Non-blocking so that naming a FIFO cannot hang the program before the type check.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        result.error =
            std::string(localized("Cannot open the file '")) + path.string() + "'.\n" + errno_text(errno);
        return result;
    }
    const std::string reading_error =
        std::string(str(kStringFileReadingError)) + "\n'" + path.string() + "': ";
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        result.error = reading_error + errno_text(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = reading_error + (S_ISDIR(st.st_mode) ? errno_text(EISDIR) : "not a regular file");
        return result;
    }
    const std::string too_large = reading_error + "the file is too large to be a configuration file";
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize) {
        result.error = too_large;
        return result;
    }
    result.bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result.error = reading_error + errno_text(errno);
            result.bytes.clear();
            return result;
        }
        if (got == 0) break;
        // The file may grow while it is read.
        if (result.bytes.size() + static_cast<std::size_t>(got) > kMaxFileSize) {
            result.error = too_large;
            result.bytes.clear();
            return result;
        }
        result.bytes.insert(result.bytes.end(), chunk, chunk + got);
    }
    return result;
}

SaveResult save_failed(const fs::path& path, const std::string& reason) {
    return {false, "Cannot save the configuration file '" + path.string() + "'.\n" + reason};
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            if (done == 0) errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(done));
    }
    return true;
}

// ---- loading --------------------------------------------------------------------------------------

// Message 165 with the display names of the file's model and of the current one.
std::string other_model_question(int file_model, int current_model) {
    std::string text(str(kStringOtherModel));
    for (const std::string_view name : {display_name(file_model), display_name(current_model)}) {
        const std::size_t at = text.find("%s");
        if (at == std::string::npos) break;
        text.replace(at, 2, name);
    }
    return text;
}

LoadResult file_message(LoadStatus status, int string_id) {
    const std::string text(str(string_id));
    ui().message(text, MessageIcon::Warning, str(kStringFileOpeningError));
    return {status, text};
}

LoadResult error_message(LoadStatus status, const std::string& text) {
    ui().message(text, MessageIcon::Error);
    return {status, text};
}

LoadResult load_records(std::span<const std::uint8_t> bytes, DescriptionContext& description,
                        std::atomic<int>& model, const RebuildTree& rebuild_tree,
                        const LoadOptions& options) {
    ArchiveReader in(bytes);
    const std::string short_header =
        std::string(str(kStringFileReadingError)) + "\nThe file ends before its header is complete.";

    // The header is checked in full before anything changes, so a file that is not a configuration of
    // this program leaves the tree and the current model as they were.
    std::uint16_t schema = 0;
    try {
        schema = in.read_class_tag(ArchiveClass::Document);
    } catch (const ArchiveError& e) {
        if (e.kind() == ArchiveError::Kind::EndOfStream)
            return error_message(LoadStatus::ReadError, short_header);
        return file_message(LoadStatus::WrongFormat, kStringWrongFormat);
    }
    if (schema == 1) return file_message(LoadStatus::OldVersion, kStringOldVersion);
    if (schema < 3 || schema > 5) return file_message(LoadStatus::Damaged, kStringFileDamage);

    int file_model = -1;
    try {
        if (schema == 4) (void)in.read_dword();
        if (schema == 5) file_model = in.read_byte();
    } catch (const ArchiveError&) {
        return error_message(LoadStatus::ReadError, short_header);
    }
    if (schema == 5) {
        if (!device_row(file_model)) return file_message(LoadStatus::Damaged, kStringFileDamage);
        const int current = model.load();
        if (file_model != current && current != kNoModel) {
            const std::string question = other_model_question(file_model, current);
            if (ui().ask(question, Buttons::YesNoSafeNo, MessageIcon::Information) != Answer::Yes)
                return {LoadStatus::Declined, {}, file_model};
        }
        model = file_model;
    }

    rebuild_tree();
    DescBranch* root = description.root();
    if (!root) return {LoadStatus::Loaded, {}};
    std::vector<UnplacedRecord> unplaced;
    try {
        read_branch(in, *root, description.device_model().get(), nullptr, {&unplaced});
    } catch (const ArchiveError& e) {
        if (e.kind() == ArchiveError::Kind::EndOfStream) {
            LoadResult result{LoadStatus::Truncated, {}};
            result.unplaced = std::move(unplaced);
            return result;
        }
        LoadResult result = file_message(LoadStatus::FormatError, kStringWrongFormat);
        if (options.rebuild_after_format_error) rebuild_tree();
        return result;
    }
    LoadResult result{LoadStatus::Loaded, {}};
    result.unplaced = std::move(unplaced);
    return result;
}

}  // namespace

bool means_no_data(std::string_view text) {
    return text == str(kNoData) || text == str_as_written(kNoData) || text == russian_str(kNoData);
}

std::uint32_t parameter_key(const Parameter& parameter) {
    const std::uint32_t index =
        parameter.indexed ? static_cast<std::uint32_t>(parameter.network_index) & 0xFFFF : 0xFFFF;
    return (index << 16) | parameter.Hash();
}

void write_parameter(ArchiveWriter& out, const Parameter& p) {
    out.write_class_tag(ArchiveClass::MyConverter);
    out.write_string(p.network_name());
    out.write_string(p.value_text() == str(kNoData) ? std::string(str_as_written(kNoData)) : p.value_text());
    out.write_class_tag(ArchiveClass::Parameter);
    out.write_string(p.description);
    out.write_byte(p.indexed ? 1 : 0);
    out.write_int32(p.network_index);
    out.write_int32(p.address_offset);
    out.write_byte(p.writable ? 1 : 0);
    out.write_string(p.error_text);
    out.write_byte(p.value_modified ? 1 : 0);
    out.write_byte(p.access_modified ? 1 : 0);
    out.write_byte(p.user_modified ? 1 : 0);
    out.write_byte(p.access_attribute ? 1 : 0);
    out.write_byte(p.user_attribute ? 1 : 0);
    out.write_int32(p.access_mode);
}

void write_element(ArchiveWriter& out, const Elements::InvisibleElement& element) {
    if (const auto* branch = dynamic_cast<const DescBranch*>(&element)) {
        write_branch(out, *branch);
    } else {
        write_plain_element(out, element);
    }
}

void read_element(ArchiveReader& in, Elements::InvisibleElement& element, ModelHooks* log_model) {
    if (auto* branch = dynamic_cast<DescBranch*>(&element)) {
        read_branch(in, *branch, log_model, nullptr, {});
    } else {
        read_plain_element(in, element, log_model);
    }
}

std::vector<std::uint8_t> encode_configuration(int model_index, const DescBranch* root) {
    ArchiveWriter out;
    out.write_class_tag(ArchiveClass::Document);
    out.write_byte(static_cast<std::uint8_t>(model_index));
    if (root) write_branch(out, *root);
    return out.take();
}

SaveResult write_file_replacing(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(path, ec)) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (ec) return SaveResult{false, ec.message()};
        target = std::move(resolved);
    }
    if (!target.has_filename()) return SaveResult{false, errno_text(EISDIR)};

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return SaveResult{false, errno_text(EISDIR)};
    // A file the user made read-only stays as it is, even though the folder would allow replacing it.
    if (exists && ::access(target.c_str(), W_OK) != 0) return SaveResult{false, errno_text(errno)};

    // The temporary file lives in the target's folder so that the final rename cannot cross file systems.
    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem = target.filename().string().substr(0, 200);
    fs::path temp;
    int raw_fd = -1;
    for (int attempt = 0; attempt < 100 && raw_fd < 0; ++attempt) {
        temp = folder /
               ("." + stem + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp");
        raw_fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw_fd < 0 && errno != EEXIST) break;
    }
    if (raw_fd < 0) return SaveResult{false, errno_text(errno)};
    FileDescriptor fd(raw_fd);

    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        return SaveResult{false, errno_text(error)};
    };
    if (exists) (void)::fchmod(fd.get(), existing.st_mode & 07777);
    if (!write_all(fd.get(), bytes)) return fail(errno);
    if (::fsync(fd.get()) != 0) return fail(errno);
    if (fd.close() != 0) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);

    // Make the rename itself durable; a folder that cannot be synced still holds the complete file.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) (void)::fsync(dir.get());
    return {true, {}};
}

SaveResult save_configuration(const fs::path& path, int model_index, const DescBranch* root) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = encode_configuration(model_index, root);
    } catch (const std::exception& e) {
        return save_failed(path, e.what());
    }
    SaveResult written = write_file_replacing(path, bytes);
    if (!written.ok) written = save_failed(path, written.message);
    return written;
}

LoadResult load_configuration_bytes(std::span<const std::uint8_t> bytes, DescriptionContext& description,
                                    std::atomic<int>& model, const RebuildTree& rebuild_tree,
                                    const LoadOptions& options) {
    try {
        return load_records(bytes, description, model, rebuild_tree, options);
    } catch (const std::exception&) {
        return error_message(LoadStatus::ReadError, std::string(str(kStringFileReadingError)));
    }
}

LoadResult load_configuration(const fs::path& path, DescriptionContext& description, std::atomic<int>& model,
                              const RebuildTree& rebuild_tree, const LoadOptions& options) {
    FileRead file;
    try {
        file = read_whole_file(path);
    } catch (const std::exception&) {
        return error_message(LoadStatus::ReadError, std::string(str(kStringFileReadingError)));
    }
    if (!file.error.empty()) return error_message(LoadStatus::ReadError, file.error);
    return load_configuration_bytes(file.bytes, description, model, rebuild_tree, options);
}

}  // namespace varda
