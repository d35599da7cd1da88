#include "core/link/device_io.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>

#include "core/link/device.h"
#include "core/link/exit_status.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

// The models without a data-bits setting (VK07, VK17): they always use 8.
constexpr std::array kModelsWithoutDataBits{7, 17};

constexpr int kTimeoutRetries = 1;
constexpr int kLineErrorRetries = 16;
constexpr int kLostHeaderRetries = 10;

constexpr const char* kCharNameEmpty = "Сетевое имя пусто (CHAr)";
constexpr const char* kCharNameTooLong = "Сетевое имя слишком длинное (CHAr)";
constexpr const char* kCharNameInvalidChar = "Недопустимый символ в сетевом имени (CHAr)";
constexpr const char* kCharNameInvalidCode = "Недопустимый код символа в сетевом имени (CHAr)";

// The byte trace of the single-parameter window, in the language on screen.
void dump_bytes(DumpList* dump, const char* direction, std::span<const std::uint8_t> bytes) {
    if (!dump) return;
    const std::string shown(localized(direction));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned b = bytes[i];
        dump->push_back(platform::format_c("%s: #%2i : %03i = 0x%02X (%c)", shown.c_str(),
                                           static_cast<int>(i), b, b, b < 0x20 ? '.' : static_cast<char>(b)));
    }
}

void dump_line(DumpList* dump, std::string line) {
    if (dump) dump->push_back(std::move(line));
}

}  // namespace

std::string error_reply_text(std::span<const std::uint8_t> data) {
    if (data.empty()) return {};
    const std::uint8_t code = data[0];
    switch (code) {
        case 0x00:
            return "No error";
        case 0x02:
            return "Decimal point position >3";
        case 0x03:
            return "You are trying to change read-only parameter";
        case 0x04:
            return "String index or time should be an integer";
        case 0x05:
            return "Wrong decimal point position (fixed point number)";
        case 0x06:
            return "Signifacand is out of defined range (floating point number)";
        case 0x07:
            return "Unauthorized attempt to modify access attribute";
        case 0x08:
            return "Parameter have no attributes";
        case 0x21:
            return "Framing error";
        case 0x22:
            return "Bit 8 error";
        case 0x23:
            return "Bit 9 error";
        case 0x24:
            return "Stop bit error";
        case 0x25:
            return "Buffer overflow";
        case 0x26:
            return "Invalid character received";
        case 0x27:
            return "Check sum error";
        case 0x28:
            return "Descriptor not found";
        case 0x29:
            return "Не найдена сетевая функция, хотя дескриптор найден!!!\t\t\t\t\t\t\t  В нормальном "
                   "приборе эта "
                   "ошибка встречаться НЕ ДОЛЖНА!!!";
        case 0x30:
            return "Signifacand error (BCD parameter)";
        case 0x31:
            return "Wrong number of data bits";
        case 0x32:
            return "Wrong request bit";
        case 0x33:
            return "You are trying to change read-only parameter (access attribute)";
        case 0x34:
            return "Index out of range";
        case 0x35:
        case 0x36:
            return "Parameter index out of range";
        case 0x37:
            return "Данный код не используется (прибор отверг записываемое значение)";
        case 0x38:
            return "Group access attribute on the level 0 (root)";
        case 0x41:
            return "Other task is performed (segment COMMON is busy)";
        case 0x42:
            return "Task is not running (segment COMMON is free)";
        case 0x43:
            return "Task is running";
        case 0x44:
            return "Программе неизвестна запрошенная функция";
        case 0x45:
            return "В программе стоит заглушка функции WhatCOMState()";
        case 0x46:
            return "В программе стоит заглушка функции RunCOMTask()";
        case 0x47:
            return "Invalid combination of parameters. Change of parameter is forbidden by the Valid "
                   "function";
        case 0x48:
            return "Error reading EEPROM";
        case 0x49:
            return "Нарушена упорядоченность узлов X по возрастанию";
        case 0x4A:
            return "Попытка записи X при ненулевом числе узлов графика";
        case 0x4B:
            return "Ошибка выполнения функции PrevWriteActions()";
        default:
            break;
    }
    // The fixed texts above read in the language on screen where they are shown; these two are composed here.
    if (code >= 0x39 && code <= 0x3F)
        return std::string(localized("Group access attribute on the level ")) + std::to_string(code - 0x38);
    return platform::format_c(std::string(localized("Error value not found (Code % i)")).c_str(),
                              static_cast<int>(static_cast<std::int8_t>(code)));
}

