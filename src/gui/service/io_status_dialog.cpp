#include "gui/service/io_status_dialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "core/app/document/document.h"
#include "core/platform/strings.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

constexpr int kInputsCaptionText = 382;  // "Inputs"
constexpr int kOutputsCaptionText = 383;

// The dialog's layout in dialog units (left, top, right, bottom).
constexpr Rect kDialogArea{0, 0, 325, 246};
constexpr Rect kInputsCaption{0, 0, 160, 16};
constexpr Rect kOutputsCaption{161, 0, 321, 16};
constexpr Rect kInputsTable{7, 75, 155, 239};
constexpr Rect kOutputsTable{170, 75, 318, 210};
// Pixels beside a lone side's caption, and below the taller table.
constexpr int kOneSideMargin = 6;
constexpr int kBottomMargin = 14;

const QColor kInputOn(255, 176, 98);
const QColor kOutputOn(113, 255, 113);
const QColor kOutputHatch(0, 128, 0);
const QColor kLampFrame(90, 90, 90);
const QColor kCaptionTop(112, 112, 112);
const QColor kCaptionBottom(232, 232, 232);
const QColor kCaptionFrame(50, 50, 50);

QRect to_qrect(const Rect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

// ---- IoLamp ----------------------------------------------------------------------------------

IoLamp::IoLamp(IoSide side, int number, QWidget* parent) : QWidget(parent), side_(side), number_(number) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void IoLamp::set_state(const std::string& state) {
    if (state == state_) return;
    state_ = state;
    update();
}

void IoLamp::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
    QWidget::mousePressEvent(event);
}

void IoLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, palette().color(QPalette::Window));
    switch (colour()) {
        case LampColour::InputOn:
            painter.fillRect(area, kInputOn);
            break;
        case LampColour::OutputOn:
            painter.fillRect(area, kOutputOn);
            break;
        case LampColour::OutputPartial:
            painter.fillRect(area, QBrush(kOutputHatch, Qt::DiagCrossPattern));
            break;
        case LampColour::Default:
            break;
    }
    painter.setPen(kLampFrame);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, QString::number(number_));
}

// ---- GradientCaption ----------------------------------------------------------------------------

GradientCaption::GradientCaption(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont caption;
    caption.setFamilies({QStringLiteral("Palatino Linotype"), QStringLiteral("Palatino"),
                         QStringLiteral("P052"), QStringLiteral("URW Palladio L"), QStringLiteral("serif")});
    caption.setPixelSize(17);  // a cell height of 20 pixels
    caption.setWeight(QFont::DemiBold);
    caption.setStyleStrategy(QFont::PreferQuality);
    setFont(caption);
}

void GradientCaption::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, kCaptionTop);
    gradient.setColorAt(1, kCaptionBottom);
    painter.fillRect(area, gradient);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text_);
    painter.setPen(kCaptionFrame);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

// ---- IoStateTable ----------------------------------------------------------------------------

IoStateTable::IoStateTable(IoStatusController& controller, IoSide side, QWidget* parent)
    : ReportTable(parent), controller_(controller), side_(side) {
    verticalHeader()->setMinimumSectionSize(kStateRowHeight);
    verticalHeader()->setDefaultSectionSize(kStateRowHeight);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionsClickable(false);

    const IoTable table = controller_.table(side_);
    QStringList captions;
    std::vector<int> shares;
    for (const IoTable::Column& column : table.columns()) {
        captions << qtext(column.caption);
        shares.push_back(column.share);
    }
    SetColumns(captions, shares);
    for (int row = 0; row < table.row_count(); ++row) {
        AddRow({});
        for (int column = 0; column < columnCount(); ++column)
            SetCellObject(row, column, table.parameter(row));
        ShowRow(row, table.rows()[row]);
    }
}

void IoStateTable::ShowRow(int row, const IoTable::Row& cells) {
    if (row < 0 || row >= rowCount()) return;
    for (int column = 0; column < columnCount(); ++column) {
        const auto c = static_cast<std::size_t>(column);
        const QString text = c < cells.texts.size() ? qtext(cells.texts[c]) : QString();
        SetCellText(row, column, text);
        SetCellFlags(row, column, c < cells.flags.size() ? cells.flags[c] : 0, 0xFFFF);
        if (QTableWidgetItem* cell = item(row, column)) {
            cell->setTextAlignment(Qt::AlignCenter);
            cell->setToolTip(text);
        }
    }
}

void IoStateTable::Detach() {
    detached_ = true;
    SetCommitEnabled(false);
}

void IoStateTable::CellAction(int row, int) {
    if (side_ == IoSide::Inputs && !detached_) controller_.reset_counter(row);
}

TableEditor IoStateTable::EditorFor(int row, int column) const {
    if (detached_) return {};
    controller_.begin_edit(side_, row);
    editing_row_ = row;
    TableEditor editor = ReportTable::EditorFor(row, column);
    if (editor.kind == TableEditor::Kind::None) {
        controller_.end_edit(side_, row);
        editing_row_ = -1;
    }
    return editor;
}

void IoStateTable::CommitText(int row, int, const QString& text) {
    controller_.commit_edit(side_, row, text.toStdString());
}

void IoStateTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    ReportTable::closeEditor(editor, hint);
    if (editing_row_ < 0 || detached_) return;
    controller_.end_edit(side_, editing_row_);
    editing_row_ = -1;
}

