#pragma once

#include <string_view>

#include "core/model/module_context.h"

namespace varda {

// The outcome bits of a command-line run (kept in the connection's StatusWord); the exit code is that of the
// lowest set bit.
enum StatusBit : unsigned {
    kStatusFileMissing = 0x01,     // 200: job write without a usable file, or values it cannot write
    kStatusPortFailed = 0x02,      // 201: the serial port could not be opened (cleared when it opens)
    kStatusNoReply = 0x04,         // 202: no reply, or a write given up after five attempts
    kStatusBadReply = 0x08,        // 203: a reply failed its transmission checks
    kStatusErrorReply = 0x10,      // 204: the module answered with an error code
    kStatusCancelled = 0x20,       // 205: cancelled, or the exit event was signalled
    kStatusUnknownModel = 0x40,    // 206: the module is not in the device table
    kStatusNotSaved = 0x80,        // 207: job read: the configuration file could not be written
    kStatusNoDescription = 0x100,  // 208: the model's description could not be loaded from varda.dat
};

// The outcomes of one exchange with the module: what a retry or the connection procedure can recover from.
constexpr unsigned kExchangeStatusBits = kStatusNoReply | kStatusBadReply | kStatusErrorReply;

// 200 + the number of the lowest set bit, or 0.
int exit_code_of(unsigned word);
// What an exit code tells, as `varda --help` lists it ("the port cannot be opened"); "" for no code of ours.
std::string_view exit_code_meaning(int code);
// The first and the last code of the status word.
constexpr int kFirstStatusCode = 200;
constexpr int kLastStatusCode = 208;

// Remembers the exchange outcomes at its creation; rewind() drops those set since. For exchanges whose
// failure is no part of the result: the connection procedure's probing once a module answered, a retry
// that succeeded, a courtesy request at the end.
class StatusCheckpoint {
  public:
    explicit StatusCheckpoint(StatusWord& status) : status_(status), saved_(status.word()) {}
    void rewind() const { status_.restore(saved_, kExchangeStatusBits); }

  private:
    StatusWord& status_;
    unsigned saved_;
};

}  // namespace varda
