#include "core/model/elements.h"

#include <cstdio>

#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

constexpr std::string_view kRenameName = "Название";
constexpr const char* kInvisibleElementName = "Невизуальный элемент";
constexpr int kStringReadBranch = 283;
constexpr int kStringCompareBranch = 285;
constexpr int kStringWriteBranch = 286;

bool any_modified(const Parameter& p) {
    return p.value_modified || p.access_modified || p.user_modified;
}

}  // namespace

// ---- ObjectWithParameters -----------------------------------------------------------------------

void ObjectWithParameters::InitParameters() {
    parameters.clear();
}

std::string ObjectWithParameters::GetValueText(std::string_view network_name) const {
    const Parameter* p = FindOwnParameter(network_name);
    return p ? p->value_text() : std::string(str(kNoData));
}

int ObjectWithParameters::SetValue(std::string_view network_name, std::string_view text) {
    Parameter* p = FindOwnParameter(network_name);
    if (!p) return 0;
    if (!platform::iequals(p->value_text(), text)) p->value_modified = true;
    p->SetValueText(std::string(text));
    return 1;
}

GroupResult ObjectWithParameters::CompareAll(ElementContext& context) {
    GroupResult result;
    for (auto& p : parameters) {
        // Once stopped, what is left is marked as never reached rather than left looking untouched.
        if (context.aborted()) {
            context.not_reached(*p, ExchangeKind::Compare);
            continue;
        }
        const int outcome = context.compare_parameter(*p);
        ++result.processed;
        if (outcome == 0) ++result.succeeded;
        context.add_done();
    }
    return result;
}

GroupResult ObjectWithParameters::ReadAll(ElementContext& context) {
    GroupResult result;
    for (auto& p : parameters) {
        // Stop after any parameter once cancelled: a dead line must not keep a long read going.
        if (context.aborted()) {
            context.not_reached(*p, ExchangeKind::Read);
            continue;
        }
        if (context.read_parameter(*p, true) == 0) ++result.succeeded;
        ++result.processed;
    }
    return result;
}

bool ObjectWithParameters::qualifies_for_write(const Parameter& p, int mode) {
    if (!p.writable) return false;
    if (mode == 0) return any_modified(p);
    if (mode < 0) return !p.initial_value_text.empty();
    return true;
}

GroupResult ObjectWithParameters::WriteAll(ElementContext& context, int mode) {
    std::vector<Parameter*> own;
    own.reserve(parameters.size());
    for (auto& p : parameters)
        own.push_back(p.get());
    return write_each(context, own, mode);
}

GroupResult ObjectWithParameters::write_each(ElementContext& context, std::span<Parameter* const> chosen,
                                             int mode) {
    GroupResult result;
    for (Parameter* p : chosen) {
        if (!qualifies_for_write(*p, mode)) continue;
        // After an abort nothing more is written, and what would have been is marked so.
        if (context.aborted()) {
            context.not_reached(*p, ExchangeKind::Write);
            continue;
        }
        if (context.write_parameter(*p, mode) == 0) ++result.succeeded;
        ++result.processed;
    }
    return result;
}

int ObjectWithParameters::CommonIndex() {
    for (const auto& p : parameters) {
        if (!p->indexed) continue;
        if (common_index_ == -1) {
            common_index_ = p->network_index;
            return common_index_;
        }
        if (p->network_index != common_index_) {
            ui().message(std::string(str(214)) + " '" + p->network_name() + "' (" + p->description + ") " +
                             std::string(str(503)),
                         MessageIcon::Warning);
        }
    }
    return common_index_;
}

void ObjectWithParameters::SetCommonIndex(int value) {
    for (auto& p : parameters)
        if (p->indexed) p->network_index = value;
    common_index_ = value;
}

int ObjectWithParameters::ChangeState() const {
    for (const auto& p : parameters)
        if (any_modified(*p)) return 2;
    return 0;
}

void ObjectWithParameters::ResetValues() {
    for (auto& p : parameters) {
        p->SetValueText(std::string(str(kNoData)));
        p->clear_failure();
        p->access_attribute = true;
        p->user_attribute = false;
        p->value_modified = p->access_modified = p->user_modified = false;
    }
}

Parameter* ObjectWithParameters::FindOwnParameter(std::string_view network_name) const {
    for (const auto& p : parameters)
        if (platform::iequals(p->network_name(), network_name)) return p.get();
    return nullptr;
}

void ObjectWithParameters::ClearModified() {
    for (auto& p : parameters)
        p->value_modified = p->access_modified = p->user_modified = false;
}

bool ObjectWithParameters::HasDeviceDifferences(bool any) const {
    for (const auto& p : parameters) {
        const FailureKind kind = p->failure_kind();
        if (kind != FailureKind::None && (any || kind != FailureKind::Discrepancy)) return true;
    }
    return false;
}

Parameter& ObjectWithParameters::AddParameter(std::unique_ptr<Parameter> parameter) {
    parameters.push_back(std::move(parameter));
    return *parameters.back();
}

// ---- InvisibleElement ---------------------------------------------------------------------------

