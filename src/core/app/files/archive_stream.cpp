#include "core/app/files/archive_stream.h"

#include <array>

#include "core/platform/text.h"

namespace varda {
namespace {

struct ClassInfo {
    ArchiveClass cls;
    std::string_view name;
    std::uint16_t schema;
    std::optional<ArchiveClass> base;
};

constexpr std::array<ClassInfo, 5> kClasses{{
    {ArchiveClass::Document, "CTarnDoc", 5, std::nullopt},
    {ArchiveClass::DescBranch, "DescBranch", 3, ArchiveClass::InvisibleElement},
    {ArchiveClass::InvisibleElement, "InvisibleElement", 3, std::nullopt},
    {ArchiveClass::MyConverter, "MyConverter", 3, std::nullopt},
    {ArchiveClass::Parameter, "Parameter", 1, ArchiveClass::MyConverter},
}};

const ClassInfo& info(ArchiveClass cls) {
    return kClasses[static_cast<std::size_t>(cls)];
}

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassReferenceBit = 0x8000;
constexpr std::size_t kMaxClassNameLength = 63;
constexpr std::uint16_t kUtf16Marker = 0xFFFE;

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16le_to_utf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) { return static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8)); };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (unit(k + 1) - 0xDC00));
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            append_utf8(out, 0xFFFD);
        } else {
            append_utf8(out, u);
        }
    }
    return out;
}

}  // namespace

std::string_view archive_class_name(ArchiveClass cls) {
    return info(cls).name;
}

std::optional<ArchiveClass> archive_class_by_name(std::string_view name) {
    for (const auto& c : kClasses)
        if (c.name == name) return c.cls;
    return std::nullopt;
}

std::uint16_t current_schema(ArchiveClass cls) {
    return info(cls).schema;
}

bool archive_class_is_a(ArchiveClass actual, ArchiveClass expected) {
    for (std::optional<ArchiveClass> c = actual; c; c = info(*c).base)
        if (*c == expected) return true;
    return false;
}

// ---- writer -------------------------------------------------------------------------------------

void ArchiveWriter::write_byte(std::uint8_t value) {
    bytes_.push_back(value);
}

void ArchiveWriter::write_word(std::uint16_t value) {
    write_byte(static_cast<std::uint8_t>(value));
    write_byte(static_cast<std::uint8_t>(value >> 8));
}

void ArchiveWriter::write_dword(std::uint32_t value) {
    write_word(static_cast<std::uint16_t>(value));
    write_word(static_cast<std::uint16_t>(value >> 16));
}

void ArchiveWriter::write_bytes(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ArchiveWriter::write_string(std::string_view utf8) {
    const std::string text = platform::utf8_to_cp1251(utf8);
    const std::size_t n = text.size();
    if (n < 0xFF) {
        write_byte(static_cast<std::uint8_t>(n));
    } else if (n < kUtf16Marker) {
        write_byte(0xFF);
        write_word(static_cast<std::uint16_t>(n));
    } else if (n < 0xFFFFFFFFu) {
        write_byte(0xFF);
        write_word(0xFFFF);
        write_dword(static_cast<std::uint32_t>(n));
    } else {
        throw std::length_error("string too long for a configuration archive");
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    write_bytes({data, n});
}

void ArchiveWriter::write_class_tag(ArchiveClass cls, std::uint16_t schema) {
    for (std::size_t k = 0; k < classes_.size(); ++k) {
        if (classes_[k] == cls) {
            write_word(static_cast<std::uint16_t>(kClassReferenceBit | (k + 1)));
            return;
        }
    }
    classes_.push_back(cls);
    const std::string_view name = archive_class_name(cls);
    write_word(kNewClassTag);
    write_word(schema);
    write_word(static_cast<std::uint16_t>(name.size()));
    write_bytes({reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});
}

// ---- reader -------------------------------------------------------------------------------------

std::span<const std::uint8_t> ArchiveReader::take(std::size_t count) {
    if (count > remaining())
        throw ArchiveError(ArchiveError::Kind::EndOfStream, "the file ends in the middle of a record");
    const auto out = bytes_.subspan(position_, count);
    position_ += count;
    return out;
}

std::uint8_t ArchiveReader::read_byte() {
    return take(1)[0];
}

std::uint16_t ArchiveReader::read_word() {
    const auto b = take(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ArchiveReader::read_dword() {
    const auto b = take(4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::string ArchiveReader::read_string() {
    bool utf16 = false;
    // One byte below 255; else a word below 0xFFFF (0xFFFE announcing UTF-16 and a new prefix); else a
    // dword. Inside the UTF-16 form a word of 0xFFFE is a plain length.
    std::uint32_t length = read_byte();
    if (length == 0xFF) {
        length = read_word();
        if (length == kUtf16Marker) {
            utf16 = true;
            length = read_byte();
            if (length == 0xFF) length = read_word();
        }
        if (length == 0xFFFF) length = read_dword();
    }
    if (utf16) {
        if (length > remaining() / 2)
            throw ArchiveError(ArchiveError::Kind::EndOfStream, "the file ends in the middle of a text");
        return utf16le_to_utf8(take(std::size_t{length} * 2));
    }
    const auto bytes = take(length);
    return platform::cp1251_to_utf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

ClassTag ArchiveReader::read_class_tag() {
    const std::uint16_t tag = read_word();
    if (tag == kNewClassTag) {
        const std::uint16_t schema = read_word();
        const std::uint16_t length = read_word();
        if (length > kMaxClassNameLength)
            throw ArchiveError(ArchiveError::Kind::BadTag, "a class name longer than 63 characters");
        const auto bytes = take(length);
        const std::string_view name(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const auto cls = archive_class_by_name(name);
        if (!cls)
            throw ArchiveError(ArchiveError::Kind::UnknownClass, "unknown class '" + std::string(name) + "'");
        classes_.push_back({*cls, schema});
        return classes_.back();
    }
    if (tag & kClassReferenceBit) {
        const std::size_t number = tag & ~kClassReferenceBit;
        if (number == 0 || number > classes_.size())
            throw ArchiveError(ArchiveError::Kind::BadClassNumber,
                               "reference to class number " + std::to_string(number) + " not defined before");
        return classes_[number - 1];
    }
    throw ArchiveError(ArchiveError::Kind::BadTag, "a record without a class tag");
}

std::uint16_t ArchiveReader::read_class_tag(ArchiveClass expected) {
    const ClassTag tag = read_class_tag();
    if (!archive_class_is_a(tag.cls, expected))
        throw ArchiveError(ArchiveError::Kind::WrongClass,
                           "class '" + std::string(archive_class_name(tag.cls)) + "' where '" +
                               std::string(archive_class_name(expected)) + "' was expected");
    return tag.schema;
}

}  // namespace varda
