#include "gui/document/progress_dialog.h"
#include "gui/platform/qt_text.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace varda::gui {
namespace {

constexpr int kScrollEvery = 5;
// Lines that stop coming (the last ones of a task) are scrolled into view after this pause.
constexpr int kScrollPauseMs = 150;

QString count_text_of(int done, int total) {
    return QCoreApplication::translate("ProgressDialog", "%1 of %2").arg(done).arg(total);
}

}  // namespace

// The worker's handle on the window: every call becomes a queued call on the user-interface thread. Queued
// calls die with the dialog, and the worker stops calling once it has closed the window.
class ProgressDialog::Bridge : public ProgressWindow {
  public:
    explicit Bridge(ProgressDialog* dialog) : dialog_(dialog) {}

    void add_line(const std::string& line) override {
        QMetaObject::invokeMethod(
            dialog_, [dialog = dialog_, text = QString::fromStdString(line)] { dialog->append_line(text); },
            Qt::QueuedConnection);
    }
    void set_progress(int done, int total, const std::string& elapsed) override {
        QMetaObject::invokeMethod(
            dialog_,
            [dialog = dialog_, done, total, text = QString::fromStdString(elapsed)] {
                dialog->show_progress(done, total, text);
            },
            Qt::QueuedConnection);
    }
    void close() override {
        QMetaObject::invokeMethod(
            dialog_, [dialog = dialog_] { dialog->finish(); }, Qt::QueuedConnection);
    }

  private:
    ProgressDialog* dialog_;
};

ProgressDialog::ProgressDialog(const ExchangeRequest& request, QWidget* parent)
    : QDialog(parent),
      on_open_(request.on_open),
      on_cancel_(request.on_cancel),
      bridge_(std::make_unique<Bridge>(this)) {
    setWindowTitle(request.title.empty() ? tr("Device <=> Application") : qtext(request.title));
    setModal(true);

    list_ = new QListWidget(this);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);

    elapsed_ = new QLabel(QStringLiteral("00:00:00"), this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, std::max(request.total, 1));
    bar_->setValue(0);
    bar_->setTextVisible(false);
    count_ = new QLabel(request.total ? count_text_of(0, request.total) : QString(), this);
    count_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000 of 00000")));

    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &ProgressDialog::cancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(list_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(tr("Time elapsed"), this), 1, 0);
    grid->addWidget(elapsed_, 1, 1);
    grid->addWidget(bar_, 2, 0, 1, 3);
    grid->addWidget(new QLabel(tr("Parameters"), this), 3, 0);
    grid->addWidget(count_, 3, 1);
    grid->addWidget(cancel_, 3, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    scroll_timer_ = new QTimer(this);
    scroll_timer_->setSingleShot(true);
    scroll_timer_->setInterval(kScrollPauseMs);
    connect(scroll_timer_, &QTimer::timeout, list_, &QListWidget::scrollToBottom);

    resize(460, 340);
}

ProgressDialog::~ProgressDialog() = default;

bool ProgressDialog::run() {
    // The task starts once the window is up, so its first lines have somewhere to go.
    QTimer::singleShot(0, this, [this] {
        if (on_open_) on_open_(*bridge_);
    });
    if (!finished_) exec();
    return true;
}

ProgressWindow& ProgressDialog::progress_window() {
    return *bridge_;
}

QStringList ProgressDialog::lines() const {
    QStringList out;
    for (int i = 0; i < list_->count(); ++i)
        out << list_->item(i)->text();
    return out;
}

QString ProgressDialog::elapsed_text() const {
    return elapsed_->text();
}
QString ProgressDialog::count_text() const {
    return count_->text();
}

void ProgressDialog::append_line(const QString& line) {
    list_->addItem(line);
    if (list_->count() % kScrollEvery == 0) list_->scrollToBottom();
    scroll_timer_->start();
}

void ProgressDialog::show_progress(int done, int total, const QString& elapsed) {
    elapsed_->setText(elapsed);
    if (total == 0) return;
    count_->setText(count_text_of(done, total));
    if (bar_->maximum() != total) bar_->setRange(0, total);
    bar_->setValue(std::clamp(done, 0, total));
}

void ProgressDialog::cancel() {
    cancel_->setEnabled(false);  // pressed once is enough: the task is stopping
    if (on_cancel_) on_cancel_();
}

void ProgressDialog::reject() {
    if (cancel_->isEnabled()) cancel();
}

void ProgressDialog::finish() {
    finished_ = true;
    list_->scrollToBottom();
    done(QDialog::Accepted);
}

}  // namespace varda::gui