void IoStateTable::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && state() != QAbstractItemView::EditingState) {
        const QModelIndex current = currentIndex();
        if (!current.isValid() || !ActivateCell(current.row(), current.column())) {
            event->ignore();
            return;
        }
        event->accept();
        return;
    }
    ReportTable::keyPressEvent(event);
}

// ---- IoStatusWindow -----------------------------------------------------------------------------

IoStatusWindow::IoStatusWindow(CTarnDoc& doc, QWidget* parent, std::chrono::milliseconds poll_interval)
    : QDialog(parent), controller_(std::make_unique<IoStatusController>(doc)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(qtext(controller_->title()));
    captions_[0] = new GradientCaption(qtext(str(kInputsCaptionText)), this);
    captions_[1] = new GradientCaption(qtext(str(kOutputsCaptionText)), this);
    for (IoSide side : {IoSide::Inputs, IoSide::Outputs}) {
        tables_[index(side)] = new IoStateTable(*controller_, side, this);
        tables_[index(side)]->setObjectName(side == IoSide::Inputs ? "inputs" : "outputs");
    }
    lay_out();
    controller_->set_view(this);
    controller_->start(poll_interval);
}

IoStatusWindow::~IoStatusWindow() {
    // The tables outlive the controller until the base class destroys them; an editor still open would
    // otherwise commit into it as the window goes.
    for (IoStateTable* table : tables_)
        table->Detach();
    controller_->stop();
}

void IoStatusWindow::Open(CTarnDoc& doc, QWidget* parent) {
    IoStatusWindow dialog(doc, parent);
    dialog.exec();
}

void IoStatusWindow::lay_out() {
    // Dialog units follow the font, as the platform's dialog templates do.
    const QFontMetrics metrics(font());
    const int base_x =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
             26 +
         1) /
        2;
    const int base_y = metrics.height();
    const auto pixels = [&](const Rect& units) {
        return to_qrect(dialog_units_to_pixels(units, base_x, base_y));
    };

    captions_[0]->setGeometry(pixels(kInputsCaption));
    captions_[1]->setGeometry(pixels(kOutputsCaption));
    tables_[0]->setGeometry(pixels(kInputsTable));
    tables_[1]->setGeometry(pixels(kOutputsTable));
    for (QWidget* hidden : {static_cast<QWidget*>(captions_[0]), static_cast<QWidget*>(captions_[1]),
                            static_cast<QWidget*>(tables_[0]), static_cast<QWidget*>(tables_[1])})
        hidden->hide();

    const bool inputs = controller_->has_side(IoSide::Inputs);
    const bool outputs = controller_->has_side(IoSide::Outputs);
    if (inputs) {
        captions_[0]->show();
        tables_[0]->show();
        create_lamps(IoSide::Inputs, base_x, base_y);
    } else {
        tables_[1]->move(tables_[0]->pos());
    }
    if (outputs) {
        if (!inputs) captions_[1]->setGeometry(captions_[0]->geometry());
        captions_[1]->show();
        tables_[1]->show();
        create_lamps(IoSide::Outputs, base_x, base_y);
    }

    const int width =
        inputs && outputs ? pixels(kDialogArea).width() : captions_[1]->width() + kOneSideMargin;
    for (IoStateTable* table : tables_)
        table->FitHeight();
    const int taller = std::max(tables_[0]->height(), tables_[1]->height());
    setFixedSize(width, tables_[0]->y() + taller + kBottomMargin);
}

void IoStatusWindow::create_lamps(IoSide side, int base_x, int base_y) {
    const LampGrid& grid = controller_->lamps(side);
    for (std::size_t k = 0; k < grid.lamps.size(); ++k) {
        auto* lamp = new IoLamp(side, static_cast<int>(k) + 1, this);
        lamp->setGeometry(to_qrect(dialog_units_to_pixels(grid.lamps[k], base_x, base_y)));
        lamp->set_state(controller_->lamp_state(side, static_cast<int>(k)));
        lamps_[index(side)].push_back(lamp);
        if (side != IoSide::Outputs) continue;
        lamp->setToolTip(tr("Click to switch this output on or off"));
        lamp->setCursor(Qt::PointingHandCursor);
        const int output = static_cast<int>(k);
        connect(lamp, &IoLamp::clicked, this, [this, output] { controller_->toggle_output(output); });
    }
}

void IoStatusWindow::done(int result) {
    // The dialog ends only once the polling thread has; it reports that and the close is taken again.
    if (controller_->close_request()) QDialog::done(result);
}

void IoStatusWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void IoStatusWindow::row_changed(IoSide side, int row, const IoTable::Row& cells) {
    QMetaObject::invokeMethod(
        this, [this, side, row, cells] { tables_[index(side)]->ShowRow(row, cells); }, Qt::QueuedConnection);
}

void IoStatusWindow::lamp_changed(IoSide side, int lamp, const std::string& state) {
    QMetaObject::invokeMethod(
        this,
        [this, side, lamp, state] {
            const auto& lamps = lamps_[index(side)];
            if (lamp >= 0 && lamp < static_cast<int>(lamps.size()))
                lamps[static_cast<std::size_t>(lamp)]->set_state(state);
        },
        Qt::QueuedConnection);
}

void IoStatusWindow::polling_ended() {
    QMetaObject::invokeMethod(
        this, [this] { reject(); }, Qt::QueuedConnection);
}

}  // namespace varda::gui
