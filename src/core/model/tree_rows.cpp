#include "core/model/tree_rows.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "core/model/model_hooks.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr int kImageList = 27;
constexpr int kImageEditBox = 28;
constexpr int kImageReadOnly = 30;
constexpr int kImageFixedChild = 38;

constexpr int kStateTimerRunning = 3;
constexpr int kStateTimerStopped = 1;

constexpr int kKiloOhm = 491;
constexpr int kYes = 492;
constexpr int kNo = 493;
constexpr int kAutomaticControl = 494;
constexpr int kSafeOutputStatus = 495;
constexpr int kTest = 496;
constexpr int kWork = 497;

// A status word has no more items than bits; stops a model that never runs out of captions.
constexpr int kMaxStatusItems = 32;

bool type_is_any(const Parameter& parameter, std::initializer_list<std::string_view> types) {
    for (std::string_view type : types)
        if (parameter.is_type(type)) return true;
    return false;
}

bool any_modified(const Parameter& parameter) {
    return parameter.value_modified || parameter.access_modified || parameter.user_modified;
}

std::optional<Rgb> row_colour(const Parameter& parameter) {
    switch (parameter.failure_kind()) {
        case FailureKind::None:
            if (any_modified(parameter)) return kModifiedColour;
            return std::nullopt;
        case FailureKind::Discrepancy:
            return kDiscrepancyColour;
        default:
            return kErrorColour;
    }
}

}  // namespace

std::string error_cell_text(const std::string& error_text) {
    std::string_view note = error_text;
    const std::string prefix = std::string(str(kDeviceValue)) + " '";
    // The text stays as the module or the file gave it; only the cell reads in the language on screen.
    if (!note.starts_with(prefix)) return std::string(localized(error_text));
    note.remove_prefix(prefix.size());
    if (note.ends_with("; ")) note.remove_suffix(2);  // the note replaced an earlier text
    bool company = false;
    if (note.ends_with(str(kUserCompany))) {
        company = true;
        note.remove_suffix(str(kUserCompany).size());
    } else if (note.ends_with(str(kUserUnknown))) {
        note.remove_suffix(str(kUserUnknown).size());
    } else {
        return error_text;
    }
    std::string_view access;
    for (const int id : {kReadWrite, kReadOnly})
        if (note.ends_with(std::string("',") + std::string(str(id)))) access = str(id);
    if (access.empty()) return error_text;
    note.remove_suffix(access.size() + 2);
    return std::string(localized("module: ")) + std::string(note) + " (" + std::string(access) +
           (company ? ", " + std::string(str(kUserCompany)) : "") + ")";
}

namespace {

// The value text read the way "%i" reads it: optional sign, decimal, octal or "0x" hexadecimal, and
// whatever follows the number ignored.
std::optional<int> leading_integer(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 0);
    if (end == begin) return std::nullopt;
    return static_cast<int>(value);
}

// The protection code's bits, in the order of its child rows.
std::array<std::string, 5> codp_fields(int v) {
    static constexpr std::array<const char*, 4> kThresholds{"1 ", "10 ", "100 ", "470 "};
    auto bit = [v](int n) { return ((v >> n) & 1) != 0; };
    return {std::string(kThresholds[static_cast<std::size_t>(v & 3)]) + std::string(str(kKiloOhm)),
            platform::format_c("%d", bit(4) ? 1 : 0), std::string(str(bit(5) ? kYes : kNo)),
            std::string(str(bit(6) ? kAutomaticControl : kSafeOutputStatus)),
            std::string(str(bit(7) ? kTest : kWork))};
}

// The text of the row's value column. A protection code shows in hexadecimal and spreads its bits over
// the child rows; the parameter keeps its own value text.
std::string shown_value(const Parameter& parameter, TreeSink& tree, TreeItem item) {
    if (!platform::iequals(parameter.network_name(), "CodP")) return parameter.value_text();
    const std::optional<int> v = leading_integer(parameter.value_text());
    if (!v) return parameter.value_text();
    const auto fields = codp_fields(*v);
    std::size_t n = 0;
    for (TreeItem child = tree.first_child(item); child; child = tree.next_sibling(child), ++n)
        tree.set_item_text(child, kColumnValue, n < fields.size() ? fields[n] : std::string());
    return platform::format_c("0x%02x", static_cast<unsigned>(*v));
}

// Column 1 of a scanner row is its sampling period; "r.oe.s" has none and keeps its network name.
bool shows_period(const Parameter& parameter) {
    return parameter.is_scanner() && !platform::iequals(parameter.network_name(), "r.oe.s");
}

