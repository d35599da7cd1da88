#include "core/protocol/value_type.h"

#include <array>

#include "core/platform/text.h"

namespace varda {
namespace {

struct TypeName {
    std::string_view name;
    ValueKind kind;
};
constexpr std::array<TypeName, 11> kTypeNames{{{"STORED_DOT", ValueKind::StoredDot},
                                               {"float", ValueKind::Float},
                                               {"int", ValueKind::Int},
                                               {"int16", ValueKind::Int16},
                                               {"sint", ValueKind::Sint},
                                               {"sint16", ValueKind::Sint16},
                                               {"CLK_frm", ValueKind::ClkFrm},
                                               {"string", ValueKind::String},
                                               {"ASCI", ValueKind::Asci},
                                               {"name", ValueKind::Name},
                                               {"void", ValueKind::Void}}};

std::vector<std::string> split_items(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const auto colon = text.find(':', start);
        items.emplace_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos) return items;
        start = colon + 1;
    }
}

}  // namespace

ValueType::ValueType(std::string_view type_text) : text_(type_text) {
    const std::string_view first = name();
    for (const auto& t : kTypeNames)
        if (platform::iequals(first, t.name)) {
            kind_ = t.kind;
            return;
        }
    if (type_text.find(':') == std::string_view::npos) return;
    kind_ = ValueKind::Enumeration;
    items_ = split_items(type_text);
}

ValueType ValueType::list(std::string_view names) {
    ValueType type(names);
    type.kind_ = ValueKind::Enumeration;
    type.items_ = split_items(names);
    return type;
}

std::string_view ValueType::name() const {
    const std::string_view text = text_;
    return text.substr(0, text.find(':'));
}

ValueType::WholeRange ValueType::whole_range() const {
    return kind_ == ValueKind::Int16 ? WholeRange{-32768, 65535} : WholeRange{0, 65535};
}

int ValueType::decimals() const {
    const std::string_view text = text_;
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return 0;
    const std::string_view first = text.substr(0, colon);
    const std::string_view second = text.substr(colon + 1);
    bool numeric = false;
    for (std::string_view n : {"int", "CLK_frm", "stored_dot", "int16", "float"})
        numeric = numeric || platform::iequals(first, n);
    if (!numeric || second.size() != 1 || second[0] < '1' || second[0] > '3') return 0;
    return second[0] - '0';
}

std::string_view ValueType::base_text() const {
    return decimals() == 0 ? std::string_view(text_) : name();
}

std::optional<int> ValueType::code_of(std::string_view text) const {
    const std::string wanted = platform::underscores_to_spaces(text);
    for (std::size_t k = 0; k < items_.size(); ++k)
        if (!items_[k].empty() && platform::iequals(platform::underscores_to_spaces(items_[k]), wanted))
            return static_cast<int>(k);
    return std::nullopt;
}

std::vector<ValueType::Choice> ValueType::choices() const {
    std::vector<Choice> out;
    for (std::size_t k = 0; k < items_.size(); ++k) {
        const std::string& item = items_[k];
        if (item.empty() || item.find(kHiddenMark) != std::string::npos) continue;
        out.push_back({static_cast<int>(k), item, platform::underscores_to_spaces(item)});
    }
    return out;
}

}  // namespace varda
