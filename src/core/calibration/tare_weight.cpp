#include "core/calibration/tare_weight.h"

#include <algorithm>

#include "core/model/element_context.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

constexpr const char* kTareNotWritten = "Не удалось записать вес тары!";

}  // namespace

TareWeightController::TareWeightController(ElementContext& link, ModelContext* tree, int channel_count,
                                           std::function<void()> refresh_views)
    : link_(link),
      tree_(tree),
      channel_count_(std::max(channel_count, 1)),
      refresh_views_(std::move(refresh_views)) {}

TareWeightController::~TareWeightController() = default;

std::vector<std::string> TareWeightController::channel_items() const {
    std::vector<std::string> items;
    for (int n = 1; n <= channel_count_; ++n)
        items.push_back(std::to_string(n));
    return items;
}

void TareWeightController::read_weight() {
    Parameter value("Rd.fF");
    value.set_data_type("float");
    value.indexed = true;
    value.network_index = channel;
    if (link_.read_parameter(value, false) != 0) {
        weight_text_ = str(kNoData);
        return;
    }
    const std::optional<float> weight = value.is_type("float") ? value.cached_float() : std::nullopt;
    if (!weight) {
        weight_text_ = value.value_text();
        return;
    }
    weight_text_ = platform::fixed(*weight, 3);
}

bool TareWeightController::take_tare() {
    Parameter take("U.Wgh");
    take.set_data_type("void");
    take.SetValueText({});
    // A one-channel module knows the command without a channel.
    take.indexed = shows_channels();
    take.network_index = channel;
    if (link_.write_parameter(take, 1) != 0) {
        ui().message(kTareNotWritten, MessageIcon::Warning);
        return false;
    }
    // The tree shows the new tare weight: read it before the views are redrawn.
    Parameter* in_tree = tree_ ? tree_->find_parameter("p.wgh", channel) : nullptr;
    Parameter own("p.wgh");
    if (!in_tree) {
        own.set_data_type("float");
        own.indexed = shows_channels();
        own.network_index = channel;
    }
    link_.read_parameter(in_tree ? *in_tree : own, false);
    if (refresh_views_) refresh_views_();
    return true;
}

}  // namespace varda
