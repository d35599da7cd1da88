#include "core/model/value_rules.h"

#include <charconv>

#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

// The shortest text that reads back as the number, never through the locale.
std::string number_text(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

bool name_is(const Parameter& p, std::string_view name) {
    return platform::iequals(p.network_name(), name);
}

void collect(ObjectWithParameters& element, const AddressValidator& validator,
             std::vector<RefusedValue>& out) {
    for (const auto& p : element.parameters) {
        if (!p->writable || p->is_scanner() || p->value_text() == str(kNoData)) continue;
        if (auto why = value_refusal(*p, p->value_text(), &element, validator))
            out.push_back({p.get(), p->value_text(), std::move(*why)});
    }
    if (auto* branch = dynamic_cast<DescBranch*>(&element))
        for (const auto& child : branch->children)
            collect(*child, validator, out);
}

}  // namespace

std::optional<std::string> value_refusal(const Parameter& parameter, std::string_view text,
                                         const ObjectWithParameters* owner,
                                         const AddressValidator& is_valid_address) {
    if (!parameter.AdmittedText(text, true)) {
        const auto range = parameter.AllowedRange();
        const ValueType type(parameter.data_type());
        const bool numeric = type.is_real() || type.is_whole();
        if (range && numeric && MyConverter::real_value(text))
            return "outside its range " + number_text(range->first) + " to " + number_text(range->second);
        return "not a value of its type (" + std::string(parameter.type_name()) + ")";
    }
    if (!owner) return std::nullopt;
    if (name_is(parameter, "Addr") || name_is(parameter, "A.Len") || name_is(parameter, "Prot")) {
        const auto address = parameter.whole_value(text);
        if (name_is(parameter, "Addr") && address && address->value == kBroadcastAddress)
            return "255 is the broadcast address, not a module's";
        if (!CheckAddressSetting(*owner, parameter.network_name(), text, is_valid_address))
            return "does not go with the module's address settings (an address above 255 needs 11-bit "
                   "addresses and the Ravelin protocol)";
    }
    return std::nullopt;
}

std::vector<RefusedValue> refused_values(DescBranch& root, const AddressValidator& is_valid_address) {
    std::vector<RefusedValue> refused;
    collect(root, is_valid_address, refused);
    return refused;
}

std::string refused_value_text(const RefusedValue& refused) {
    return refused.parameter->Label() + " = " + refused.value + ": " + refused.why;
}

}  // namespace varda
