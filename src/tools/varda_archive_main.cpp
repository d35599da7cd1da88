// varda-archive: builds and reads the description archive varda.dat.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/description_archive.h"
#include "core/platform/text.h"

namespace {

using varda::ArchiveFailure;
using varda::DescriptionArchive;

constexpr const char* kUsage =
    "Usage:\n"
    "  varda-archive build OUT.dat FILE...     pack UTF-8 description texts into an archive; each member\n"
    "                                          is named after its file (vk00.tree) and stored in\n"
    "                                          Windows-1251; OUT.dat is replaced as a whole\n"
    "  varda-archive list ARCHIVE              print the member names\n"
    "  varda-archive extract ARCHIVE MEMBER    print a member's text as UTF-8\n"
    "  varda-archive --help\n"
    "Exit status: 0 done, 1 failed, 2 wrong usage.\n";

int usage_error(const char* what) {
    std::fprintf(stderr, "varda-archive: %s\n%s", what, kUsage);
    return 2;
}

int failed(const std::string& message) {
    std::fprintf(stderr, "varda-archive: %s\n", message.c_str());
    return 1;
}

bool read_file(const std::string& path, std::string& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[16384];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        out.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The sequence holds a lead byte and as many continuation bytes as it announces.
bool well_formed(std::string_view sequence, char lead) {
    const auto b = static_cast<unsigned char>(lead);
    if (b < 0xC2 || b > 0xF4 || sequence.size() != sequence_length(b)) return false;
    for (std::size_t k = 1; k < sequence.size(); ++k) {
        if ((static_cast<unsigned char>(sequence[k]) & 0xC0) != 0x80) return false;
    }
    return true;
}

// A UTF-8 source as the archive stores it: Windows-1251, CR LF turned into LF (as AddMember reads a
// text file). A character the code page lacks is an error naming its line and column.
bool to_stored_text(const std::string& path, std::string_view utf8, std::string& out, std::string& error) {
    if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);  // byte-order mark of some editors
    int line = 1;
    int column = 1;
    for (std::size_t i = 0; i < utf8.size();) {
        const char c = utf8[i];
        if (c == '\r' || c == '\n') {
            if (!(c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) out += c;
            if (c == '\n' || i + 1 == utf8.size() || utf8[i + 1] != '\n') {
                ++line;
                column = 1;
            }
            ++i;
            continue;
        }
        const std::string_view sequence = utf8.substr(i, sequence_length(static_cast<unsigned char>(c)));
        const std::string stored = varda::platform::utf8_to_cp1251(sequence);
        if (varda::platform::cp1251_to_utf8(stored) != sequence) {
            const bool whole = well_formed(sequence, c) && stored.size() == 1;
            char where[64];
            std::snprintf(where, sizeof where, ":%d:%d: ", line, column);
            error = path + where;
            if (whole)
                error.append(1, '"').append(sequence).append("\" is not a Windows-1251 character");
            else
                error += "the text is not valid UTF-8";
            return false;
        }
        out += stored;
        i += sequence.size();
        ++column;
    }
    return true;
}

std::string base_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int build(const std::string& out, const std::vector<std::string>& sources) {
    // Every source is read and converted before the archive is touched.
    std::vector<DescriptionArchive::MemberBytes> members;
    for (const auto& source : sources) {
        std::string utf8;
        if (!read_file(source, utf8)) return failed(source + ": " + std::strerror(errno));
        DescriptionArchive::MemberBytes member{base_name(source), {}};
        std::string error;
        if (!to_stored_text(source, utf8, member.bytes, error)) return failed(error);
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (varda::platform::iequals(members[i].name, member.name))
                return failed(source + ": a member named \"" + member.name + "\" comes from " + sources[i] +
                              " already");
        }
        members.push_back(std::move(member));
    }
    DescriptionArchive archive(out, true);
    if (!archive.is_open()) {
        if (archive.failure() == ArchiveFailure::NotAnArchive)
            return failed(archive.failure_message() + "; it is left as it is");
        return failed(archive.failure_message());
    }
    if (!archive.ReplaceMembers(members)) {
        // A file this run created must not look like a finished archive to the next build.
        if (archive.created()) unlink(out.c_str());
        return failed(archive.failure_message());
    }
    return 0;
}

int list(const std::string& path) {
    DescriptionArchive archive(path, false);
    auto names = archive.MemberNames();
    if (!archive.is_open()) return failed(archive.failure_message());
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        std::printf("%s\n", name.c_str());
    return std::fflush(stdout) == 0 ? 0 : failed("cannot write the list");
}

int extract(const std::string& path, const std::string& member) {
    DescriptionArchive archive(path, false);
    const std::string text = archive.ReadMemberText(member);
    const ArchiveFailure failure = archive.failure();
    // A damaged member still shows what could be read.
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        return failed("cannot write the text");
    if (std::fflush(stdout) != 0) return failed("cannot write the text");
    if (failure == ArchiveFailure::None || failure == ArchiveFailure::MemberEmpty) return 0;
    return failed(archive.failure_message());
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no command given");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "build") {
        if (args.size() < 2) return usage_error("build needs the archive to write");
        return build(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (command == "list") {
        if (args.size() != 2) return usage_error("list needs exactly one archive");
        return list(args[1]);
    }
    if (command == "extract") {
        if (args.size() != 3) return usage_error("extract needs an archive and a member name");
        return extract(args[1], args[2]);
    }
    return usage_error(std::string("unknown command \"").append(command).append("\"").c_str());
}
