#include "gui/tree/table_ctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <numeric>

#include "core/app/connection/connection_status.h"
#include "core/link/sio.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/serial_ports.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda::gui {
namespace {

// The port is shown by its adapter's name when it has one; the kept value may be a long by-id path.
std::string shown_text(const Parameter& parameter) {
    if (platform::iequals(parameter.network_name(), "Port")) return port_label(parameter.value_text());
    return parameter.value_text();
}

constexpr int kObjectRole = Qt::UserRole + 1;
constexpr int kFlagsRole = Qt::UserRole + 2;
constexpr int kRowValueRole = Qt::UserRole + 3;

constexpr int kTipShowMs = 15000;
constexpr int kTipMaxWidth = 250;
constexpr int kListVisibleItems = 12;

const QColor kGridColour(192, 192, 192);
const QColor kRowFrameColour(227, 244, 243);
const QColor kFocusFrameColour(100, 100, 100);
const QColor kDisabledText(170, 170, 170);
const QColor kDisabledGround(210, 210, 210);
const QColor kRedText(255, 0, 0);
const QColor kGreenText(0, 180, 0);
const QColor kButtonText(0, 0, 150);

QString qstr(const std::string& text) {
    return QString::fromStdString(text);
}

// The edit box's tip: the parameter in bold, then what the value must be; wrapped when it gets wide.
QString tip_html(const std::string& title, const std::string& text) {
    const QString body =
        QStringLiteral("<b>%1</b><br>%2").arg(qstr(title).toHtmlEscaped(), qstr(text).toHtmlEscaped());
    const QFontMetrics metrics(QToolTip::font());
    const int widest =
        std::max(metrics.horizontalAdvance(qstr(title)), metrics.horizontalAdvance(qstr(text)));
    if (widest <= kTipMaxWidth) return body;
    return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>").arg(kTipMaxWidth).arg(body);
}

}  // namespace

// Draws the cells by their flags and makes the in-place editors; the table decides everything else.
class ReportTable::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(ReportTable* table) : QStyledItemDelegate(table), table_(table) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        return table_->create_editor(parent, index.row(), index.column());
    }
    // The editor is filled when it is made; the cell's text is not what it starts with ("no data").
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        table_->commit_editor(editor);
    }
    // An editor keeps its natural height, centred on a row that may be lower.
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        QRect r = option.rect;
        const int height = std::max(r.height(), std::min(editor->sizeHint().height(), r.height() + 6));
        r.setTop(r.center().y() - height / 2 + 1);
        r.setHeight(height);
        editor->setGeometry(r);
    }

  private:
    ReportTable* table_;
};

