#include "core/app/service/single_point.h"
#include "core/link/frame_trace.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "core/app/document/document.h"
#include "core/model/description.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"
#include "core/protocol/frame_codec.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr std::string_view kNotDescribed = "<not described>";
constexpr int kMaxDataIndex = 0xFFFF;  // the index travels as two bytes
constexpr int kMaxAddressIndex = 7;    // what three address bits can reach

// A whole number, spaces around it allowed.
bool parse_whole(std::string_view text, int& value) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

SinglePointController::SinglePointController(const DescriptionContext& description, DeviceIO& io)
    : description_(description), io_(io) {}

SinglePointController::SinglePointController(CTarnDoc& doc)
    : SinglePointController(doc.description(), doc.device()) {}

std::vector<std::string> SinglePointController::parameter_names() const {
    std::vector<std::string> names;
    names.reserve(description_.parameter_descriptions.size());
    for (const auto& d : description_.parameter_descriptions)
        names.push_back(d.name);
    return names;
}

std::unique_ptr<Parameter> SinglePointController::make_parameter(const DescParameter& declaration) {
    const bool read_only = !declaration.name.empty() && declaration.name[0] == '!';
    auto p = std::make_unique<Parameter>(read_only ? declaration.name.substr(1) : declaration.name);
    p->writable = !read_only;
    p->description = platform::underscores_to_spaces(declaration.description);
    p->set_limits(declaration.minimum, declaration.maximum);
    p->attributes_flag = declaration.attributes_flag;
    p->initial_value_text = declaration.initial_value_text;
    p->access_mode = declaration.access_mode;

    // As the description's tree makes it, so that what is written here is what a write from the tree sends.
    const ValueType type(declaration.type_text);
    p->set_data_type(std::string(type.base_text()));
    p->set_decimals(type.decimals());
    return p;
}

void SinglePointController::update_for_name() {
    hash_text = platform::format_c("0x%X", static_cast<unsigned>(hash_name(name)));

    const DescParameter* declaration = description_.FindDescription(name);
    const std::string type = declaration ? declaration->type_text : std::string(kNotDescribed);
    description_text =
        (declaration ? platform::underscores_to_spaces(declaration->description) : "") + " (" + type + ")";
    // A parameter made from a name alone is never indexed: a new name starts without an index.
    indexed = false;

    write_items.clear();
    write_data.clear();
    if (!declaration) return;
    const auto parameter = make_parameter(*declaration);
    // Judged by the type the request will use, so that "float:2" offers no "float" and "2" to pick.
    for (ValueType::Choice& choice : ValueType(parameter->data_type()).choices())
        write_items.push_back(std::move(choice.shown));
}

bool SinglePointController::apply_index(Parameter& parameter) {
    if (!indexed) return true;
    const bool address = index_kind == IndexKind::Address;
    int index = 0;
    // A negative address index would address another module, or every module at once (-1), and a data
    // index past two bytes would be cut short: neither is sent.
    if (!parse_whole(index_text, index) || index < 0 || (!address && index > kMaxDataIndex)) {
        trace.push_back(std::string(localized("Invalid index: '")) + index_text + "'");
        return false;
    }
    if (address) {
        parameter.address_offset = index;
        trace.push_back("Use address index");
        if (index > kMaxAddressIndex) trace.push_back("Warning: the address is increased by more than 7!");
    } else {
        parameter.indexed = true;
        parameter.network_index = index;
        trace.push_back("Use data index");
    }
    return true;
}

void SinglePointController::execute() {
    trace.clear();
    const DescParameter* declaration = description_.FindDescription(name);
    if (!declaration) {
        ui().message(std::string(localized("Parameter ")) + name + std::string(localized(" not described!")),
                     MessageIcon::Error);
        return;
    }
    const auto parameter = make_parameter(*declaration);
    if (!apply_index(*parameter)) return;
    trace.push_back(name + " (" + parameter->description + ")");

    const bool read = function == Function::Read;
    if (!read) parameter->SetValueText(write_data);
    // The frames of this request also go to whoever listened before (the bus monitor).
    struct Tee : FrameTap {
        FrameRecorder own;
        FrameTap* before = nullptr;
        void frame(const TapFrame& f) override {
            own.frame(f);
            if (before) before->frame(f);
        }
    } tee;
    tee.before = io_.sio().tap();
    io_.sio().set_tap(&tee);
    const RequestResult result = io_.request(read, parameter.get(), &trace, false);
    io_.sio().set_tap(tee.before);
    // The same frames decoded as the bus monitor and --trace show them.
    FrameNames names;
    names.add(*parameter);
    const int width = io_.sio().settings.address_width;
    FrameDecoder decoder(names, [width] { return width; });
    std::uint64_t seen = 0;
    for (const TapFrame& frame : tee.own.take_since(seen))
        trace.push_back(trace_text(decoder.decode(frame)));
    const std::string& error = parameter->error_text;
    if (result != RequestResult::Done) {
        // Failures that are only in the byte trace leave no error text: no empty line after them.
        if (!error.empty()) trace.push_back(error);
    } else if (!error.empty()) {
        trace.push_back("Error:");
        trace.push_back(error);
    } else if (!read) {
        trace.push_back(std::string(localized("Record is done. No error.  Value returned: '")) +
                        parameter->value_text() + "'");
    } else {
        trace.push_back("No error. String notation answer:");
        trace.push_back(parameter->value_text());
    }
}

}  // namespace varda
