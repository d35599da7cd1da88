#include "gui/connection/startup_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/connection/startup_connection.h"
#include "core/platform/strings.h"
#include "gui/calibration/busy_progress.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {
constexpr int kInitialization = 162;
}

StartupWindow::StartupWindow(Device& device, QWidget* parent)
    : QDialog(parent), connection_(std::make_unique<StartupConnection>(device)) {
    setWindowTitle(qtext(str(kInitialization)));
    setWindowIcon(QApplication::windowIcon());
    setModal(true);
    step_ = new QLabel(qtext(str(kInitialization)), this);
    step_->setMinimumWidth(460);
    step_->setWordWrap(true);
    auto* bar = new BusyProgress(this);
    bar->start(100);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &StartupWindow::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(step_);
    layout->addWidget(bar);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

StartupWindow::~StartupWindow() = default;

bool StartupWindow::connect_and_wait() {
    connection_->start([this](const std::string& text) { step_->setText(qtext(text)); },
                       [this](bool connected) {
                           connected_ = connected;
                           accept();
                       });
    exec();
    return connected_;
}

void StartupWindow::reject() {
    // The window stays until the attempt has stopped, which is at most one request away.
    if (connection_->cancelled()) return;
    connection_->cancel();
    cancel_->setEnabled(false);
    step_->setText(tr("Cancelling\u2026"));
}

bool connect_at_start(Device& device) {
    StartupWindow window(device);
    return window.connect_and_wait();
}

}  // namespace varda::gui