void ReportTable::Delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    using namespace cell_flags;
    const int row = index.row();
    const int column = index.column();
    const std::uint16_t flags = table_->GetCellFlags(row, column);
    const bool enabled = option.state & QStyle::State_Enabled;
    const bool selected = option.state & QStyle::State_Selected;
    const QRect r = option.rect;
    const QString text = index.data(Qt::DisplayRole).toString();

    painter->save();
    QColor ground = Qt::white;
    QColor ink = option.palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    if (flags & kDisabled) {
        ground = kDisabledGround;
        ink = kDisabledText;
    } else if (selected) {
        const auto group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        ground = option.palette.color(group, QPalette::Highlight);
        ink = option.palette.color(group, QPalette::HighlightedText);
    }
    // A selected row keeps the highlight's own text colour: red or green on the highlight is hard to read.
    if (!(flags & kDisabled) && enabled && !selected) {
        if (flags & kRed) ink = kRedText;
        if (flags & kGreen) ink = kGreenText;
    }
    painter->fillRect(r, ground);
    painter->setPen(kRowFrameColour);
    painter->drawRect(r.adjusted(0, 0, -1, -1));

    if (flags & kButton) {
        QStyleOptionButton button;
        button.rect = r.adjusted(1, 1, -1, -1);
        button.text = text;
        button.state = QStyle::State_Raised;
        if (enabled && !(flags & kDisabled)) button.state |= QStyle::State_Enabled;
        if (table_->pressed_row() == row && table_->pressed_column() == column)
            button.state |= QStyle::State_Sunken;
        button.palette = option.palette;
        button.palette.setColor(QPalette::ButtonText,
                                button.state & QStyle::State_Enabled ? kButtonText : kDisabledText);
        table_->style()->drawControl(QStyle::CE_PushButton, &button, painter, table_);
    } else {
        const QRect text_rect = r.adjusted(4, 0, -4, 0);
        const QVariant align = index.data(Qt::TextAlignmentRole);
        const Qt::Alignment alignment =
            (align.isValid() ? Qt::Alignment(align.toInt()) & Qt::AlignHorizontal_Mask : Qt::AlignLeft) |
            Qt::AlignVCenter;
        painter->setFont(option.font);
        painter->setPen(ink);
        painter->drawText(text_rect, int(alignment) | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(text, Qt::ElideRight, text_rect.width()));
    }

    painter->setPen(kGridColour);
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    if ((option.state & QStyle::State_HasFocus) && enabled) {
        painter->setPen(kFocusFrameColour);
        painter->drawRect(r.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}

// ---- ReportTable ---------------------------------------------------------------------------------

ReportTable::ReportTable(QWidget* parent) : QTableWidget(parent), delegate_(new Delegate(this)) {
    setItemDelegate(delegate_);
    setShowGrid(false);  // the delegate draws the grid in its own colour
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);  // activation decides, by the cell flags
    // The arrows move between cells; Tab goes on to the dialog's next control.
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

ReportTable::~ReportTable() = default;

void ReportTable::SetColumns(const QStringList& captions, const std::vector<int>& proportions) {
    setColumnCount(static_cast<int>(captions.size()));
    setHorizontalHeaderLabels(captions);
    proportions_ = proportions;
    proportions_.resize(static_cast<std::size_t>(captions.size()), 1);
    apply_column_widths();
}

int ReportTable::AddRow(const QStringList& texts) {
    const int row = rowCount();
    insertRow(row);
    for (int column = 0; column < columnCount(); ++column)
        SetCellText(row, column, column < texts.size() ? texts[column] : QString());
    return row;
}

QTableWidgetItem* ReportTable::item_at(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        const_cast<ReportTable*>(this)->setItem(row, column, cell);
    }
    return cell;
}

void ReportTable::SetCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item_at(row, column)) cell->setText(text);
}

QString ReportTable::CellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void ReportTable::SetCellObject(int row, int column, Parameter* object, std::uint16_t flags) {
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? columnCount() - 1 : column;
    for (int c = first; c <= last; ++c) {
        QTableWidgetItem* cell = item_at(row, c);
        if (!cell) continue;
        cell->setData(kObjectRole, QVariant::fromValue(static_cast<void*>(object)));
        SetCellFlags(row, c, flags, 0xFFFF);
    }
}

Parameter* ReportTable::GetCellObject(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? static_cast<Parameter*>(cell->data(kObjectRole).value<void*>()) : nullptr;
}

std::uint16_t ReportTable::GetCellFlags(int row, int column) const {
    if (column >= 0) {
        const QTableWidgetItem* cell = item(row, column);
        return cell ? static_cast<std::uint16_t>(cell->data(kFlagsRole).toUInt()) : 0;
    }
    std::uint16_t all = 0;
    for (int c = 0; c < columnCount(); ++c)
        all |= GetCellFlags(row, c);
    return all;
}

void ReportTable::SetCellFlags(int row, int column, std::uint16_t value, std::uint16_t mask) {
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? columnCount() - 1 : column;
    for (int c = first; c <= last; ++c) {
        QTableWidgetItem* cell = item_at(row, c);
        if (!cell) continue;
        const auto flags = static_cast<std::uint16_t>((GetCellFlags(row, c) & ~mask) | (value & mask));
        cell->setData(kFlagsRole, flags);
    }
    // A disabled row cannot be selected, whichever of its cells carries the flag.
    const bool selectable = !RowDisabled(row);
    for (int c = 0; c < columnCount(); ++c) {
        if (QTableWidgetItem* cell = item(row, c)) {
            cell->setFlags(selectable ? cell->flags() | Qt::ItemIsSelectable
                                      : cell->flags() & ~Qt::ItemIsSelectable);
        }
    }
}

void ReportTable::SetRowValue(int row, qlonglong value) {
    if (QTableWidgetItem* cell = item_at(row, 0)) cell->setData(kRowValueRole, value);
    viewport()->update();
}

