#include "core/model/model_hooks.h"

namespace varda {

CurrentModel::~CurrentModel() {
    reset();
}

void CurrentModel::reset(std::unique_ptr<ModelHooks> model) {
    model_ = std::move(model);
}

}  // namespace varda
