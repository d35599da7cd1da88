#pragma once

#include <atomic>

namespace varda {

// The options the main menu shows as check marks. The program owns one; the menus show and toggle it,
// and the link reads it from its threads.
struct Options {
    std::atomic<bool> show_indexes{false};
    std::atomic<bool> read_automatically{true};
    std::atomic<bool> instant_recording{false};
    std::atomic<bool> do_not_send_attributes{false};
};

}  // namespace varda