qlonglong ReportTable::RowValue(int row) const {
    const QTableWidgetItem* cell = item(row, 0);
    return cell ? cell->data(kRowValueRole).toLongLong() : 0;
}

void ReportTable::FitHeight() {
    const int rows = std::min(rowCount(), kMaxVisibleRows);
    const int header = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->sizeHint().height();
    // A derived table may use taller rows.
    setFixedHeight(rows * verticalHeader()->defaultSectionSize() + header + 2 * frameWidth());
    apply_column_widths();
}

void ReportTable::apply_column_widths() {
    if (proportions_.empty() || columnCount() == 0) return;
    const int total = std::max(1, std::accumulate(proportions_.begin(), proportions_.end(), 0));
    // The viewport is already narrower by the vertical scroll bar when the rows do not fit.
    const int width = viewport()->width();
    int used = 0;
    for (int c = 0; c < columnCount(); ++c) {
        const int share =
            c + 1 == columnCount() ? width - used : width * proportions_[static_cast<std::size_t>(c)] / total;
        horizontalHeader()->resizeSection(c, std::max(share, 0));
        used += share;
    }
}

bool ReportTable::ActivateCell(int row, int column) {
    if (row < 0 || row >= rowCount()) return false;
    emit cell_activated(row, column);
    column = EditorColumn(row, column);
    if (column < 0 || column >= columnCount()) return false;
    if (!cell_opens_editor(row, GetCellFlags(row, -1), GetCellFlags(row, column))) return false;
    const QModelIndex index = model()->index(row, column);
    setCurrentIndex(index);
    edit(index);
    return state() == QAbstractItemView::EditingState && editor_;
}

QWidget* ReportTable::create_editor(QWidget* parent, int row, int column) {
    editing_ = EditorFor(row, column);
    QWidget* editor = nullptr;
    if (editing_.kind == TableEditor::Kind::EditBox) {
        auto* box = new QLineEdit(parent);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setFrame(true);
        box->setText(qstr(editing_.text));
        box->selectAll();
        if (!editing_.tip_text.empty()) {
            const QString tip = tip_html(editing_.tip_title, editing_.tip_text);
            box->setToolTip(tip);
            QTimer::singleShot(0, box, [box, tip] {
                QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), tip, box, QRect(), kTipShowMs);
            });
        }
        editor = box;
    } else if (editing_.kind == TableEditor::Kind::List) {
        auto* list = new QComboBox(parent);
        list->setMaxVisibleItems(kListVisibleItems);  // longer lists scroll
        for (const std::string& entry : editing_.items)
            list->addItem(qstr(entry));
        if (editing_.editable) {
            list->setEditable(true);
            list->setInsertPolicy(QComboBox::NoInsert);
        }
        list->setCurrentIndex(editing_.selected);
        if (editing_.editable && editing_.selected < 0) list->setEditText(qstr(editing_.text));
        // A choice confirmed in the list is committed at once.
        connect(list, &QComboBox::activated, this, [this, list] {
            list->setProperty("chosen", true);
            emit delegate_->commitData(list);
            emit delegate_->closeEditor(list);
        });
        editor = list;
    }
    if (!editor) return nullptr;
    editor->installEventFilter(this);
    editor_ = editor;
    edit_row_ = row;
    edit_column_ = column;
    EditorOpened(row, column);
    return editor;
}

void ReportTable::commit_editor(QWidget* editor) {
    if (!commit_enabled_ || !editor || editor != editor_) return;
    QString text;
    if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        if (!box->isModified()) return;  // Escape, or nothing typed
        box->setModified(false);
        text = box->text();
    } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
        const bool typed = list->isEditable() && list->lineEdit() && list->lineEdit()->isModified();
        if (!list->property("chosen").toBool() && !typed) return;
        list->setProperty("chosen", false);
        if (list->lineEdit()) list->lineEdit()->setModified(false);
        text = qstr(editing_.value_of(list->currentIndex(), list->currentText().toStdString()));
    } else {
        return;
    }
    CommitText(edit_row_, edit_column_, text);
}

void ReportTable::CellAction(int, int) {}

void ReportTable::EditorOpened(int, int) {}

