#pragma once

class QMenu;

namespace varda::gui {

// The program's drop-down and popup menus: green text on light grey, the selected item filled with a light
// shade of the highlight colour and framed with it, greyed text for disabled items.
void give_menu_look(QMenu* menu);

}  // namespace varda::gui