std::string switch_over_result_text(SwitchOverResult result) {
    switch (result) {
        case SwitchOverResult::Timeout:
            return "Time-out error";
        case SwitchOverResult::LineError:
            return "Connection error";
        case SwitchOverResult::Checksum:
            return "Check sum error";
        case SwitchOverResult::OtherAddress:
            return "Device addresses in request and in response are not equal";
        case SwitchOverResult::IncorrectResponse:
            return "Incorrect response";
        case SwitchOverResult::Accepted:
        case SwitchOverResult::NoFrame:
            break;
    }
    return {};
}

DeviceIO::DeviceIO(ModuleContext& context, std::unique_ptr<SerialBackend> backend, const Options& options,
                   bool full_access)
    : context_(context),
      sio_(std::move(backend)),
      program_network_(std::make_unique<Elements::NetRS485prg>()),
      options_(options),
      full_access_(full_access) {}

DeviceIO::~DeviceIO() = default;

OpenResult DeviceIO::open_with_settings(bool show_message) {
    std::lock_guard lock(context_.line_lock);
    sio_.close();
    if (silent) return OpenResult::Failed;
    const int model = context_.model.load();
    load_port_settings(*program_network_, sio_.settings,
                       std::find(kModelsWithoutDataBits.begin(), kModelsWithoutDataBits.end(), model) ==
                           kModelsWithoutDataBits.end());
    network_parameter_written = false;
    const OpenResult result = sio_.open();
    if (result == OpenResult::Failed) {
        context_.status.set(kStatusPortFailed);
    } else {
        context_.status.clear(kStatusPortFailed);
    }
    if (result != OpenResult::Opened && show_message && ui().has_main_window()) {
        ui().message(
            platform::format_c(
                std::string(
                    localized(
                        "Cannot open serial port %s. Connection failed. Please check network settings."))
                    .c_str(),
                sio_.settings.port_name.c_str()) +
                (sio_.open_error().empty() ? "" : "\n(" + sio_.open_error() + ")"),
            MessageIcon::Error, localized("Serial port opening error"));
    }
    return result;
}

namespace {

FailureKind rejection_kind(ReplyOutcome::Reason reason) {
    switch (reason) {
        case ReplyOutcome::Reason::HeaderLost:
            return FailureKind::HeaderLost;
        case ReplyOutcome::Reason::BadCharacter:
            return FailureKind::BadCharacter;
        case ReplyOutcome::Reason::BadLength:
            return FailureKind::BadLength;
        case ReplyOutcome::Reason::Checksum:
            return FailureKind::Checksum;
        case ReplyOutcome::Reason::WrongHash:
            return FailureKind::WrongHash;
        case ReplyOutcome::Reason::None:
            break;
    }
    return FailureKind::Described;
}

// Why the last reply that passed its checksum was not the answer, for when the right one never comes.
const char* stray_reply_text(ReplyOutcome::Reason wrong_hash, EchoMismatch mismatch) {
    if (wrong_hash == ReplyOutcome::Reason::WrongHash)
        return "Received function code differs from transmitted function code and from n.Err.";
    switch (mismatch) {
        case EchoMismatch::Address:
            return "Received address differs from the address requested";
        case EchoMismatch::ReadFlag:
            return "Received read/write flag differs from the one requested";
        case EchoMismatch::Tail:
            return "Received index or attribute target differs from the request";
        case EchoMismatch::None:
            break;
    }
    return "";
}

}  // namespace

