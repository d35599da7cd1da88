#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/link/options.h"
#include "core/link/sio.h"
#include "core/model/failure.h"
#include "core/model/module_context.h"
#include "core/protocol/frame_codec.h"

namespace varda {

class Parameter;
namespace Elements {
class NetRS485prg;
}

// A byte-level trace of requests, shown by the single-parameter dialog.
using DumpList = std::vector<std::string>;

// Text of a module error reply ("n.Err"); empty for an empty reply.
std::string error_reply_text(std::span<const std::uint8_t> data);
// Text of a switch-over result; empty when accepted and when no frame could be built.
std::string switch_over_result_text(SwitchOverResult result);

// What DeviceIO::request did. The per-parameter operations pass the numbers on.
enum class RequestResult {
    Done = 0,
    PortClosed = -1,     // the port is not open, or there is no parameter
    ExchangeFailed = 1,  // no usable reply (in a switch-over mode: the switch-over frame was not accepted)
    NotDecodable = 2,    // the reply cannot be decoded
    NoEncoder = 3,       // the parameter's type has no encoder
    NotEncodable = 4,    // the value cannot be encoded
    AttributeExchangeFailed = 200,
    AttributeReplyLength = 201,  // the attribute exchange's reply has the wrong length
};

// The protocol core: turns "read/write this parameter" into frames with retries and error texts.
class DeviceIO {
  public:
    // The context is the connection's (its model, outcome word, line lock); it outlives the engine.
    DeviceIO(ModuleContext& context, std::unique_ptr<SerialBackend> backend, const Options& options,
             bool full_access = true);
    virtual ~DeviceIO();
    DeviceIO(const DeviceIO&) = delete;
    DeviceIO& operator=(const DeviceIO&) = delete;

    // One request with the retry budgets. On success (and on an error reply) `reply_data` holds the
    // reply's data bytes; on failure `error` holds the text and `failure` its kind. Only a reply that repeats
    // the request's address, hash and `echo_tail` (the end of its data: an index, an attribute exchange's
    // target) answers it; any other is dropped and the wait goes on.
    bool exchange(bool read, std::uint16_t hash, std::span<const std::uint8_t> data, Bytes& reply_data,
                  std::string& error, Failure& failure, int address_offset,
                  std::span<const std::uint8_t> echo_tail = {});

    // Reads (read = true) or writes one parameter; the parameter's failure says what went wrong. In a
    // switch-over mode sends the switch-over frame instead (the parameter may be null).
    RequestResult request(bool read, Parameter* parameter, DumpList* dump = nullptr,
                          bool attribute_override = false);

    // Sends the switch-over frame of the current mode.
    SwitchOverResult switch_over_exchange();

    // Under the line's lock: closes the port, loads the settings from the program's network parameters and
    // opens it again. Sio::open's result; Failed without trying in silent command-line runs.
    OpenResult open_with_settings(bool show_message);

    Sio& sio() { return sio_; }
    // The connection's context (its model, outcome word, line lock).
    ModuleContext& context() const { return context_; }
    // Whether the module answered the last request that got an answer or gave up on one: false after a
    // time-out, true after any reply frame, unknown (nullopt) before the first.
    std::optional<bool> answering() const;
    bool full_access() const { return full_access_; }
    // The menu options the engine follows ("Do not send parameter attributes"), for the dialogs that work
    // through it.
    const Options& options() const { return options_; }
    // The configurator's own port settings (kept in the settings store).
    Elements::NetRS485prg& program_network() { return *program_network_; }

    // Silent command-line runs never open the port on their own.
    std::atomic<bool> silent{false};
    // Set when a write changed a network setting of the module; loading the settings clears it.
    std::atomic<bool> network_parameter_written{false};

  private:
    RequestResult request_value(bool read, Parameter& p, DumpList* dump, bool attribute_override);
    RequestResult exchange_attributes(bool read, Parameter& p, bool attribute_override);
    RequestResult request_composite_name(bool read, Parameter& p, DumpList* dump);
    bool send_attributes() const { return !options_.do_not_send_attributes.load(); }
    Addressing addressing() const { return {sio_.settings.base_address, sio_.settings.address_width}; }

    ModuleContext& context_;
    Sio sio_;
    std::unique_ptr<Elements::NetRS485prg> program_network_;
    const Options& options_;
    const bool full_access_;
    std::mutex transaction_lock_;
    std::atomic<int> answering_{-1};  // -1 unknown, 0 no, 1 yes
    // Whether the module on the line repeats a request's read/write flag in its reply (learnt from its
    // first answer to a read after the port opened); only then is the flag a check.
    std::optional<bool> repeats_read_flag_;
    unsigned learnt_at_open_ = 0;
};

}  // namespace varda
