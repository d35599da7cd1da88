#pragma once

#include <span>
#include <string>

// Tables of status-word items shared by the model classes (internal to the device models).
namespace varda::status_items {

// Item of a status word: its caption and the texts for its bit set and clear (numbered texts).
struct Item {
    int caption;
    int bit;
    int text_when_set;
    int text_when_clear;
};

int caption(std::span<const Item> items, int item);
// "" for an item outside the table.
std::string text(std::span<const Item> items, int item, unsigned status);

inline bool bit_set(unsigned status, int bit) {
    return bit >= 0 && bit < 32 && ((status >> bit) & 1u) != 0;
}

}  // namespace varda::status_items
