#include "gui/tree/tree_icons.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace varda::gui {
namespace {

constexpr int S = kTreeIconSize;

QPixmap blank() {
    // Drawn at the screen's scale, so the icons stay sharp on high-density screens.
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(S, S) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void folder(QPainter& p, QColor colour) {
    p.setPen(colour.darker(160));
    p.setBrush(colour);
    QPainterPath path;
    path.moveTo(1.5, 3.5);
    path.lineTo(6.5, 3.5);
    path.lineTo(8, 5);
    path.lineTo(14.5, 5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(colour.lighter(130));
    p.drawLine(QPointF(2.5, 6.5), QPointF(13.5, 6.5));
}

void chip(QPainter& p) {
    p.setPen(QColor(40, 40, 40));
    for (int x = 4; x <= 11; x += 3) {
        p.drawLine(x, 1, x, 3);
        p.drawLine(x, 12, x, 14);
    }
    p.setBrush(QColor(52, 84, 140));
    p.setPen(QColor(25, 40, 70));
    p.drawRoundedRect(QRectF(2.5, 3.5, 11, 8), 1.5, 1.5);
    p.setPen(QColor(220, 230, 245));
    p.drawPoint(4, 5);
}

void arrow(QPainter& p, QColor colour, bool outwards) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 110, 110));
    p.drawRect(outwards ? QRectF(1, 2, 3, 12) : QRectF(12, 2, 3, 12));
    p.setBrush(colour);
    p.setPen(colour.darker(150));
    QPainterPath path;
    const qreal x0 = outwards ? 5 : 1;
    path.moveTo(x0, 6.5);
    path.lineTo(x0 + 5, 6.5);
    path.lineTo(x0 + 5, 3.5);
    path.lineTo(x0 + 10, 8);
    path.lineTo(x0 + 5, 12.5);
    path.lineTo(x0 + 5, 9.5);
    path.lineTo(x0, 9.5);
    path.closeSubpath();
    p.drawPath(path);
}

void network(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.drawLine(QPointF(8, 4), QPointF(3, 12));
    p.drawLine(QPointF(8, 4), QPointF(13, 12));
    p.drawLine(QPointF(3, 12), QPointF(13, 12));
    p.setPen(QColor(20, 70, 30));
    p.setBrush(QColor(70, 170, 90));
    for (QPointF c : {QPointF(8, 4), QPointF(3, 12), QPointF(13, 12)})
        p.drawEllipse(c, 2.5, 2.5);
}

void gauge(QPainter& p) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(250, 250, 235));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(QColor(200, 30, 30), 1.5));
    p.drawLine(QPointF(8, 8), QPointF(12, 4.5));
    p.setPen(QColor(60, 60, 60));
    p.drawLine(QPointF(4, 11), QPointF(5, 10));
    p.drawLine(QPointF(12, 11), QPointF(11, 10));
}

void round_letter(QPainter& p, QColor colour, const QString& letter) {
    p.setPen(colour.darker(150));
    p.setBrush(colour);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, S, S), Qt::AlignCenter, letter);
}