bool DeviceIO::exchange(bool read, std::uint16_t hash, std::span<const std::uint8_t> data, Bytes& reply_data,
                        std::string& error, Failure& failure, int address_offset,
                        std::span<const std::uint8_t> echo_tail) {
    const Addressing to = addressing();
    const std::string frame = build_request(read, hash, data, address_offset, to);
    reply_data.clear();
    std::lock_guard lock(transaction_lock_);
    if (learnt_at_open_ != sio_.open_count()) {
        learnt_at_open_ = sio_.open_count();
        repeats_read_flag_.reset();
    }
    RequestEcho echo;
    echo.address = request_address(address_offset, to);
    echo.tail = echo_tail;

    int timeouts = 0;
    int line_errors = 0;
    int lost_headers = 0;
    // The last reply that passed its checksum but answered another request: if ours never comes, that is
    // what went wrong, not silence.
    const char* stray = nullptr;
    FailureKind stray_kind = FailureKind::StrayReply;
    Reply reply;
    ReplyOutcome outcome;
    TransferResult result = sio_.transaction(frame, reply);
    while (true) {
        if (result == TransferResult::DeviceGone) {
            // The port is gone (a gateway closed the connection): no retry can help.
            answering_ = false;
            error = sio_.open_error();
            failure = {FailureKind::DeviceGone};
            context_.status.set(kStatusPortFailed);
            return false;
        }
        if (hash == kHashAply) return true;  // the module never answers APLY
        if (result == TransferResult::Timeout) {
            if (++timeouts > kTimeoutRetries) {
                if (stray) {
                    answering_ = true;
                    error = stray;
                    failure = {stray_kind};
                    context_.status.set(kStatusBadReply);
                } else {
                    answering_ = false;
                    error = "Time-out error";
                    failure = {FailureKind::Timeout};
                    context_.status.set(kStatusNoReply);
                }
                return false;
            }
        } else if (result == TransferResult::LineError) {
            if (++line_errors > kLineErrorRetries) {
                error = "Improper serial port settings";
                failure = {FailureKind::LineError};
                context_.status.set(kStatusBadReply);
                return false;
            }
        } else if (reply.count >= 2 && reply.chars[0] == '#') {
            answering_ = true;
            outcome = parse_reply(reply.text(), hash, to.address_width);
            // A reply to another question (a late answer to an earlier request that timed out, another
            // module's) is dropped: ours may still come within this attempt's time-out.
            const bool wrong_hash = outcome.kind == ReplyOutcome::Kind::Rejected &&
                                    outcome.reason == ReplyOutcome::Reason::WrongHash;
            EchoMismatch mismatch = EchoMismatch::None;
            if (outcome.kind != ReplyOutcome::Kind::Rejected) {
                echo.read_flag.reset();
                if (repeats_read_flag_ == true) echo.read_flag = read;
                // A module that clears the flag clears it in every reply: a set flag is no reply of its.
                if (repeats_read_flag_ == false) echo.read_flag = false;
                mismatch = check_echo(outcome, echo);
            }
            if (!wrong_hash && mismatch == EchoMismatch::None) {
                if (outcome.kind == ReplyOutcome::Kind::Accepted && read && !repeats_read_flag_)
                    repeats_read_flag_ = outcome.read_flag;
                break;
            }
            stray = stray_reply_text(outcome.reason, mismatch);
            stray_kind = wrong_hash ? FailureKind::WrongHash : FailureKind::StrayReply;
            result = sio_.continue_reply(reply);
            continue;
        } else if (++lost_headers > kLostHeaderRetries) {
            error = "Frame header is lost";
            failure = {FailureKind::HeaderLost};
            context_.status.set(kStatusBadReply);
            return false;
        }
        result = sio_.transaction(frame, reply);
    }

    switch (outcome.kind) {
        case ReplyOutcome::Kind::Accepted:
            reply_data = std::move(outcome.data);
            return true;
        case ReplyOutcome::Kind::ErrorReply:
            error = error_reply_text(outcome.data);
            failure = {FailureKind::ModuleError, outcome.data.empty() ? std::uint8_t{0} : outcome.data[0]};
            reply_data = std::move(outcome.data);
            context_.status.set(kStatusErrorReply);
            return false;
        case ReplyOutcome::Kind::Rejected:
            error = outcome.message;
            failure = {rejection_kind(outcome.reason)};
            context_.status.set(kStatusBadReply);
            return false;
    }
    return false;
}

std::optional<bool> DeviceIO::answering() const {
    const int state = answering_;
    if (state < 0) return std::nullopt;
    return state == 1;
}

RequestResult DeviceIO::request(bool read, Parameter* parameter, DumpList* dump, bool attribute_override) {
    if (context_.switch_over.load() != SwitchOverMode::Ravelin) {
        const SwitchOverResult result = switch_over_exchange();
        const bool accepted = result == SwitchOverResult::Accepted;
        if (parameter)
            parameter->set_failure(accepted ? FailureKind::None : FailureKind::SwitchOver,
                                   switch_over_result_text(result));
        return accepted ? RequestResult::Done : RequestResult::ExchangeFailed;
    }
    if (!sio_.is_open()) {
        if (parameter) parameter->set_failure(FailureKind::PortClosed, "Serial port opening error");
        return RequestResult::PortClosed;
    }
    if (!parameter) return RequestResult::PortClosed;
    parameter->clear_failure();
    if (platform::iequals(parameter->network_name(), "CHAr*"))
        return request_composite_name(read, *parameter, dump);
    return request_value(read, *parameter, dump, attribute_override);
}