std::string name_column(const Parameter& parameter, bool show_index) {
    if (shows_period(parameter)) return platform::format_c("%i", static_cast<int>(parameter.period.count()));
    std::string text = parameter.network_name();
    if (parameter.indexed && show_index) text += platform::format_c(":%i", parameter.network_index);
    return text;
}

// The columns of an element row after its text: the common index and, for a description element, the
// colour that marks differences found by a comparison.
void write_element_row(ObjectWithParameters& element, TreeSink& tree, TreeItem item, bool show_index) {
    const int index = element.CommonIndex();
    if (index >= 0)
        tree.set_item_text(item, kColumnName, show_index ? platform::format_c("(%i)", index) : std::string());
    if (const auto* branch = dynamic_cast<const DescBranch*>(&element))
        tree.set_item_color(
            item, tree.branch_has_differences(*branch) ? std::optional<Rgb>(kErrorColour) : std::nullopt);
}

// The network branch is the program's own, not the model description's: its row reads in the language on
// screen, while the element keeps the name that files and descriptions use.
std::string element_caption(const Elements::InvisibleElement& element) {
    static const std::string network = platform::underscores_to_spaces(str_as_written(kNetworkParameters));
    return platform::iequals(element.name, network) ? std::string(localized(element.name)) : element.name;
}

TreeItem insert_element_row(Elements::InvisibleElement& element, TreeSink& tree, TreeItem parent,
                            bool show_index) {
    TreeItem item = tree.insert_item(parent, element_caption(element), element.ImageIndexOf(),
                                     element.SelectedImageIndexOf(), EditKind::None,
                                     static_cast<ObjectWithParameters*>(&element));
    if (item) write_element_row(element, tree, item, show_index);
    return item;
}

TreeItem insert_own_parameter(Parameter& parameter, TreeSink& tree, TreeItem parent, bool show_index) {
    const int image = ImageIndex(parameter);
    return InsertIntoTree(parameter, tree, parent, image, image, show_index);
}

