#include "core/app/differences.h"

#include <algorithm>

#include "core/model/elements.h"
#include "core/model/parameter.h"

namespace varda {
namespace {

void collect(const DescBranch& document, const DescBranch& other, const std::string& path,
             std::vector<Difference>& out) {
    const std::size_t parameters = std::min(document.parameters.size(), other.parameters.size());
    for (std::size_t k = 0; k < parameters; ++k) {
        const Parameter& mine = *document.parameters[k];
        const Parameter& theirs = *other.parameters[k];
        if (mine.network_name() != theirs.network_name() || mine.value_text() == theirs.value_text())
            continue;
        out.push_back({path, mine.network_name(), mine.network_index, mine.description, mine.value_text(),
                       theirs.value_text()});
    }
    const std::size_t children = std::min(document.children.size(), other.children.size());
    for (std::size_t k = 0; k < children; ++k)
        collect(*document.children[k], *other.children[k], path + document.children[k]->name + "\\", out);
}

}  // namespace

std::vector<Difference> tree_differences(const DescBranch& document, const DescBranch& other) {
    std::vector<Difference> out;
    collect(document, other, "", out);
    return out;
}

}  // namespace varda
