#include "core/app/command_line/start_document.h"

#include <filesystem>

#include "core/app/document/document.h"

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

WindowPlacement window_placement(const CommandLine& cl) {
    constexpr unsigned kSize = CommandLine::kW | CommandLine::kH;
    constexpr unsigned kPlace = kSize | CommandLine::kX | CommandLine::kY;
    WindowPlacement placement;
    if ((cl.window & kSize) != kSize) return placement;
    if (cl.w == 0 && cl.h == 0) {
        placement.kind = WindowPlacement::Kind::Minimised;
    } else if ((cl.window & kPlace) == kPlace) {
        placement = {WindowPlacement::Kind::Placed, cl.x, cl.y, cl.w, cl.h};
    }
    return placement;
}

}  // namespace varda
