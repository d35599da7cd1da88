#pragma once

#include "core/app/command_line.h"

namespace varda {

class CTarnDoc;

// The document the window starts with: the command line's file when it exists and is not empty (a read
// job only saves to it); otherwise a new document, which a later save writes to the named file. A file
// that does not load (its message was shown) leaves a new, unnamed document. False when no tree could be
// built.
bool open_start_document(CTarnDoc& doc, const CommandLine& command_line);

}  // namespace varda
