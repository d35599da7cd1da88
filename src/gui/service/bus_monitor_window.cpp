#include "gui/service/bus_monitor_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/document/document.h"
#include "core/link/device.h"
#include "core/platform/numbers.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {
namespace {

constexpr int kPullMs = 100;

QString hex_of(const std::string& printable) {
    // The printable form keeps "\r" and "\xNN" escapes; the hex column shows the real bytes.
    QString out;
    for (std::size_t i = 0; i < printable.size(); ++i) {
        unsigned value = static_cast<unsigned char>(printable[i]);
        if (printable[i] == '\\' && i + 1 < printable.size()) {
            if (printable[i + 1] == 'r') {
                value = '\r';
                ++i;
            } else if (printable[i + 1] == 'x' && i + 3 < printable.size()) {
                value = std::stoul(printable.substr(i + 2, 2), nullptr, 16);
                i += 3;
            }
        }
        if (!out.isEmpty()) out += QLatin1Char(' ');
        out += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

}  // namespace

// ---- FrameTableModel ------------------------------------------------------------------------------

int FrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int FrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant FrameTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const TraceLine& l = line(index.row());
    if (role == Qt::ForegroundRole && !l.failure.empty()) return QColor(0xc6, 0x28, 0x28);
    if (role == Qt::TextAlignmentRole && (index.column() == kTime || index.column() == kReply))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case kTime:
            return qtext(platform::fixed(l.time_ms, 1));
        case kDirection:
            return l.sent ? QStringLiteral("\u2192 TX") : QStringLiteral("\u2190 RX");
        case kAddress:
            return l.address >= 0 ? QString::number(l.address) : QString();
        case kName:
            return qtext(l.name);
        case kIndex:
            return l.index >= 0 ? QString::number(l.index) : QString();
        case kAccess:
            return qtext(l.access);
        case kValue:
            return qtext(l.value);
        case kFailure:
            return qtext(l.failure);
        case kReply:
            return l.reply_ms >= 0 ? qtext(platform::fixed(l.reply_ms, 1)) : QString();
        case kBytes:
            return qtext(l.bytes);
        case kHex:
            return hex_of(l.bytes);
        default:
            return {};
    }
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[kColumns] = {
        QT_TR_NOOP("Time, ms"),  QT_TR_NOOP("Direction"), QT_TR_NOOP("Address"), QT_TR_NOOP("Parameter"),
        QT_TR_NOOP("Index"),     QT_TR_NOOP("Access"),    QT_TR_NOOP("Value"),   QT_TR_NOOP("Failure"),
        QT_TR_NOOP("Reply, ms"), QT_TR_NOOP("Bytes"),     QT_TR_NOOP("Hex")};
    return tr(kTitles[section]);
}

