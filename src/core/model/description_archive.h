#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// varda.dat: a compound file whose root storage holds one zlib-compressed stream per description text.
namespace varda {

enum class ArchiveFailure {
    None,
    Missing,        // no file of that name, and none was to be created
    CannotOpen,     // the file (or a new one) cannot be opened or created
    NotAnArchive,   // the file is not a compound file, or its structure is damaged
    Busy,           // another program or object holds the archive
    MemberMissing,  // no member of that name
    MemberEmpty,    // the member decodes to nothing
    MemberDamaged,  // the member's data breaks off; what was decoded before the damage is kept
    OutOfMemory,    // decoding ran out of memory; what was decoded before is kept
    BadMemberName,  // empty, longer than 31 characters, or contains / \ : !
    SourceUnreadable,
    WriteFailed,
};

// A short English sentence for the failure ("" for None).
std::string_view failure_text(ArchiveFailure failure);

// One archive file, opened for one load (or one build step) and closed when the object goes. While the
// object exists it holds a shared lock on the file: other readers may open it too, but nobody can replace
// it. Writing takes the lock exclusively and fails at once with Busy when anyone else holds the file.
class DescriptionArchive {
  public:
    // Opens the compound file at path. With create set and no file of that name, an empty archive is
    // created. Never throws: on failure the archive stays closed and every later operation fails.
    DescriptionArchive(std::string path, bool create);
    ~DescriptionArchive();
    DescriptionArchive(const DescriptionArchive&) = delete;
    DescriptionArchive& operator=(const DescriptionArchive&) = delete;

    bool is_open() const;
    const std::string& path() const { return path_; }
    // True when the constructor made a new, empty archive file.
    bool created() const { return created_; }

    // Appends the member's bytes as stored (Windows-1251 text) to sink and returns the sink's size. 0 when
    // the archive is not open, the member does not exist, or it decodes to nothing. A member damaged
    // part-way leaves what was decoded before the damage in sink; failure() tells MemberDamaged then. A
    // member that unpacks to more than `limit` bytes is damaged too (a small file may unpack to gigabytes).
    std::size_t ReadMember(std::string_view name, std::string& sink,
                           std::size_t limit = std::numeric_limits<std::size_t>::max());
    // The member's text converted to UTF-8; empty when ReadMember would give nothing.
    std::string ReadMemberText(std::string_view name);

    // Compresses the file at source_path into the member called name, replacing a member of that name
    // (whatever the letter case). The file is read as text: CR LF pairs are stored as LF.
    bool AddMember(const std::string& source_path, std::string_view name);
    // Stores bytes unchanged (already Windows-1251) as the member called name.
    bool AddMemberBytes(std::string_view name, std::string_view bytes);
    // Stores a member's stream as given, without checking it: for copying members between archives.
    bool AddCompressedMember(std::string_view name, std::string_view zlib_stream);

    struct MemberBytes {
        std::string name;
        std::string bytes;
    };
    // Rewrites the archive so that it holds exactly these members, in one step.
    bool ReplaceMembers(const std::vector<MemberBytes>& members);

    // Names of the members, as stored.
    std::vector<std::string> MemberNames();

    // Releases the current member stream, if any.
    void CloseMember();

    // What went wrong in the constructor or the last operation, and the same with the file and the
    // system's reason ("varda.dat: the description archive is in use by another program").
    ArchiveFailure failure() const { return failure_; }
    const std::string& failure_message() const { return failure_message_; }

  private:
    struct Impl;
    struct Stored;

    bool fail(ArchiveFailure failure, std::string_view detail = {});
    void succeed();
    bool open_existing(int wait_ms);
    bool create_empty();
    bool rewrite(std::vector<Stored> members);

    std::string path_;
    bool created_ = false;
    ArchiveFailure failure_ = ArchiveFailure::None;
    std::string failure_message_;
    std::unique_ptr<Impl> impl_;
};

// Member name of a device model's description: "vk00.tree" for model 0 up to "vk22.tree"; "" for any
// index without a member.
std::string description_member_name(int model_index);

// The first step of loading a model's description: the member text as UTF-8, cut at the first zero byte.
struct DescriptionText {
    bool ok = false;
    std::string text;
    // String number of the message to show when ok is false (kTreeFileOpeningError), or 0 for none.
    int message = 0;
    ArchiveFailure failure = ArchiveFailure::None;
};
DescriptionText ReadModelDescription(DescriptionArchive& archive, int model_index);

}  // namespace varda
