#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/network_elements.h"

namespace varda {

class DescBranch;
class ObjectWithParameters;
class Parameter;

// Why `text` cannot be the value of `parameter`, by the rule the editor applies to a typed value: a number
// within the description's limits and what its type carries, a clock time, a network name for "CHAr*";
// for a module's network settings held by `owner`, an address its address length and protocol can carry
// (never the broadcast address). nullopt when it can. The frame combinations the editor refuses to change
// to are not refused here: some models hold one of them from the factory (VK06: 7 data bits, no parity,
// 1 stop bit), and a file read from such a module writes back.
std::optional<std::string> value_refusal(const Parameter& parameter, std::string_view text,
                                         const ObjectWithParameters* owner = nullptr,
                                         const AddressValidator& is_valid_address = {});

struct RefusedValue {
    Parameter* parameter = nullptr;
    std::string value;  // the value refused
    std::string why;    // "outside its range 0 to 255"
};

// Every value of the tree that a write would send and the rule refuses; "no data" is no value and passes.
std::vector<RefusedValue> refused_values(DescBranch& root, const AddressValidator& is_valid_address = {});

// "FiLt:2 = 300: outside its range 0 to 255".
std::string refused_value_text(const RefusedValue& refused);

}  // namespace varda