void FrameTableModel::append(std::vector<TraceLine> lines) {
    if (lines.empty()) return;
    std::vector<std::size_t> added;
    for (auto& l : lines) {
        if (filter_.matches(l)) added.push_back(lines_.size());
        lines_.push_back(std::move(l));
    }
    if (added.empty()) return;
    const int first = static_cast<int>(shown_.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    shown_.insert(shown_.end(), added.begin(), added.end());
    endInsertRows();
}

void FrameTableModel::clear() {
    beginResetModel();
    lines_.clear();
    shown_.clear();
    endResetModel();
}

void FrameTableModel::set_filter(FrameFilter filter) {
    beginResetModel();
    filter_ = std::move(filter);
    shown_.clear();
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (filter_.matches(lines_[i])) shown_.push_back(i);
    endResetModel();
}

// ---- BusMonitorWindow -----------------------------------------------------------------------------

BusMonitorWindow::BusMonitorWindow(CTarnDoc& doc, QWidget* parent)
    : QWidget(parent, Qt::Window),
      doc_(doc),
      decoder_(names_, [&doc] { return doc.device().sio().settings.address_width; }) {
    setWindowTitle(tr("Bus monitor"));
    setAttribute(Qt::WA_DeleteOnClose);

    pause_ = new QToolButton(this);
    pause_->setText(tr("Pause"));
    pause_->setCheckable(true);
    auto* clear = new QPushButton(tr("Clear"), this);
    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(tr("Filter: parameter, value, failure or bytes"));
    filter_->setClearButtonEnabled(true);
    failures_ = new QCheckBox(tr("Failures only"), this);
    follow_ = new QCheckBox(tr("Follow"), this);
    follow_->setChecked(true);
    auto* save = new QPushButton(tr("Save as text..."), this);
    counts_ = new QLabel(this);

    table_ = new QTableView(this);
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setTabKeyNavigation(false);  // Tab goes on to the window's buttons
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int widths[] = {80, 70, 60, 140, 50, 50, 120, 180, 70, 260};
    // A caption is never cut, in whichever language it reads.
    const QFontMetrics caption = table_->horizontalHeader()->fontMetrics();
    for (int c = 0; c < FrameTableModel::kHex; ++c) {
        const QString text = model_.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        table_->setColumnWidth(c, std::max(widths[c], caption.horizontalAdvance(text) + 16));
    }

    const auto refilter = [this] {
        model_.set_filter({filter_->text().toStdString(), failures_->isChecked()});
        update_counts();
    };
    connect(filter_, &QLineEdit::textChanged, this, refilter);
    connect(failures_, &QCheckBox::toggled, this, refilter);
    connect(clear, &QPushButton::clicked, this, [this] {
        pull();  // what was recorded so far goes too
        model_.clear();
        update_counts();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save the frames"), QString(),
                                                          tr("Text files (*.txt);;All files (*)"));
        if (path.isEmpty()) return;
        QString error;
        if (!save_to(path, error)) QMessageBox::warning(this, windowTitle(), error);
    });

    auto* bar = new QHBoxLayout;
    bar->addWidget(pause_);
    bar->addWidget(clear);
    bar->addWidget(filter_, 1);
    bar->addWidget(failures_);
    bar->addWidget(follow_);
    bar->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    layout->addWidget(counts_);
    resize(1100, 520);

    doc_.device().sio().set_tap(&recorder_);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (!pause_->isChecked()) pull();
    });
    timer_->start(kPullMs);
    update_counts();
}

BusMonitorWindow::~BusMonitorWindow() {
    // The line stops recording before the recorder goes.
    std::lock_guard line(doc_.context().line_lock);
    if (doc_.device().sio().tap() == &recorder_) doc_.device().sio().set_tap(nullptr);
}

void BusMonitorWindow::update_names() {
    // A new tree (another model, a file opened) brings its own names.
    const void* tree = doc_.root();
    if (tree == named_tree_) return;
    named_tree_ = tree;
    if (doc_.root()) names_.add_tree(*doc_.root());
}

void BusMonitorWindow::pull() {
    std::vector<TapFrame> frames = recorder_.take_since(seen_);
    if (frames.empty()) return;
    update_names();
    std::vector<TraceLine> lines;
    lines.reserve(frames.size());
    for (const TapFrame& frame : frames)
        lines.push_back(decoder_.decode(frame));
    model_.append(std::move(lines));
    if (follow_->isChecked()) table_->scrollToBottom();
    update_counts();
}

void BusMonitorWindow::update_counts() {
    counts_->setText(tr("%1 of %2 frames shown").arg(model_.rowCount()).arg(model_.total()));
}

QString BusMonitorWindow::rows_text(bool selected_only) const {
    QString text;
    std::vector<int> rows;
    if (selected_only) {
        for (const QModelIndex& index : table_->selectionModel()->selectedRows())
            rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
    } else {
        for (int r = 0; r < const_cast<FrameTableModel&>(model_).rowCount(); ++r)
            rows.push_back(r);
    }
    for (const int r : rows)
        text += qtext(trace_text(model_.line(r))) + QLatin1Char('\n');
    return text;
}

bool BusMonitorWindow::save_to(const QString& path, QString& error) const {
    QSaveFile file(path);  // written beside and renamed: an old file survives a failed save
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        error = tr("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    file.write(rows_text(false).toUtf8());
    if (!file.commit()) {
        error = tr("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void BusMonitorWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(rows_text(true));
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace varda::gui
