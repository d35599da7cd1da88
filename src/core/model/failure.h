#pragma once

#include <cstdint>

namespace varda {

// Why a parameter's last exchange failed. Every decision reads the kind; the error text beside it says the
// same to people, and may read differently in another language.
enum class FailureKind {
    None,
    PortClosed,      // the port is not open
    DeviceGone,      // the port's device went away for good (a gateway closed the connection)
    Timeout,         // the module did not answer
    StrayReply,      // only replies to other requests came (another address, index or function)
    LineError,       // line errors or breaks beyond the retries
    HeaderLost,      // replies without the frame header
    BadCharacter,    // a reply character outside the code
    BadLength,       // a reply's length field disagrees with its characters
    Checksum,        // a reply failed its checksum
    WrongHash,       // a reply to another function
    ModuleError,     // the module's error reply ("n.Err"), with its code
    AttributeReply,  // an attribute exchange's reply of the wrong length
    NotDecodable,    // a reply the parameter's type cannot decode
    NoEncoder,       // the parameter's type has no encoder
    NotEncodable,    // the value cannot be encoded
    NotInitialized,  // a "no data" value is never written
    SwitchOver,      // a switch-over frame was not accepted
    NotReached,      // the exchange was stopped before the parameter
    Discrepancy,     // a note, not a failure: the module's value differs from the configuration's
    Described,       // a text with no kind of its own (read from a file, a refused value)
};

struct Failure {
    FailureKind kind = FailureKind::None;
    std::uint8_t module_code = 0;  // the module's error code, for ModuleError

    friend bool operator==(const Failure&, const Failure&) = default;
};

}  // namespace varda
