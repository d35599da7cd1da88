#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/element_context.h"
#include "core/model/parameter.h"

namespace varda {

class DescriptionContext;

// A parameter as a description declares it; the tree building turns it into a Parameter.
struct DescParameter {
    std::string name;  // may start with "!" (read-only)
    std::string type_text;
    std::string description;  // underscores stand for spaces
    double minimum = 0;
    double maximum = 0;
    std::uint8_t attributes_flag = 1;
    std::string initial_value_text;
    int access_table = 0;
    int access_number = 0;
    int access_mode = 0;  // 0 none, 1 marked "+", 2 marked "*"
};

// What a group operation did: parameters processed (or attempted) and how many succeeded.
struct GroupResult {
    int processed = 0;
    int succeeded = 0;
    GroupResult& operator+=(const GroupResult& other) {
        processed += other.processed;
        succeeded += other.succeeded;
        return *this;
    }
    bool operator==(const GroupResult&) const = default;
};

// An element of the parameter tree: it owns an array of parameters and runs group operations on them.
class ObjectWithParameters {
  public:
    ObjectWithParameters() = default;
    ObjectWithParameters(const ObjectWithParameters&) = delete;
    ObjectWithParameters& operator=(const ObjectWithParameters&) = delete;
    virtual ~ObjectWithParameters() = default;

    virtual void InitParameters();
    // Value text of the first parameter with that network name (ignoring case), else "no data".
    virtual std::string GetValueText(std::string_view network_name) const;
    // Sets the first parameter with that name: 1, or 0 when there is none. Marks it modified when the
    // text differs (ignoring case).
    virtual int SetValue(std::string_view network_name, std::string_view text);
    virtual GroupResult CompareAll(ElementContext& context);
    virtual GroupResult ReadAll(ElementContext& context);
    // mode > 0 every writable parameter, 0 the modified ones, < 0 those with an initial value.
    virtual GroupResult WriteAll(ElementContext& context, int mode);
    virtual int CommonIndex();
    virtual void SetCommonIndex(int value);
    // 2 when any parameter has a modified flag, else 0.
    virtual int ChangeState() const;
    virtual void ResetValues();

    Parameter* FindOwnParameter(std::string_view network_name) const;
    void ClearModified();
    bool HasDeviceDifferences(bool any) const;
    Parameter& AddParameter(std::unique_ptr<Parameter> parameter);

    std::vector<std::unique_ptr<Parameter>> parameters;
    int shown_parameter_count = 0;

  protected:
    // Whether the parameter takes part in a write with this mode.
    static bool qualifies_for_write(const Parameter& parameter, int mode);
    // Writes each of the chosen parameters that takes part in a write with this mode; after an abort the
    // rest are marked as never reached.
    static GroupResult write_each(ElementContext& context, std::span<Parameter* const> chosen, int mode);

    int common_index_ = -1;
};

namespace Elements {

// An element with a name, shown as a row of the tree.
class InvisibleElement : public ObjectWithParameters {
  public:
    InvisibleElement();
    explicit InvisibleElement(std::string name) : name(std::move(name)) {}

    // "Название" renames the element (result 3); every other name sets a parameter.
    int SetValue(std::string_view network_name, std::string_view text) override;
    GroupResult CompareAll(ElementContext& context) override;
    GroupResult ReadAll(ElementContext& context) override;
    GroupResult WriteAll(ElementContext& context, int mode) override;

    virtual int ImageIndexOf() const { return 0; }
    virtual int SelectedImageIndexOf() const { return 0; }
    virtual std::string DefaultName() const;
    // name " (" default name ")"
    virtual std::string Title() const;

    std::string name;

  protected:
    void log_line(ElementContext& context, int string_id) const;
};

}  // namespace Elements

// An element built from a description: it also owns child elements and so forms the tree.
class DescBranch : public Elements::InvisibleElement {
  public:
    DescBranch() = default;
    // A deep copy: used while a description declares branches from other branches. When `track` is this
    // element or one inside it, `*tracked_copy` receives its copy.
    std::unique_ptr<DescBranch> Clone(const DescBranch* track = nullptr,
                                      DescBranch** tracked_copy = nullptr) const;

    // Turns the declared parameter descriptions into parameters and works out names and network indexes,
    // children first. Returns count x span (the index range the element's instances take).
    int Build(DescriptionContext& context, bool force_indexed, int base);

    void InitParameters() override {}
    GroupResult CompareAll(ElementContext& context) override;
    GroupResult ReadAll(ElementContext& context) override;
    GroupResult WriteAll(ElementContext& context, int mode) override;
    void ResetValues() override;
    int ImageIndexOf() const override { return image_index; }
    int SelectedImageIndexOf() const override { return selected_image_index; }

    DescBranch& AddChild(std::unique_ptr<DescBranch> child);

    // Searches the subtree for a parameter by network name. With `index_map` or `max_index` it collects
    // over every element (entering network indexes in the map, raising max_index, and setting
    // first_offset from the first match); otherwise it returns the first parameter whose network index
    // equals `index`.
    using IndexMap = std::map<int, Parameter*>;
    Parameter* FindParameter(std::string_view network_name, IndexMap* index_map, int* max_index,
                             int* first_offset, int index);
    // Appends every parameter with a timer, own ones first, then child by child; returns how many.
    int CollectScanners(std::vector<Parameter*>& list) const;
    // 1 when a scanner timer runs in the subtree; else the last child's state; without children 0 when
    // some own parameter is a scanner, -1 when none is.
    int ScannerState() const;
    // How many parameters WriteAll would consider with this mode, over the subtree.
    int CountToWrite(int mode) const;
    void MakeScanners();
    // A branch with no children and exactly one parameter shows that parameter in its place.
    bool IsCollapsible() const { return children.empty() && parameters.size() == 1; }
    // The parameter of a collapsible branch, or nullptr when the branch shows itself.
    Parameter* DisplayParameter() const { return IsCollapsible() ? parameters.front().get() : nullptr; }

    int count = 0;
    int index = 0;
    int image_index = 0;
    int selected_image_index = 0;
    std::vector<DescParameter> parameter_descriptions;
    std::vector<std::unique_ptr<DescBranch>> children;
    // Declaration order: false for a parameter, true for a child element.
    std::vector<bool> order;
};

}  // namespace varda