namespace Elements {

InvisibleElement::InvisibleElement() : name(kInvisibleElementName) {}

int InvisibleElement::SetValue(std::string_view network_name, std::string_view text) {
    if (network_name == kRenameName) {
        name = std::string(text);
        return 3;
    }
    return ObjectWithParameters::SetValue(network_name, text);
}

void InvisibleElement::log_line(ElementContext& context, int string_id) const {
    context.progress_line(std::string(str(string_id)) + " '" + name + "'");
}

GroupResult InvisibleElement::CompareAll(ElementContext& context) {
    if (!context.aborted()) log_line(context, kStringCompareBranch);
    return ObjectWithParameters::CompareAll(context);
}

GroupResult InvisibleElement::ReadAll(ElementContext& context) {
    if (!context.aborted()) log_line(context, kStringReadBranch);
    return ObjectWithParameters::ReadAll(context);
}

GroupResult InvisibleElement::WriteAll(ElementContext& context, int mode) {
    bool something_qualifies = mode > 0;
    for (const auto& p : parameters)
        something_qualifies = something_qualifies || qualifies_for_write(*p, mode);
    if (something_qualifies && !context.aborted()) log_line(context, kStringWriteBranch);
    return ObjectWithParameters::WriteAll(context, mode);
}

std::string InvisibleElement::DefaultName() const {
    return kInvisibleElementName;
}

std::string InvisibleElement::Title() const {
    return name + " (" + DefaultName() + ")";
}

}  // namespace Elements

// ---- DescBranch ---------------------------------------------------------------------------------

std::unique_ptr<DescBranch> DescBranch::Clone(const DescBranch* track, DescBranch** tracked_copy) const {
    auto copy = std::make_unique<DescBranch>();
    copy->name = name;
    copy->count = count;
    copy->index = index;
    copy->image_index = image_index;
    copy->selected_image_index = selected_image_index;
    copy->parameter_descriptions = parameter_descriptions;
    copy->order = order;
    for (const auto& child : children)
        copy->children.push_back(child->Clone(track, tracked_copy));
    if (track == this && tracked_copy) *tracked_copy = copy.get();
    return copy;
}

GroupResult DescBranch::CompareAll(ElementContext& context) {
    GroupResult result = InvisibleElement::CompareAll(context);
    for (auto& child : children)
        result += child->CompareAll(context);
    return result;
}

GroupResult DescBranch::ReadAll(ElementContext& context) {
    GroupResult result = InvisibleElement::ReadAll(context);
    for (auto& child : children)
        result += child->ReadAll(context);
    return result;
}

GroupResult DescBranch::WriteAll(ElementContext& context, int mode) {
    GroupResult result = InvisibleElement::WriteAll(context, mode);
    for (auto& child : children)
        result += child->WriteAll(context, mode);
    return result;
}

void DescBranch::ResetValues() {
    ObjectWithParameters::ResetValues();
    for (auto& child : children)
        child->ResetValues();
}

DescBranch& DescBranch::AddChild(std::unique_ptr<DescBranch> child) {
    children.push_back(std::move(child));
    order.push_back(true);
    return *children.back();
}

Parameter* DescBranch::FindParameter(std::string_view network_name, IndexMap* index_map, int* max_index,
                                     int* first_offset, int index) {
    const bool collecting = index_map || max_index;
    Parameter* found = nullptr;
    if (Parameter* p = FindOwnParameter(network_name)) {
        if (index_map) (*index_map)[p->network_index & 0xFFFF] = p;
        if (first_offset && *first_offset == 0)
            *first_offset = p->network_index - (max_index ? *max_index : 0);
        if (max_index && p->network_index > *max_index) *max_index = p->network_index;
        if (!collecting && p->network_index == index) return p;
        if (collecting) found = p;
    }
    for (auto& child : children) {
        Parameter* p = child->FindParameter(network_name, index_map, max_index, first_offset, index);
        if (!p) continue;
        if (!collecting) return p;
        if (!found) found = p;
    }
    return found;
}

int DescBranch::CollectScanners(std::vector<Parameter*>& list) const {
    int added = 0;
    for (const auto& p : parameters) {
        if (p->is_scanner()) {
            list.push_back(p.get());
            ++added;
        }
    }
    for (const auto& child : children)
        added += child->CollectScanners(list);
    return added;
}

int DescBranch::ScannerState() const {
    for (const auto& p : parameters)
        if (p->timer_running()) return 1;
    int last = 0;
    for (const auto& child : children) {
        last = child->ScannerState();
        if (last == 1) return 1;
    }
    if (!children.empty()) return last;
    for (const auto& p : parameters)
        if (p->is_scanner()) return 0;
    return -1;
}

int DescBranch::CountToWrite(int mode) const {
    int n = 0;
    for (const auto& p : parameters) {
        if (mode > 0 || (mode == 0 && any_modified(*p)) || (mode < 0 && !p->initial_value_text.empty())) ++n;
    }
    for (const auto& child : children)
        n += child->CountToWrite(mode);
    return n;
}

void DescBranch::MakeScanners() {
    for (auto& p : parameters)
        p->MakeScanner();
    for (auto& child : children)
        child->MakeScanners();
}

}  // namespace varda
