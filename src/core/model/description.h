#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/model_context.h"
#include "core/model/model_hooks.h"

namespace varda {

// The module's version in a "ver" text, as "#if ver" compares it: the first two tokens separated by "."
// or " ", each read with the base its prefix gives (0x hexadecimal, a leading 0 octal): "2.10" is 2 and
// 10, "1.08" is 1 and 0. A missing token is -1.
std::pair<int, int> module_version(const std::string& text);

struct DescConst {
    std::string name;
    double value = 0;
};

struct DescType {
    std::string name;
    std::string text;
};

// What a model's description declares and the tree it builds: the document's description context.
// Loading runs line by line (each line may only use names declared before it), then builds the root and
// the scanners element and creates the device-model object of the current model.
class DescriptionContext : public ModelContext {
  public:
    static constexpr std::size_t kOutputSlots = 8;
    // Elements and parameter descriptions the declarations of one description may hold in all: far above
    // any real model, low enough that a damaged count is refused at once instead of filling memory.
    static constexpr std::size_t kMaxTreeNodes = 100'000;

    DescriptionContext();
    ~DescriptionContext() override;
    DescriptionContext(const DescriptionContext&) = delete;
    DescriptionContext& operator=(const DescriptionContext&) = delete;

    // Empties everything before a load.
    void ClearDescription();
    // Loads one description text (UTF-8): the lines, then the building. A damaged text still builds what
    // its lines before the failure declared. Returns true: the load counts as done even then.
    bool LoadDescriptionText(std::string_view text);
    // Whether the last load said "Tree is damaged" or "Tree root is not defined": its tree, if any, is only
    // a part of the model's.
    bool damaged() const { return damaged_; }
    // One line; false when it failed (its message has been shown).
    bool ParseDescriptionLine(std::string_view line, bool& skip);
    bool FindConstant(std::string_view name, double& value) const;
    // The first parameter description with that name (any case), for the parts that show descriptions.
    const DescParameter* FindDescription(std::string_view name) const;

    // ModelContext: a parameter of the tree by network name and index.
    Parameter* find_parameter(std::string_view network_name, int index) override;

    // Makes the device-model object of the current model at the end of a load; without one (the simulator
    // reads descriptions without becoming the program's current model) no object is made.
    ModelFactory model_factory;
    // The model whose object model_factory makes (the tree's model); kNoModel: none.
    int model_index = kNoModel;
    // The module's firmware version for "#if ver"; -1 while unknown.
    int version_major = -1;
    int version_minor = -1;

    std::vector<DescConst> constants;
    std::vector<DescType> types;
    std::vector<DescParameter> parameter_descriptions;

    DescBranch* root() const { return root_.get(); }
    DescBranch* scanners() const { return scanners_.get(); }
    // The element that holds the module's network settings, inside the root; nullptr when none.
    DescBranch* network_parameters() const { return network_; }
    // The parameters named "POUt", by network index 0 to 7.
    std::array<Parameter*, kOutputSlots>& output_table() { return output_table_; }
    CurrentModel& device_model() { return model_; }
    const CurrentModel& device_model() const { return model_; }

  private:
    friend class DescBranch;

    bool declare_const(const std::vector<std::string_view>& t);
    bool declare_type(const std::vector<std::string_view>& t);
    bool declare_parameter(const std::vector<std::string_view>& t);
    bool declare_rule_or_init(const std::vector<std::string_view>& t, bool is_rule);
    bool declare_branch(const std::vector<std::string_view>& t, int kind);
    void finish_load();
    int resolve_count(std::string_view token) const;
    // Whether `copies` more of `size` nodes each stay within kMaxTreeNodes.
    bool fits_tree_limit(std::size_t copies, std::size_t size) const;
    DescParameter* find_description(std::string_view name);
    // Enters a built POUt parameter in its slot.
    void enter_output(Parameter& parameter);

    std::vector<std::unique_ptr<DescBranch>> declared_;
    std::size_t held_nodes_ = 0;  // elements and parameter descriptions in declared_
    bool positions_overflowed_ = false;
    bool damaged_ = false;  // a network index or position of the built tree did not fit
    DescBranch* declared_root_ = nullptr;
    DescBranch* declared_scanners_ = nullptr;
    std::unique_ptr<DescBranch> root_;
    std::unique_ptr<DescBranch> scanners_;
    DescBranch* network_ = nullptr;
    std::array<Parameter*, kOutputSlots> output_table_{};
    CurrentModel model_;
};

}  // namespace varda
