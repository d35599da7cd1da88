#include "core/model/description.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include "core/model/device_table.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

enum BranchKind { kBranch, kRoot, kScanners };

// A declaration that needs a token the line does not have.
struct TooFewTokens : std::runtime_error {
    TooFewTokens() : std::runtime_error("too few tokens") {}
};

std::string_view token(const std::vector<std::string_view>& t, std::size_t i) {
    if (i >= t.size()) throw TooFewTokens();
    return t[i];
}

std::vector<std::string_view> split_tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

double leading_double(std::string_view text) {
    const auto number = platform::leading_double(text);
    return number ? number->value : 0.0;
}

// "%i" notation: decimal, hexadecimal after 0x, octal after a leading 0.
int leading_int_any_base(std::string_view text) {
    return static_cast<int>(std::strtol(std::string(text).c_str(), nullptr, 0));
}

// Out-of-range numbers are held at the ends of int, so that no conversion can wrap.
int clamp_to_int(long long value) {
    return static_cast<int>(
        std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
int clamp_to_int(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(
        std::clamp<double>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int leading_decimal(std::string_view text) {
    return clamp_to_int(std::strtoll(std::string(text).c_str(), nullptr, 10));
}

// A fixed message is shown in the language on screen; a composed one brings its pieces translated.
void error_message(const std::string& text) {
    ui().message(std::string(localized(text)), MessageIcon::Error);
}

}  // namespace

DescriptionContext::DescriptionContext() = default;

DescriptionContext::~DescriptionContext() {
    // The model object may look into the tree while it goes: let it go first, then the tree, whose
    // output parameters clear their slots in the table.
    model_.reset();
    ClearDescription();
}

void DescriptionContext::ClearDescription() {
    constants.clear();
    types.clear();
    parameter_descriptions.clear();
    declared_.clear();
    held_nodes_ = 0;
    positions_overflowed_ = false;
    damaged_ = false;
    declared_root_ = declared_scanners_ = nullptr;
    network_ = nullptr;
    root_.reset();
    scanners_.reset();
    output_table_.fill(nullptr);
}

bool DescriptionContext::FindConstant(std::string_view name, double& value) const {
    for (const auto& c : constants) {
        if (platform::iequals(c.name, name)) {
            value = c.value;
            return true;
        }
    }
    return false;
}

const DescParameter* DescriptionContext::FindDescription(std::string_view name) const {
    for (const auto& d : parameter_descriptions)
        if (platform::iequals(d.name, name)) return &d;
    return nullptr;
}

DescParameter* DescriptionContext::find_description(std::string_view name) {
    return const_cast<DescParameter*>(FindDescription(name));
}

int DescriptionContext::resolve_count(std::string_view t) const {
    const int n = leading_decimal(t);
    if (n != 0) return n;
    double value = 0;
    return FindConstant(t, value) ? clamp_to_int(value) : 0;
}

Parameter* DescriptionContext::find_parameter(std::string_view network_name, int index) {
    return root_ ? root_->FindParameter(network_name, nullptr, nullptr, nullptr, index) : nullptr;
}

bool DescriptionContext::LoadDescriptionText(std::string_view text) {
    ClearDescription();
    bool skip = false;
    bool damaged = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (line.empty()) continue;
        bool ok = false;
        try {
            ok = ParseDescriptionLine(line, skip);
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok) {
            damaged = true;
            break;
        }
    }
    if (damaged) error_message("Tree is damaged");
    finish_load();
    if (positions_overflowed_ && !damaged) error_message("Tree is damaged");
    damaged_ = damaged || positions_overflowed_ || !root_;
    return true;
}

bool DescriptionContext::ParseDescriptionLine(std::string_view line, bool& skip) {
    const auto t = split_tokens(line);
    if (t.empty()) return true;
    if (t[0] == ";" || t[0] == "'") return true;
    if (platform::iequals(t[0], "#endif")) {
        skip = false;
        return true;
    }
    if (platform::iequals(t[0], "#else")) {
        skip = !skip;
        return true;
    }
    if (skip || t.size() < 2) return true;

    if (platform::iequals(t[0], "#if")) {
        if (t[1] != "ver") return true;
        if (version_major < 0 && version_minor < 0) {
            skip = true;
            return true;
        }
        const std::string_view operation = token(t, 2);
        int wanted[2] = {-1, -1};
        std::size_t piece = 0;
        const std::string_view version = token(t, 3);
        std::size_t start = 0;
        while (start <= version.size() && piece < 2) {
            const std::size_t dot = version.find('.', start);
            const std::string_view part =
                version.substr(start, dot == std::string_view::npos ? dot : dot - start);
            if (!part.empty()) wanted[piece++] = leading_int_any_base(part);
            if (dot == std::string_view::npos) break;
            start = dot + 1;
        }
        const auto module = std::make_pair(version_major, version_minor);
        const auto target = std::make_pair(wanted[0], wanted[1]);
        skip = false;
        if (operation == "<")
            skip = !(module < target);
        else if (operation == ">")
            skip = !(module > target);
        else if (operation == "<=")
            skip = !(module <= target);
        else if (operation == ">=")
            skip = !(module >= target);
        return true;
    }

    const std::string_view keyword = t[0];
    if (platform::iequals(keyword, "const")) return declare_const(t);
    if (platform::iequals(keyword, "type")) return declare_type(t);
    if (platform::iequals(keyword, "parameter")) return declare_parameter(t);
    if (platform::iequals(keyword, "rule")) return declare_rule_or_init(t, true);
    if (platform::iequals(keyword, "init")) return declare_rule_or_init(t, false);
    if (platform::iequals(keyword, "branch")) return declare_branch(t, kBranch);
    if (platform::iequals(keyword, "root")) return declare_branch(t, kRoot);
    if (platform::iequals(keyword, "scanners")) return declare_branch(t, kScanners);

    error_message(std::string(localized("Unknown functuion '")) + std::string(line) +
                  std::string(localized("' in descriptor")));
    return false;
}

bool DescriptionContext::declare_const(const std::vector<std::string_view>& t) {
    const std::string_view name = token(t, 1);
    const std::string_view value = token(t, 2);
    double existing = 0;
    if (FindConstant(name, existing)) {
        error_message(std::string(localized("Constant '")) + std::string(name) +
                      std::string(localized("' already defined")));
        return false;
    }
    constants.push_back({std::string(name), leading_double(value)});
    return true;
}

bool DescriptionContext::declare_type(const std::vector<std::string_view>& t) {
    std::string text;
    for (std::size_t i = 2; i < t.size(); ++i) {
        if (i > 2) text += ':';
        text += platform::underscores_to_spaces(t[i]);
    }
    types.push_back({std::string(token(t, 1)), std::move(text)});
    return true;
}

bool DescriptionContext::declare_parameter(const std::vector<std::string_view>& t) {
    DescParameter d;
    std::string_view name = token(t, 1);
    if (!name.empty() && name[0] == '@') name.remove_prefix(1);
    d.name = std::string(name);
    const std::string_view type = token(t, 2);
    d.type_text = std::string(type);
    for (auto it = types.rbegin(); it != types.rend(); ++it) {
        if (platform::iequals(it->name, type)) {
            d.type_text = it->text;
            break;
        }
    }
    d.description = std::string(token(t, 3));
    if (t.size() >= 5) {
        std::string_view access = t[4];
        if (platform::iequals(access, "noattr")) {
            d.attributes_flag = 0;
        } else if (t.size() >= 6) {
            d.access_number = leading_decimal(t[5]);
            if (!access.empty() && access.back() == '+') {
                d.access_mode = 1;
                access.remove_suffix(1);
            } else if (!access.empty() && access.back() == '*') {
                d.access_mode = 2;
                access.remove_suffix(1);
            }
            for (int table = 1; table <= 5; ++table)
                if (platform::iequals(access, "table" + std::to_string(table))) d.access_table = table;
        }
    }
    parameter_descriptions.push_back(std::move(d));
    return true;
}

bool DescriptionContext::declare_rule_or_init(const std::vector<std::string_view>& t, bool is_rule) {
    const std::string_view name = token(t, 1);
    DescParameter* d = find_description(name);
    if (!d) {
        ui().message(std::string(str(kParameter)) + " '" + std::string(name) +
                         std::string(localized("' not defined.")),
                     MessageIcon::Warning);
        return false;
    }
    if (is_rule) {
        d->minimum = leading_double(token(t, 2));
        d->maximum = leading_double(token(t, 3));
    } else {
        d->initial_value_text = platform::underscores_to_spaces(token(t, 2));
    }
    return true;
}

namespace {
// Elements and parameter descriptions a declared element holds, itself included.
std::size_t declared_size(const DescBranch& element) {
    std::size_t size = 1 + element.parameter_descriptions.size();
    for (const auto& child : element.children)
        size += declared_size(*child);
    return size;
}
}  // namespace

bool DescriptionContext::declare_branch(const std::vector<std::string_view>& t, int kind) {
    const std::string_view name = token(t, 1);
    const int count = resolve_count(token(t, 2));
    if (count < 1) return true;
    const int image = leading_decimal(token(t, 3));
    const int selected_image = leading_decimal(token(t, 4));
    const bool is_network = kind == kBranch && platform::iequals(name, str_as_written(kNetworkParameters));

    // What each child token names among what was declared before this line, found once for all instances.
    struct Children {
        std::vector<const DescParameter*> descriptions;
        std::vector<const DescBranch*> elements;
        bool names_this_branch = false;  // later instances also copy the earlier ones of this line
    };
    std::vector<Children> children(t.size() > 5 ? t.size() - 5 : 0);
    std::size_t instance_size = 1;
    bool all_known = true;
    for (std::size_t i = 5; i < t.size(); ++i) {
        Children& c = children[i - 5];
        for (const auto& d : parameter_descriptions)
            if (platform::iequals(d.name, t[i])) c.descriptions.push_back(&d);
        for (const auto& element : declared_) {
            if (!platform::iequals(element->name, t[i])) continue;
            c.elements.push_back(element.get());
            instance_size += declared_size(*element);
        }
        instance_size += c.descriptions.size();
        c.names_this_branch = platform::iequals(name, t[i]);
        all_known = all_known && (!c.descriptions.empty() || !c.elements.empty() || c.names_this_branch);
    }
    // A damaged or hostile count must not make the load run for hours or take all memory.
    if (all_known && !fits_tree_limit(static_cast<std::size_t>(count), instance_size)) return false;

    const std::size_t first_instance = declared_.size();
    for (int k = 1; k <= count; ++k) {
        auto created = std::make_unique<DescBranch>();
        DescBranch& element = *created;
        element.name = std::string(name);
        element.count = count;
        element.index = k;
        element.image_index = image;
        element.selected_image_index = selected_image;
        if (kind == kRoot) declared_root_ = &element;
        if (kind == kScanners) declared_scanners_ = &element;
        if (is_network) network_ = &element;

        std::size_t size = 1;
        const auto copy = [&](const DescBranch& source) {
            const std::size_t source_size = declared_size(source);
            if (!fits_tree_limit(1, size + source_size)) return false;
            size += source_size;
            DescBranch* network_copy = nullptr;
            element.children.push_back(source.Clone(network_, &network_copy));
            element.order.push_back(true);
            if (network_copy) network_ = network_copy;
            return true;
        };
        bool failed = false;
        for (std::size_t i = 5; i < t.size() && !failed; ++i) {
            const Children& c = children[i - 5];
            for (const DescParameter* d : c.descriptions) {
                element.parameter_descriptions.push_back(*d);
                element.order.push_back(false);
            }
            size += c.descriptions.size();
            for (std::size_t e = 0; e < c.elements.size() && !failed; ++e)
                failed = !copy(*c.elements[e]);
            const std::size_t earlier_instances = c.names_this_branch ? declared_.size() - first_instance : 0;
            for (std::size_t e = first_instance; e < first_instance + earlier_instances && !failed; ++e)
                failed = !copy(*declared_[e]);
            if (failed) break;  // too large: no message of its own, the load says the tree is damaged
            if (c.descriptions.empty() && c.elements.empty() && earlier_instances == 0) {
                error_message(std::string(str(kUnknownStringElement)));
                failed = true;
            }
        }
        // Appended also when it failed: a root or scanners instance is built with what it got so far.
        held_nodes_ += size;
        declared_.push_back(std::move(created));
        if (failed) return false;
    }
    return true;
}

bool DescriptionContext::fits_tree_limit(std::size_t copies, std::size_t size) const {
    std::size_t total = 0;
    return !__builtin_mul_overflow(copies, size, &total) &&
           !__builtin_add_overflow(total, held_nodes_, &total) && total <= kMaxTreeNodes;
}

void DescriptionContext::enter_output(Parameter& parameter) {
    const int index = parameter.network_index;
    if (index < 0 || index >= static_cast<int>(kOutputSlots)) {
        ui().message(std::string(localized("Output parameter '")) + parameter.network_name() +
                         std::string(localized("' has the index ")) + std::to_string(index) +
                         std::string(localized(", outside the output table (0 to 7); it is not entered.")),
                     MessageIcon::Warning);
        return;
    }
    output_table_[static_cast<std::size_t>(index)] = &parameter;
    parameter.set_output_slot(&output_table_[static_cast<std::size_t>(index)]);
}

namespace {
// Whether `target` is `element` or lies inside it.
bool contains(const DescBranch& element, const DescBranch* target) {
    if (&element == target) return true;
    for (const auto& child : element.children)
        if (contains(*child, target)) return true;
    return false;
}
}  // namespace

void DescriptionContext::finish_load() {
    // The root and the scanners element outlive the load; every other declared element goes.
    for (auto& element : declared_) {
        if (element.get() == declared_root_)
            root_ = std::move(element);
        else if (element.get() == declared_scanners_)
            scanners_ = std::move(element);
    }
    if (!root_) {
        error_message("Tree root is not defined");
    } else {
        root_->Build(*this, false, 0);
    }
    if (scanners_) {
        scanners_->Build(*this, false, 0);
        scanners_->MakeScanners();
    }
    // The network element the device follows must be one the user sees.
    if (network_ && !(root_ && contains(*root_, network_)) && !(scanners_ && contains(*scanners_, network_)))
        network_ = nullptr;
    constants.clear();
    types.clear();
    declared_.clear();
    declared_root_ = declared_scanners_ = nullptr;

    if (model_factory) model_.reset(model_factory(model_index, this));
}

// ---- building -----------------------------------------------------------------------------------

int DescBranch::Build(DescriptionContext& context, bool force_indexed, int base) {
    // Worked out wide and brought back into an int at every step: a damaged description's counts and
    // suffixes need not fit, and such a tree is reported as damaged.
    const auto fit = [&context](long long value) {
        if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
        context.positions_overflowed_ = true;
        return 0;
    };
    int c = fit(static_cast<long long>(count) * base + index - 1);
    auto ends_with_suffix = [this](char mark) {
        return name.size() >= 2 && name[name.size() - 2] == mark && name.back() >= '0' && name.back() <= '9';
    };
    if (ends_with_suffix('*')) {
        c = fit(static_cast<long long>(c) * (name.back() - '0'));
        name.resize(name.size() - 2);
    }
    if (ends_with_suffix('+')) {
        const int d = name.back() - '0';
        c = fit(static_cast<long long>(c) + d);
        name.resize(name.size() - 2);
        if (name != "K20") index = fit(static_cast<long long>(index) + d);
    }
    if (count > 1) {
        if (name.find('#') == std::string::npos) {
            if (name == "Состояние_дополнительного_ВЭ") index += 8;
            name += '#';
        }
        std::string numbered;
        for (char ch : name)
            numbered += ch == '#' ? " " + std::to_string(index) : std::string(1, ch);
        name = std::move(numbered);
    }

    int span = 1;
    for (auto& child : children)
        span = std::max(span, child->Build(context, force_indexed || count > 1, c));

    for (char& ch : name)
        if (ch == '_') ch = ' ';

    for (const auto& d : parameter_descriptions) {
        const bool read_only = !d.name.empty() && d.name[0] == '!';
        auto p = std::make_unique<Parameter>(read_only ? d.name.substr(1) : d.name);
        p->writable = !read_only;
        p->description = platform::underscores_to_spaces(d.description);
        const ValueType type(d.type_text);
        p->set_data_type(std::string(type.base_text()));
        p->set_decimals(type.decimals());
        p->set_limits(d.minimum, d.maximum);
        p->attributes_flag = d.attributes_flag;
        p->initial_value_text = d.initial_value_text;
        p->access_mode = d.access_mode;
        if (force_indexed || count > 1) {
            p->indexed = true;
            p->network_index = fit(static_cast<long long>(span) * c);
        }
        Parameter& added = AddParameter(std::move(p));
        if (platform::iequals(d.name, "POUt")) context.enter_output(added);
    }
    if (children.empty() && parameters.size() == 1) parameters.front()->description = name;
    return fit(static_cast<long long>(count) * span);
}

std::pair<int, int> module_version(const std::string& text) {
    int numbers[2] = {-1, -1};
    std::size_t pos = 0;
    for (int& n : numbers) {
        pos = text.find_first_not_of(". ", pos);
        if (pos == std::string::npos) break;
        const std::size_t end = text.find_first_of(". ", pos);
        n = static_cast<int>(std::strtol(text.substr(pos, end - pos).c_str(), nullptr, 0));
        pos = end;
    }
    return {numbers[0], numbers[1]};
}

}  // namespace varda
