#include "core/devices/status_items.h"

#include "core/platform/strings.h"

namespace varda::status_items {

namespace {
const Item* find(std::span<const Item> items, int item) {
    if (item < 0 || static_cast<std::size_t>(item) >= items.size()) return nullptr;
    return &items[static_cast<std::size_t>(item)];
}
}  // namespace

int caption(std::span<const Item> items, int item) {
    const Item* it = find(items, item);
    return it ? it->caption : 0;
}

std::string text(std::span<const Item> items, int item, unsigned status) {
    const Item* it = find(items, item);
    if (!it) return {};
    return std::string(str(bit_set(status, it->bit) ? it->text_when_set : it->text_when_clear));
}

}  // namespace varda::status_items
