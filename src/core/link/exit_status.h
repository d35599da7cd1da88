#pragma once

namespace varda {

// The outcome bits of a command-line run; the exit code is that of the lowest set bit.
enum StatusBit : unsigned {
    kStatusFileMissing = 0x01,   // 200: job write without its file
    kStatusPortFailed = 0x02,    // 201: the serial port could not be opened (cleared when it opens)
    kStatusNoReply = 0x04,       // 202: no reply, or a write given up after five attempts
    kStatusBadReply = 0x08,      // 203: a reply failed its transmission checks
    kStatusErrorReply = 0x10,    // 204: the module answered with an error code
    kStatusCancelled = 0x20,     // 205: cancelled, or the exit event was signalled
    kStatusUnknownModel = 0x40,  // 206: the module is not in the device table
};

// The process-wide status word. Failures are kept: a later success never hides an earlier failure.
unsigned status_word();
void set_status(unsigned bits);
void clear_status(unsigned bits);
void reset_status();
// 200 + the number of the lowest set bit, or 0.
int exit_code_of(unsigned word);

}  // namespace varda
