#include "core/link/exit_status.h"

#include <atomic>

namespace varda {
namespace {
std::atomic<unsigned> g_status{0};
}

unsigned status_word() {
    return g_status.load();
}
void set_status(unsigned bits) {
    g_status.fetch_or(bits);
}
void clear_status(unsigned bits) {
    g_status.fetch_and(~bits);
}
void reset_status() {
    g_status.store(0);
}

int exit_code_of(unsigned word) {
    for (int bit = 0; bit < 7; ++bit)
        if (word & (1u << bit)) return 200 + bit;
    return 0;
}

}  // namespace varda