void ReportTable::CommitText(int row, int column, const QString& text) {
    Parameter* parameter = GetCellObject(row, column);
    if (!parameter) {
        SetCellText(row, column, text);
        return;
    }
    parameter->SetValueText(text.toStdString());
    SetCellText(row, column, qstr(parameter->value_text()));
}

TableEditor ReportTable::EditorFor(int row, int column) const {
    const Parameter* parameter = GetCellObject(row, column);
    return parameter ? choose_table_editor(*parameter) : TableEditor{};
}

QModelIndex ReportTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    const QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (!next.isValid() || !RowDisabled(next.row())) return next;
    const int from = current.isValid() ? current.row() : -1;
    const int row =
        skip_disabled_rows(from, next.row(), rowCount(), [this](int r) { return RowDisabled(r); });
    if (row == from || row < 0) return current;
    return model()->index(row, next.column());
}

void ReportTable::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        pressed_row_ = index.isValid() ? index.row() : -1;
        pressed_column_ = index.isValid() ? index.column() : -1;
        viewport()->update();
    }
    if (index.isValid() && RowDisabled(index.row())) {
        event->accept();  // a disabled row is never selected
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void ReportTable::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const int row = pressed_row_;
    const int column = pressed_column_;
    pressed_row_ = pressed_column_ = -1;
    viewport()->update();
    if (row >= 0 && column >= 0 && cell_runs_action(GetCellFlags(row, column))) CellAction(row, column);
}

void ReportTable::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) {
        QTableWidget::mouseDoubleClickEvent(event);
        return;
    }
    // The second press of a double-click counts as a press too (push-button cells).
    pressed_row_ = index.row();
    pressed_column_ = index.column();
    viewport()->update();
    event->accept();
    if (!RowDisabled(index.row())) ActivateCell(index.row(), index.column());
}

void ReportTable::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter belongs to the table: it never reaches the dialog's default button.
        if (state() != QAbstractItemView::EditingState && currentIndex().isValid())
            ActivateCell(currentIndex().row(), currentIndex().column());
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void ReportTable::wheelEvent(QWheelEvent* event) {
    if (state() == QAbstractItemView::EditingState) {
        event->accept();  // the editor would be left behind its cell
        return;
    }
    QTableWidget::wheelEvent(event);
}

void ReportTable::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    apply_column_widths();
}

bool ReportTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_ && event->type() == QEvent::Wheel) return true;
    return QTableWidget::eventFilter(watched, event);
}

// ---- ConnectionSettingsTable ----------------------------------------------------------------------------

ConnectionSettingsTable::ConnectionSettingsTable(QWidget* parent) : ReportTable(parent) {
    SetColumns({tr("Serial port settings"), tr("Value")}, {3, 1});
}

void ConnectionSettingsTable::Fill(ObjectWithParameters& network) {
    setRowCount(0);
    for (const auto& parameter : network.parameters) {
        const int row = AddRow({qstr(parameter->description), qstr(shown_text(*parameter))});
        SetCellObject(row, -1, parameter.get());
    }
    FitHeight();
}

int ConnectionSettingsTable::RowOf(const Parameter& parameter) const {
    for (int row = 0; row < rowCount(); ++row)
        if (GetCellObject(row, 1) == &parameter) return row;
    return -1;
}

void ConnectionSettingsTable::ShowValue(const Parameter& parameter) {
    if (const int row = RowOf(parameter); row >= 0) SetCellText(row, 1, qstr(shown_text(parameter)));
}

TableEditor ConnectionSettingsTable::EditorFor(int row, int column) const {
    Parameter* parameter = GetCellObject(row, column);
    if (parameter && platform::iequals(parameter->network_name(), "Port")) {
        // Adapters come and go: the list shows the devices present now.
        const std::string ports = list_serial_ports();
        parameter->set_data_type(ports);
        return port_editor(*parameter, ports);
    }
    return ReportTable::EditorFor(row, column);
}

// ---- NumberedTextCombo -----------------------------------------------------------------------------------

void NumberedTextCombo::Fill(int first_id, int count) {
    clear();
    for (int i = 0; i < count; ++i) {
        const std::string_view text = str(first_id + i);
        addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
}

}  // namespace varda::gui
