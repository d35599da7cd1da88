#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/devices/base_device.h"

// "Apply default settings" for models that restore themselves on a command
// (CBaseDevice::ModuleRestoreWrites).
namespace varda {

class Parameter;

inline constexpr int kRestoreErrorCaption = 148;  // "Parameter reset error"
inline constexpr int kRestoreDoneQuestion = 172;  // "...set to default settings ... Continue reading?"

// The command parameter "S.Def" (data type "void", empty value) for one write.
std::unique_ptr<Parameter> make_restore_parameter(const RestoreWrite& write);

// Sends the restore writes in order through `write`, which returns true on success and otherwise leaves
// the reason in the parameter's error text. Returns the error text to report (exclamation icon, caption
// kRestoreErrorCaption), or nothing when the module took the command; the caller then offers to read
// everything (kRestoreDoneQuestion, Yes posts kCmdReadAll).
//
// A reply that cannot be decoded still means the module received the command (it restarts while
// answering), so that failure is not reported and the remaining channels are still written.
std::optional<std::string> run_module_restore(const std::vector<RestoreWrite>& writes,
                                              const std::function<bool(Parameter&)>& write);

}  // namespace varda
