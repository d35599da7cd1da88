#pragma once

#include "core/app/command_line/command_line.h"

namespace varda {

class CTarnDoc;

// The document the window starts with: the command line's file when it exists and is not empty (a read
// job only saves to it); otherwise a new document, which a later save writes to the named file. A file
// that does not load (its message was shown) leaves a new, unnamed document. False when no tree could be
// built.
bool open_start_document(CTarnDoc& doc, const CommandLine& command_line);

// Where the command line puts the main window: -w:0 -h:0 minimised; -x, -y, -w and -h together at that
// place and size; anything else maximised.
struct WindowPlacement {
    enum class Kind { Maximised, Minimised, Placed };
    Kind kind = Kind::Maximised;
    int x = 0, y = 0, w = 0, h = 0;
};
WindowPlacement window_placement(const CommandLine& command_line);

}  // namespace varda