RequestResult DeviceIO::exchange_attributes(bool read, Parameter& p, bool attribute_override) {
    Bytes data;
    const bool sends_attribute = !read && full_access_;
    if (sends_attribute) {
        data.push_back(attribute_override ? 3
                                          : static_cast<std::uint8_t>((p.access_attribute ? 1 : 0) |
                                                                      (p.user_attribute ? 0 : 2)));
    }
    if (p.indexed) {
        data.push_back(0x00);
        data.push_back(static_cast<std::uint8_t>(p.network_index));
    }
    const std::uint16_t hash = p.Hash();
    data.push_back(static_cast<std::uint8_t>(hash >> 8));
    data.push_back(static_cast<std::uint8_t>(hash));

    // The module repeats the target (index and hash) behind the attribute byte.
    const auto target = std::span<const std::uint8_t>(data).subspan(sends_attribute ? 1 : 0);
    Bytes reply;
    if (!exchange(!sends_attribute, kHashMstr, data, reply, p.error_text, p.failure, p.address_offset,
                  target))
        return RequestResult::AttributeExchangeFailed;
    if (reply.size() != (p.indexed ? 5u : 3u)) {
        p.set_failure(FailureKind::AttributeReply, "Attribute error, incorrect response message length");
        context_.status.set(kStatusBadReply);
        return RequestResult::AttributeReplyLength;
    }
    p.access_attribute = (reply[0] & 1) != 0;
    p.user_attribute = (reply[0] & 2) == 0;
    p.access_modified = false;
    p.user_modified = false;
    return RequestResult::Done;
}

RequestResult DeviceIO::request_value(bool read, Parameter& p, DumpList* dump, bool attribute_override) {
    Bytes data;
    if (!read) {
        // A write never sends data the user did not mean: a value that cannot be encoded fails here,
        // before its attribute exchange, and says why.
        const MyConverter::EncodeResult encoded = p.ConvertToData(data);
        if (encoded != MyConverter::EncodeResult::Encoded) {
            if (encoded == MyConverter::EncodeResult::NoEncoder) {
                p.set_failure(FailureKind::NoEncoder,
                              std::string(localized("Setter method are not defined for the function '")) +
                                  p.network_name() + "'");
            } else {
                p.set_failure(FailureKind::NotEncodable, "Bad value (data encoding impossible)");
            }
            dump_line(dump, p.error_text);
            context_.status.set(kStatusFileMissing);  // the values to write are unusable
            return encoded == MyConverter::EncodeResult::NoEncoder ? RequestResult::NoEncoder
                                                                   : RequestResult::NotEncodable;
        }
    }
    if (p.attributes_flag && send_attributes() && !p.is_scanner()) {
        const RequestResult result = exchange_attributes(read, p, attribute_override);
        if (result != RequestResult::Done) return result;
    }

    if (p.indexed) {
        data.push_back(static_cast<std::uint8_t>(p.network_index >> 8));
        data.push_back(static_cast<std::uint8_t>(p.network_index));
    }
    dump_line(dump, platform::format_c(std::string(localized("%i data bytes in request frame")).c_str(),
                                       static_cast<int>(data.size())));
    dump_bytes(dump, ">> request", data);

    // An indexed parameter's reply ends with the index it answers.
    const auto index_echo =
        p.indexed ? std::span<const std::uint8_t>(data).last(2) : std::span<const std::uint8_t>{};
    Bytes reply;
    if (!exchange(read, p.Hash(), data, reply, p.error_text, p.failure, p.address_offset, index_echo))
        return RequestResult::ExchangeFailed;
    dump_bytes(dump, "<< response", reply);
    dump_line(dump, platform::format_c(std::string(localized("%1i data bytes in response")).c_str(),
                                       static_cast<int>(reply.size())));

    std::size_t length = reply.size();
    if (platform::iequals(p.network_name(), "JuRD")) length = length >= 3 ? length - 3 : 0;
    if (p.indexed) length = length >= 2 ? length - 2 : 0;  // the module echoes the index at the end
    const ModelFormatting* model = context_.formatting.load();
    if (!p.reply_length_fits(length, model) ||
        p.ConvertFromData(std::span(reply).first(length), model) == MyConverter::DecodeResult::Undecodable) {
        p.set_failure(FailureKind::NotDecodable, "Response cannot be decoded");
        p.SetValueText({});
        context_.status.set(kStatusBadReply);  // no value was read: the job must not end as done
        return RequestResult::NotDecodable;
    }
    p.value_modified = p.access_modified = p.user_modified = false;
    p.module_value_text = p.value_text();
    p.module_value_at = std::chrono::system_clock::now();
    p.module_value_read = read;
    return RequestResult::Done;
}

