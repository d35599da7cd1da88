#include "core/protocol/model_formatting.h"

#include <atomic>

namespace varda {
namespace {
std::atomic<ModelFormatting*> g_current{nullptr};
}

ModelFormatting* current_model_formatting() {
    return g_current.load(std::memory_order_acquire);
}
void set_current_model_formatting(ModelFormatting* formatting) {
    g_current.store(formatting, std::memory_order_release);
}

}  // namespace varda
