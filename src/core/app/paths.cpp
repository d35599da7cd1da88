#include "core/app/paths.h"

#include <filesystem>
#include <initializer_list>
#include <system_error>

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
    return find_shipped({dir / "guide.html", dir / ".." / "share" / "doc" / "varda" / "guide.html",
                         dir / ".." / "share" / "varda" / "guide.html", dir / ".." / "gui" / "guide.html",
                         dir / ".." / "src" / "gui" / "guide.html"});
}

}  // namespace varda
