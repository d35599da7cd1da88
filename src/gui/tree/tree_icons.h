#pragma once

#include <QPixmap>

namespace varda::gui {

// Side of the tree's icons in pixels.
inline constexpr int kTreeIconSize = 16;

// The tree's icons by image index: elements by kind (module, network, inputs, outputs, ...), parameters
// by how they are edited (27 list, 28 edit box, 30 read-only), 38 the fixed child rows, 25 the
// configuration, 49 the scanners' header row. Unknown indexes get a plain folder.
const QPixmap& tree_icon(int index);

// State images: 3 a running scanner, 1 a stopped one; other indexes 1 to 15 a neutral mark, 0 none.
const QPixmap& state_image(int index);

}  // namespace varda::gui
