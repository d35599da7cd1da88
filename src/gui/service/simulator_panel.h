#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <memory>

#include "sim/console.h"

namespace varda::gui {

// The small window beside the try-out with the simulated module: a few of its console's commands on
// buttons (go silent, garble replies, slow replies, restore), so a new user sees what the program does
// when the line misbehaves. Each button runs the same command the simulator's console takes.
class SimulatorPanel : public QWidget {
    Q_OBJECT
  public:
    SimulatorPanel(std::shared_ptr<sim::SimulatedModule> module, QWidget* parent = nullptr);

    // Runs a console command and shows its answer.
    void run(const std::string& command);
    QString answer() const { return answer_->text(); }
    QPushButton* silent_button() const { return silent_; }
    QPushButton* garble_button() const { return garble_; }
    QPushButton* slow_button() const { return slow_; }
    QPushButton* restore_button() const { return restore_; }

  private:
    sim::Console console_;
    QPushButton* silent_;
    QPushButton* garble_;
    QPushButton* slow_;
    QPushButton* restore_;
    QLabel* answer_;
};

}  // namespace varda::gui
