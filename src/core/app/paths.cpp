#include "core/app/paths.h"

#include <filesystem>
#include <system_error>

namespace varda {

std::string program_directory() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

std::string description_archive_path() {
    namespace fs = std::filesystem;
    const fs::path dir = program_directory();
    const fs::path candidates[] = {dir / "varda.dat", dir / ".." / "share" / "varda" / "varda.dat",
                                   dir / ".." / "gui" / "varda.dat",
                                   dir / ".." / "src" / "gui" / "varda.dat"};
    std::error_code error;
    for (const auto& candidate : candidates)
        if (fs::exists(candidate, error)) return candidate.lexically_normal().string();
    return candidates[0].string();
}

}  // namespace varda