void clock(QPainter& p) {
    p.setPen(QColor(50, 50, 90));
    p.setBrush(QColor(235, 240, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(QColor(30, 30, 60), 1.4));
    p.drawLine(QPointF(8, 8), QPointF(8, 4));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void sliders(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    for (int x : {4, 8, 12})
        p.drawLine(x, 2, x, 14);
    p.setBrush(QColor(220, 140, 40));
    p.setPen(QColor(120, 70, 10));
    p.drawRect(QRectF(2.5, 9.5, 3, 3));
    p.drawRect(QRectF(6.5, 4.5, 3, 3));
    p.drawRect(QRectF(10.5, 7.5, 3, 3));
}

void value_box(QPainter& p, QColor fill, QColor ink) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(fill);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setPen(QPen(ink, 1.2));
    p.drawLine(QPointF(4, 8), QPointF(6, 6));
    p.drawLine(QPointF(6, 6), QPointF(9, 10));
    p.drawLine(QPointF(9, 10), QPointF(12, 6));
}

void monitor(QPainter& p) {
    p.setPen(QColor(50, 50, 50));
    p.setBrush(QColor(90, 140, 200));
    p.drawRect(QRectF(1.5, 2.5, 13, 9));
    p.setBrush(QColor(80, 80, 80));
    p.drawRect(QRectF(5.5, 12.5, 5, 1.5));
}

void document(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10, 1.5);
    path.lineTo(12.5, 4);
    path.lineTo(12.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(QColor(70, 110, 180));
    for (int y = 5; y <= 12; y += 2)
        p.drawLine(5, y, 11, y);
}

void list_field(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setBrush(QColor(205, 215, 230));
    p.drawRect(QRectF(9.5, 3.5, 5, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    QPolygonF triangle{QPointF(10.5, 7), QPointF(13.5, 7), QPointF(12, 9.5)};
    p.drawPolygon(triangle);
    p.setPen(QColor(40, 90, 160));
    p.drawLine(3, 8, 7, 8);
}

void edit_field(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setPen(QColor(40, 90, 160));
    p.drawLine(3, 8, 8, 8);
    p.setPen(QColor(20, 20, 20));
    p.drawLine(10, 5, 10, 11);
}

void locked_field(QPainter& p) {
    p.setPen(QColor(140, 140, 140));
    p.setBrush(QColor(232, 232, 232));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setPen(QColor(130, 130, 130));
    p.drawLine(3, 8, 8, 8);
    p.setPen(QPen(QColor(150, 110, 30), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9.5, 3, 4, 5), 0, 180 * 16);
    p.setBrush(QColor(210, 160, 40));
    p.drawRect(QRectF(9, 6.5, 5, 4.5));
}

void bullet(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(QColor(160, 170, 190));
    p.drawEllipse(QRectF(5, 5, 6, 6));
}

void table(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setBrush(QColor(190, 205, 230));
    p.drawRect(QRectF(1.5, 2.5, 13, 3));
    p.drawLine(QPointF(6, 5.5), QPointF(6, 13.5));
    p.drawLine(QPointF(1.5, 9.5), QPointF(14.5, 9.5));
}

QPixmap draw_icon(int index) {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
            chip(p);
            break;
        case 3:
            arrow(p, QColor(60, 160, 70), false);
            break;
        case 4:
            network(p);
            break;
        case 5:
            gauge(p);
            break;
        case 6:
            round_letter(p, QColor(50, 110, 200), QStringLiteral("i"));
            break;
        case 7:
            arrow(p, QColor(230, 130, 30), true);
            break;
        case 8:
            clock(p);
            break;
        case 9:
            sliders(p);
            break;
        case 11:
            value_box(p, QColor(245, 250, 240), QColor(40, 130, 60));
            break;
        case 19:
            monitor(p);
            break;
        case 20:
            round_letter(p, QColor(120, 120, 120), QStringLiteral("i"));
            break;
        case 25:
            document(p);
            break;
        case 27:
            list_field(p);
            break;
        case 28:
            edit_field(p);
            break;
        case 30:
            locked_field(p);
            break;
        case 38:
            bullet(p);
            break;
        case 49:
            table(p);
            break;
        default:
            folder(p, QColor(240, 200, 90));
            break;
    }
    return pixmap;
}

QPixmap draw_state(int index) {
    QPixmap pixmap = blank();
    if (index <= 0) return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 3) {
        p.setPen(QColor(20, 100, 30));
        p.setBrush(QColor(70, 180, 80));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF{QPointF(6, 4.5), QPointF(11.5, 8), QPointF(6, 11.5)});
    } else if (index == 1) {
        p.setPen(QColor(110, 110, 110));
        p.setBrush(QColor(225, 225, 225));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 110, 110));
        p.drawRect(QRectF(5.5, 5.5, 5, 5));
    } else {
        p.setPen(QColor(110, 110, 110));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    }
    return pixmap;
}

}  // namespace

const QPixmap& tree_icon(int index) {
    static QHash<int, QPixmap> cache;
    auto it = cache.find(index);
    if (it == cache.end()) it = cache.insert(index, draw_icon(index));
    return *it;
}

const QPixmap& state_image(int index) {
    static QHash<int, QPixmap> cache;
    auto it = cache.find(index);
    if (it == cache.end()) it = cache.insert(index, draw_state(index));
    return *it;
}

}  // namespace varda::gui
