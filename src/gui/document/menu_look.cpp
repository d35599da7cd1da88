#include "gui/document/menu_look.h"

#include <QColor>
#include <QMenu>
#include <QPalette>

namespace varda::gui {

void give_menu_look(QMenu* menu) {
    if (!menu) return;
    const QPalette palette = menu->palette();
    const QColor highlight = palette.color(QPalette::Highlight);
    const QColor light =
        QColor::fromRgbF(0.75f + 0.25f * highlight.redF(), 0.75f + 0.25f * highlight.greenF(),
                         0.75f + 0.25f * highlight.blueF());
    const QColor grey = palette.color(QPalette::Disabled, QPalette::WindowText);
    menu->setStyleSheet(
        QStringLiteral("QMenu { background: rgb(240,240,240); color: rgb(0,150,0);"
                       " border: 1px solid #a0a0a0; padding: 2px; }"
                       "QMenu::item { padding: 2px 20px 2px 24px; min-height: 16px;"
                       " border: 1px solid transparent; }"
                       "QMenu::item:selected { background: %1; border: 1px solid %2;"
                       " color: rgb(0,150,0); }"
                       "QMenu::item:disabled { color: %3; }"
                       "QMenu::separator { height: 1px; background: #c8c8c8; margin: 3px 4px; }")
            .arg(light.name(), highlight.name(), grey.name()));
}

}  // namespace varda::gui
