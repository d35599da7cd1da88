#pragma once

#include <atomic>
#include <mutex>

#include "core/model/device_table.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/model_formatting.h"

namespace varda {

// The outcome bits of one connection's exchanges (the bit names are in link/exit_status.h). Failures are
// kept: a later success never hides an earlier failure.
class StatusWord {
  public:
    unsigned word() const { return bits_.load(); }
    void set(unsigned bits) { bits_.fetch_or(bits); }
    void clear(unsigned bits) { bits_.fetch_and(~bits); }
    void reset() { bits_.store(0); }
    // Puts back `saved`'s state of the bits in `mask`, leaving the others as they are now.
    void restore(unsigned saved, unsigned mask) {
        unsigned now = bits_.load();
        while (!bits_.compare_exchange_weak(now, (now & ~mask) | (saved & mask))) {
        }
    }

  private:
    std::atomic<unsigned> bits_{0};
};

// Everything that belongs to the connection with one module: the model it is worked as and that model's
// formatting, the outcome word, the line's lock and the protocol the line speaks. The document (or a job
// without one) owns it; whatever exchanges with the module is handed it, so two modules on two lines can
// be worked at once in one process. Every member may be used from any thread.
struct ModuleContext {
    ModuleContext() = default;
    ModuleContext(const ModuleContext&) = delete;
    ModuleContext& operator=(const ModuleContext&) = delete;

    // The model the connection works with: the one identified on the line, chosen, or a file's; kNoModel
    // until then.
    std::atomic<int> model{kNoModel};
    // What the codec asks of the model object of the tree being exchanged; null while there is none.
    std::atomic<const ModelFormatting*> formatting{nullptr};
    StatusWord status;
    // Held by the worker for a whole task, by the scanner for one reading and by every reopening of the
    // port, so the port is never reopened under a running exchange. Recursive: the connection procedure
    // reopens the port while it holds it.
    std::recursive_mutex line_lock;
    // Not Ravelin only while the connection procedure moves the module off a foreign protocol.
    std::atomic<SwitchOverMode> switch_over{SwitchOverMode::Ravelin};
    // Wrong calibration codes typed in a row while the connection lasts; the fourth closes the dialog.
    std::atomic<int> wrong_codes{0};
};

}  // namespace varda
