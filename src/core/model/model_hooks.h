#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/protocol/model_formatting.h"

namespace varda {

class ElementContext;
class ModelContext;
class Parameter;

// What the tree, the configuration files and the link ask of the current model's object: status-word
// texts for the tree rows, and what a read or write of a parameter entails. The device models implement
// it; the layers below them know nothing else of the models.
class ModelHooks : public ModelFormatting {
  public:
    // Row of the device table the object stands for.
    virtual int model_index() const = 0;
    // The link the model's own dialogs read and write through; the device sets it when it takes the model.
    virtual void set_link(ElementContext* link) = 0;

    // Whether every write exchange is followed by INIT.
    virtual bool NeedsInitAfterWrite() const = 0;
    // Whether writing this parameter changes the module's network settings (APLY is then offered).
    virtual bool NeedsApply(std::string_view network_name) const = 0;
    // Called for a parameter named "Log" after it was read, edited or loaded.
    virtual void OnLogParameter(Parameter& parameter) = 0;

    // --- status words ("Rd.St", "Stat"): item n of a status word
    // Text of the item, "" when the model has no such item.
    virtual std::string GetStatusText(int item, unsigned status) const = 0;
    // Numbered text of the item's caption, 0 when none.
    virtual int GetStatusCaption(int item) const = 0;
};

// Makes the object of the model in this row of the device table, or nothing for a row without one. The
// layer that knows the models hands it to whoever loads descriptions.
using ModelFactory = std::function<std::unique_ptr<ModelHooks>(int model_index, ModelContext* context)>;

// Owns the model object of a tree. Whoever exchanges the tree's values hands it to the codec (the device
// takes it through Device::set_device_model).
class CurrentModel {
  public:
    CurrentModel() = default;
    CurrentModel(const CurrentModel&) = delete;
    CurrentModel& operator=(const CurrentModel&) = delete;
    ~CurrentModel();

    void reset(std::unique_ptr<ModelHooks> model = nullptr);
    ModelHooks* get() const { return model_.get(); }
    ModelHooks* operator->() const { return model_.get(); }
    explicit operator bool() const { return model_ != nullptr; }

  private:
    std::unique_ptr<ModelHooks> model_;
};

}  // namespace varda
