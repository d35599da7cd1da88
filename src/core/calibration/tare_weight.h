#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varda {

class ElementContext;
class ModelContext;
class Parameter;

// The tare-weight dialog of the strain-gauge models: the present measured value of a channel, read again
// and again, and "Yes" to make the module take it as the tare weight. The view shows what it holds and runs
// the reading timer.
class TareWeightController {
  public:
    static constexpr std::chrono::milliseconds kReadInterval{200};
    static constexpr std::string_view kCaption = "Tare weight";
    static constexpr std::string_view kWeightLabel = "Weight";
    static constexpr std::string_view kUnitsLabel = "units";
    static constexpr std::string_view kChannelLabel = "Channel";
    static constexpr std::string_view kQuestion = "Are you sure to use this weight as a tare weight?";

    // `tree` gives the tare weight of each channel (may be null); `refresh_views` redraws the tree.
    TareWeightController(ElementContext& link, ModelContext* tree, int channel_count,
                         std::function<void()> refresh_views);
    ~TareWeightController();
    TareWeightController(const TareWeightController&) = delete;
    TareWeightController& operator=(const TareWeightController&) = delete;

    // A model with several channels lets the user choose one ("1" to "4").
    bool shows_channels() const { return channel_count_ > 1; }
    std::vector<std::string> channel_items() const;
    int channel = 0;  // the chosen row

    // One reading of the chosen channel's measured value, and what the weight field shows for the latest.
    void read_weight();
    const std::string& weight_text() const { return weight_text_; }

    // "Yes": the module takes the present value as tare; true when the dialog closes.
    bool take_tare();

  private:
    ElementContext& link_;
    ModelContext* tree_;
    int channel_count_;
    std::function<void()> refresh_views_;
    std::string weight_text_;
};

}  // namespace varda
