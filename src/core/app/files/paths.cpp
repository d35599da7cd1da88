#include "core/app/files/paths.h"

#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "core/platform/language.h"

namespace varda {

std::string program_directory() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

namespace {

namespace fs = std::filesystem;

// The first of the places a shipped file may be that holds it.
std::string find_shipped(std::initializer_list<fs::path> candidates) {
    std::error_code error;
    for (const auto& candidate : candidates)
        if (fs::exists(candidate, error)) return candidate.lexically_normal().string();
    return {};
}

}  // namespace

std::string description_archive_path() {
    const fs::path dir = program_directory();
    const std::string found =
        find_shipped({dir / "varda.dat", dir / ".." / "share" / "varda" / "varda.dat",
                      dir / ".." / "gui" / "varda.dat", dir / ".." / "src" / "gui" / "varda.dat"});
    return found.empty() ? (dir / "varda.dat").string() : found;
}

std::string user_guide_path() {
    const fs::path dir = program_directory();
    const auto find = [&dir](const char* name) {
        return find_shipped({dir / name, dir / ".." / "share" / "doc" / "varda" / name,
                             dir / ".." / "share" / "varda" / name, dir / ".." / "gui" / name,
                             dir / ".." / "src" / "gui" / name});
    };
    // The guide in the language on screen; the English one where there is no Russian one.
    if (text_language() == Language::russian)
        if (std::string russian = find("guide_ru.html"); !russian.empty()) return russian;
    return find("guide.html");
}

}  // namespace varda