bool begins_with_word(std::string_view text, std::string_view word) {
    if (!text.starts_with(word)) return false;
    if (text.size() == word.size()) return true;
    const char next = text[word.size()];
    return !((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') || (next >= '0' && next <= '9'));
}

// Names of the parts of a parameter that the tree shows as child rows of its row, if it has such parts.
std::vector<std::string> fixed_child_texts(const Parameter& parameter, const ModelHooks* model) {
    const std::string& name = parameter.network_name();
    if (platform::iequals(name, "CodP"))
        return {"порог срабатывания", "вход «Заводские настройки»", "вход «Управление по сети»",
                "вход «Режим работы по тайм-ауту»", "вход «Режим функционирования»"};
    if (platform::iequals(name, "r.cn")) return {"вход 1", "вход 2", "вход 3", "вход 4"};
    if (platform::iequals(name, "s.do")) return {"выход 1", "выход 2", "выход 3", "выход 4"};
    std::vector<std::string> texts;
    if ((platform::iequals(name, "Rd.St") || platform::iequals(name, "Stat")) && model) {
        for (int item = 0; item < kMaxStatusItems; ++item) {
            const int caption = model->GetStatusCaption(item);
            if (caption == 0) break;
            texts.emplace_back(str(caption));
        }
    }
    return texts;
}

void add_fixed_child_rows(Parameter& parameter, TreeSink& tree, TreeItem item, const ModelHooks* model) {
    const auto texts = fixed_child_texts(parameter, model);
    if (texts.empty()) return;
    for (const auto& text : texts)
        tree.insert_item(item, text, kImageFixedChild, kImageFixedChild, EditKind::None, std::monostate{});
    // The bit fields of a protection code only have rows to go to now.
    tree.set_item_text(item, kColumnValue, shown_value(parameter, tree, item));
}

}  // namespace

EditKind EditKindOf(const Parameter& parameter) {
    if (!parameter.writable) return EditKind::None;
    if (ValueType(parameter.data_type()).is_enumeration()) return EditKind::List;
    if (type_is_any(parameter,
                    {"string", "ASCI", "int", "int16", "CLK_frm", "float", "stored_dot", "name", "unknown"}))
        return EditKind::EditBox;
    return EditKind::None;
}

int ImageIndex(const Parameter& parameter) {
    switch (EditKindOf(parameter)) {
        case EditKind::List:
            return kImageList;
        case EditKind::EditBox:
            return kImageEditBox;
        case EditKind::None:
            break;
    }
    return kImageReadOnly;
}

TreeItem InsertIntoTree(Parameter& parameter, TreeSink& tree, TreeItem parent, int image, int selected_image,
                        bool show_index) {
    std::string text = parameter.description;
    if (parameter.is_scanner() && show_index)
        text += ", " + parameter.network_name() + platform::format_c(":%i", parameter.address_offset);
    TreeItem item = tree.insert_item(parent, text, image, selected_image, EditKindOf(parameter), &parameter);
    parameter.tree_item = item;
    if (item) UpdateTreeRow(parameter, tree, item, show_index);
    return item;
}

void UpdateTreeRow(Parameter& parameter, TreeSink& tree, TreeItem item, bool show_index) {
    if (!item) return;
    const bool has_attributes = parameter.attributes_flag != 0;
    tree.set_item_text(item, kColumnName, name_column(parameter, show_index));
    tree.set_item_text(item, kColumnValue, shown_value(parameter, tree, item));
    tree.set_item_text(item, kColumnAccess,
                       has_attributes ? std::string(str(parameter.access_attribute ? kReadWrite : kReadOnly))
                                      : std::string());
    tree.set_item_text(item, kColumnUser,
                       has_attributes
                           ? std::string(str(parameter.user_attribute ? kUserCompany : kUserUnknown))
                           : std::string());
    tree.set_item_text(item, kColumnError, error_cell_text(parameter.error_text));
    tree.set_item_color(item, row_colour(parameter));
    if (parameter.is_scanner())
        tree.set_item_state(item, parameter.timer_running() ? kStateTimerRunning : kStateTimerStopped);
}

void RefreshTreeRow(Parameter& parameter, TreeSink& tree) {
    TreeItem item = parameter.tree_item;
    if (!item) return;
    tree.set_item_text(item, kColumnValue, shown_value(parameter, tree, item));
    tree.set_item_text(item, kColumnError, error_cell_text(parameter.error_text));
    tree.set_item_color(item, row_colour(parameter));
}

TreeItem AddToTree(Elements::InvisibleElement& element, TreeSink& tree, TreeItem parent, int limit,
                   bool show_index) {
    TreeItem item = insert_element_row(element, tree, parent, show_index);
    if (!item) return nullptr;
    std::size_t shown = element.parameters.size();
    if (!element.parameters.empty() && limit >= 0) shown = std::min(shown, static_cast<std::size_t>(limit));
    for (std::size_t i = 0; i < shown; ++i)
        insert_own_parameter(*element.parameters[i], tree, item, show_index);
    element.shown_parameter_count = static_cast<int>(shown);
    return item;
}

TreeItem AddToTreeMixed(DescBranch& element, TreeSink& tree, TreeItem parent, bool show_index,
                        const ModelHooks* model) {
    TreeItem item = insert_element_row(element, tree, parent, show_index);
    if (!item) return nullptr;

    if (begins_with_word(element.name, "Orvik") && element.index > 8) {
        TreeItem actuator = tree.insert_item(item, "Тип исполнительного механизма", kImageReadOnly,
                                             kImageReadOnly, EditKind::None, std::monostate{});
        if (actuator) tree.set_item_text(actuator, kColumnValue, "2 позиционный ИМ");
    }

    std::size_t next_parameter = 0;
    std::size_t next_child = 0;
    for (const bool is_child : element.order) {
        if (!is_child) {
            if (next_parameter >= element.parameters.size()) continue;
            insert_own_parameter(*element.parameters[next_parameter++], tree, item, show_index);
            continue;
        }
        if (next_child >= element.children.size()) continue;
        DescBranch& child = *element.children[next_child++];
        if (Parameter* parameter = child.DisplayParameter()) {
            if (TreeItem row = insert_own_parameter(*parameter, tree, item, show_index))
                add_fixed_child_rows(*parameter, tree, row, model);
        } else {
            AddToTreeMixed(child, tree, item, show_index, model);
        }
    }
    element.shown_parameter_count = static_cast<int>(next_parameter);
    return item;
}

void UpdateTreeRows(TreeSink& tree, TreeItem item, bool show_index) {
    for (TreeItem row = tree.first_child(item); row; row = tree.next_sibling(row)) {
        const TreeItemData data = tree.item_data(row);
        if (Parameter* const* parameter = std::get_if<Parameter*>(&data); parameter && *parameter)
            UpdateTreeRow(**parameter, tree, row, show_index);
        else if (ObjectWithParameters* const* element = std::get_if<ObjectWithParameters*>(&data);
                 element && *element)
            write_element_row(**element, tree, row, show_index);
        UpdateTreeRows(tree, row, show_index);
    }
}

}  // namespace varda