RequestResult DeviceIO::request_composite_name(bool read, Parameter& p, DumpList* dump) {
    // The module keeps the name as one code per index of "CHAr", starting at the composite's index.
    auto part = [&p](int k) {
        auto code = std::make_unique<Parameter>("CHAr");
        code->set_data_type("int");
        code->indexed = true;
        code->network_index = p.network_index + k;
        code->address_offset = p.address_offset;
        return code;
    };
    auto fail = [&p, dump](FailureKind kind, const char* text, RequestResult result) {
        p.set_failure(kind, text);
        dump_line(dump, text);
        return result;
    };

    std::string name;
    if (read) {
        p.SetValueText({});
        for (int k = 0; k < 4; ++k) {
            auto code = part(k);
            const RequestResult result = request(true, code.get(), dump);
            if (!code->error_text.empty())
                p.set_failure(code->failure.kind, code->error_text, code->failure.module_code);
            if (result != RequestResult::Done) return result;
            const long value = std::strtol(code->value_text().c_str(), nullptr, 10);
            const auto text =
                value >= 0 && value <= 255 ? code_to_text(static_cast<std::uint8_t>(value)) : std::nullopt;
            if (!text) {
                context_.status.set(kStatusBadReply);
                return fail(FailureKind::NotDecodable, kCharNameInvalidCode, RequestResult::NotDecodable);
            }
            name += *text;
        }
    } else {
        const auto codes = name_to_codes(p.value_text());
        if (!codes.codes) {
            context_.status.set(kStatusFileMissing);  // the values to write are unusable
            switch (codes.failure) {
                case NameCodeFailure::Empty:
                    return fail(FailureKind::NotEncodable, kCharNameEmpty, RequestResult::NotEncodable);
                case NameCodeFailure::TooLong:
                    return fail(FailureKind::NotEncodable, kCharNameTooLong, RequestResult::NotEncodable);
                default:
                    return fail(FailureKind::NotEncodable, kCharNameInvalidChar, RequestResult::NotEncodable);
            }
        }
        p.SetValueText({});
        for (int k = 0; k < 4; ++k) {
            auto code = part(k);
            code->SetValueText(std::to_string((*codes.codes)[static_cast<std::size_t>(k)]));
            // Each code carries the composite's attributes through its own attribute exchange.
            code->attributes_flag = p.attributes_flag;
            code->access_attribute = p.access_attribute;
            code->user_attribute = p.user_attribute;
            const RequestResult result = request(false, code.get(), dump, false);
            if (!code->error_text.empty())
                p.set_failure(code->failure.kind, code->error_text, code->failure.module_code);
            if (result != RequestResult::Done) return result;
            name += *code_to_text((*codes.codes)[static_cast<std::size_t>(k)]);
        }
    }
    p.SetValueText(name);
    p.value_modified = p.access_modified = p.user_modified = false;
    return RequestResult::Done;
}

SwitchOverResult DeviceIO::switch_over_exchange() {
    const SwitchOverMode mode = context_.switch_over.load();
    const auto frame = build_switch_over(mode, sio_.settings.base_address, sio_.settings.address_width);
    if (!frame) return SwitchOverResult::NoFrame;
    const Bytes payload = switch_over_payload(mode);
    // A Modbus RTU reply has no end character: it is the 8-byte echo of the request.
    const ReplyEnd end =
        mode == SwitchOverMode::ModbusRtu ? ReplyEnd{ReplyEnd::Kind::CharacterCount, 8} : ReplyEnd{};

    std::lock_guard lock(transaction_lock_);
    int timeouts = 0;
    int line_errors = 0;
    Reply reply;
    while (true) {
        const TransferResult result = sio_.transaction(*frame, reply, end);
        if (result == TransferResult::DeviceGone) return SwitchOverResult::LineError;  // the port is gone
        if (result == TransferResult::Timeout) {
            if (++timeouts > kTimeoutRetries) return SwitchOverResult::Timeout;
            continue;
        }
        if (result == TransferResult::LineError) {
            if (++line_errors > kLineErrorRetries) return SwitchOverResult::LineError;
            continue;
        }
        break;
    }
    return check_switch_over_reply(mode, reply.text(), sio_.settings.base_address, payload);
}

}  // namespace varda
