#include "core/model/model_hooks.h"

namespace varda {

CurrentModel::~CurrentModel() {
    reset();
}

void CurrentModel::reset(std::unique_ptr<ModelHooks> model) {
    // Unregister first: the codec must never see an object that is being destroyed.
    if (model_ && current_model_formatting() == model_.get()) set_current_model_formatting(nullptr);
    model_ = std::move(model);
    if (model_) set_current_model_formatting(model_.get());
}

}  // namespace varda
