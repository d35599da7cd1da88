#include "gui/service/simulator_panel.h"

#include <QGridLayout>

#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

constexpr int kGarbledReplies = 3;
constexpr int kSlowReplyMs = 300;

}  // namespace

SimulatorPanel::SimulatorPanel(std::shared_ptr<sim::SimulatedModule> module, QWidget* parent)
    : QWidget(parent, Qt::Tool), console_({std::move(module)}) {
    setWindowTitle(tr("Simulated module"));
    setAttribute(Qt::WA_DeleteOnClose);
    silent_ = new QPushButton(tr("Go silent"), this);
    silent_->setToolTip(tr("The module stops answering, as if its cable were pulled"));
    garble_ = new QPushButton(tr("Garble %1 replies").arg(kGarbledReplies), this);
    garble_->setToolTip(tr("The next replies carry a wrong checksum, as on a noisy line"));
    slow_ = new QPushButton(tr("Slow replies"), this);
    slow_->setToolTip(tr("Every reply comes %1 ms late").arg(kSlowReplyMs));
    restore_ = new QPushButton(tr("Restore"), this);
    restore_->setToolTip(tr("Take every fault back"));
    answer_ = new QLabel(this);
    answer_->setWordWrap(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(silent_, 0, 0);
    layout->addWidget(garble_, 0, 1);
    layout->addWidget(slow_, 1, 0);
    layout->addWidget(restore_, 1, 1);
    layout->addWidget(answer_, 2, 0, 1, 2);

    connect(silent_, &QPushButton::clicked, this, [this] { run("silent on"); });
    connect(garble_, &QPushButton::clicked, this,
            [this] { run("garble " + std::to_string(kGarbledReplies)); });
    connect(slow_, &QPushButton::clicked, this, [this] { run("delay " + std::to_string(kSlowReplyMs)); });
    connect(restore_, &QPushButton::clicked, this, [this] { run("reset"); });
    run("status");
}

void SimulatorPanel::run(const std::string& command) {
    answer_->setText(qtext(console_.run(command)));
}

}  // namespace varda::gui
