#include "gui/connection/connection_indicator.h"

#include <QPainter>
#include <QPixmap>

#include "gui/platform/qt_text.h"

namespace varda::gui {
namespace {

QColor colour_of(LinkState state) {
    switch (state) {
        case LinkState::Online:
            return QColor(0x2e, 0x7d, 0x32);
        case LinkState::NotAnswering:
            return QColor(0xc6, 0x28, 0x28);
        case LinkState::Offline:
            return QColor(0x75, 0x75, 0x75);
        case LinkState::Simulated:
            return QColor(0x15, 0x65, 0xc0);
        case LinkState::Suspended:
            break;
    }
    return QColor(0xef, 0x6c, 0x00);
}

QIcon lamp(const QColor& colour) {
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return QIcon(picture);
}

}  // namespace

ConnectionIndicator::ConnectionIndicator(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setCursor(Qt::PointingHandCursor);
    show_status(ConnectionStatus{});
}

void ConnectionIndicator::show_status(const ConnectionStatus& status) {
    const QString text = qtext(status.text);
    QString tip = tr("Connection to the module; click to change the port settings");
    if (!status.direction.empty()) tip += "\n" + qtext(status.direction);
    if (toolTip() != tip) setToolTip(tip);
    if (status.state == state_ && text == shown_ && !icon().isNull()) return;
    state_ = status.state;
    shown_ = text;
    setText(text);
    setIcon(lamp(colour_of(status.state)));
    QPalette look = palette();
    look.setColor(QPalette::ButtonText, colour_of(status.state).darker(120));
    setPalette(look);
    // The status bar keeps a permanent widget's first width; a longer state must not be clipped.
    setMinimumWidth(sizeHint().width());
}

}  // namespace varda::gui
