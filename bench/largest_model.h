#pragma once

#include <functional>

#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"

namespace varda::bench {

// The model whose description builds the most parameters.
inline int largest_model() {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    int best = 0;
    std::size_t most = 0;
    for (int model = 0; model < varda::kDeviceCount; ++model) {
        varda::DescriptionContext description;
        description.LoadDescriptionText(varda::ReadModelDescription(archive, model).text);
        std::size_t n = 0;
        std::function<void(const varda::DescBranch&)> count = [&](const varda::DescBranch& b) {
            n += b.parameters.size();
            for (const auto& c : b.children)
                count(*c);
        };
        if (description.root()) count(*description.root());
        if (n > most) {
            most = n;
            best = model;
        }
    }
    return best;
}

}  // namespace varda::bench
