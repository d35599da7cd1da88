#include "core/app/start_document.h"

#include <filesystem>

#include "core/app/document.h"

namespace varda {
namespace {

bool has_contents(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

}  // namespace

bool open_start_document(CTarnDoc& doc, const CommandLine& cl) {
    const std::string& file = cl.file_name;
    const bool open = !file.empty() && !cl.has(CommandLine::kRead) && has_contents(file);
    if (open && doc.open_file(file)) return true;
    if (!doc.new_document()) return false;
    if (!open) doc.path_name = file;
    return true;
}

}  // namespace varda
