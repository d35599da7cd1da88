#include "core/app/connection/device_selection.h"

#include "core/devices/brand.h"
#include "core/model/device_table.h"

namespace varda {

std::vector<std::string> device_selection_names(const CBrand& brand) {
    std::vector<std::string> names;
    for (const int model : brand.ListedModels())
        if (const std::string_view name = display_name(model); !name.empty()) names.emplace_back(name);
    return names;
}

std::optional<int> choose_device(const std::optional<std::string>& selected_text) {
    if (!selected_text) return std::nullopt;
    return model_index_by_display_name(*selected_text);
}

}  // namespace varda
