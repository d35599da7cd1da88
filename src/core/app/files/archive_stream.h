#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The class-tagged binary archive of configuration files: little-endian numbers, length-prefixed
// Windows-1251 strings, and records that open with a class tag naming their class and schema.
namespace varda {

// The classes a configuration archive may name.
enum class ArchiveClass : std::uint8_t { Document, DescBranch, InvisibleElement, MyConverter, Parameter };

// The name stored in the file ("CTarnDoc", "DescBranch", ...).
std::string_view archive_class_name(ArchiveClass cls);
// The class of a stored name (exact spelling), or nothing for a name this program does not know.
std::optional<ArchiveClass> archive_class_by_name(std::string_view name);
// The schema this program writes for the class.
std::uint16_t current_schema(ArchiveClass cls);
// Whether `actual` is `expected` or one of its derived classes (a record of a derived class may stand
// where its base is expected).
bool archive_class_is_a(ArchiveClass actual, ArchiveClass expected);

// Why reading stopped. EndOfStream is the ordinary end of a short file; every other kind means the bytes
// are not a configuration archive.
class ArchiveError : public std::runtime_error {
  public:
    enum class Kind {
        EndOfStream,     // a read past the last byte
        UnknownClass,    // a new-class tag with a name this program does not know
        WrongClass,      // a known class where another one was expected
        BadClassNumber,  // a back reference to 0 or to a number not yet in the class table
        BadTag,          // a tag that is neither a new class nor a back reference, or a too long name
    };
    ArchiveError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

struct ClassTag {
    ArchiveClass cls;
    std::uint16_t schema;
};

// Builds an archive in memory. Strings are given in UTF-8 and stored in Windows-1251.
class ArchiveWriter {
  public:
    void write_byte(std::uint8_t value);
    void write_word(std::uint16_t value);
    void write_dword(std::uint32_t value);
    void write_int32(std::int32_t value) { write_dword(static_cast<std::uint32_t>(value)); }
    void write_bytes(std::span<const std::uint8_t> bytes);
    void write_string(std::string_view utf8);
    // The class's first appearance writes its schema and name; later ones refer to its table number.
    void write_class_tag(ArchiveClass cls, std::uint16_t schema);
    void write_class_tag(ArchiveClass cls) { write_class_tag(cls, current_schema(cls)); }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
    std::vector<ArchiveClass> classes_;  // table number k is classes_[k - 1]
};

// Reads an archive from a byte buffer. Every read checks the bytes that remain and throws ArchiveError
// instead of reading past the end; no length prefix can make it allocate more than the buffer holds.
class ArchiveReader {
  public:
    // The bytes must outlive the reader.
    explicit ArchiveReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t read_byte();
    std::uint16_t read_word();
    std::uint32_t read_dword();
    std::int32_t read_int32() { return static_cast<std::int32_t>(read_dword()); }
    // A string in UTF-8: Windows-1251 text, or UTF-16 text behind its marker.
    std::string read_string();
    ClassTag read_class_tag();
    // A tag of `expected` or a class derived from it; returns the schema. Throws WrongClass otherwise.
    std::uint16_t read_class_tag(ArchiveClass expected);

    bool at_end() const { return position_ == bytes_.size(); }
    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }

  private:
    std::span<const std::uint8_t> take(std::size_t count);

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    std::vector<ClassTag> classes_;  // table number k is classes_[k - 1]
};

}  // namespace varda
