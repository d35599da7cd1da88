#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/platform/ui.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace varda::gui {

// The modal exchange window: the task's progress lines, the time elapsed, a bar and "n of m" parameters,
// and Cancel. The worker thread drives it through progress_window(); everything it sends is queued to the
// user-interface thread. The window closes only when the task says so: Cancel asks the task to stop.
class ProgressDialog : public QDialog {
    Q_OBJECT
  public:
    ProgressDialog(const ExchangeRequest& request, QWidget* parent = nullptr);
    ~ProgressDialog() override;

    // Shows the window, starts the task once it is up and returns when the task has closed it; true when
    // the window could be shown.
    bool run();

    // The window as the worker sees it; valid while the dialog exists.
    ProgressWindow& progress_window();

    QStringList lines() const;
    QPushButton* cancel_button() const { return cancel_; }
    QProgressBar* progress_bar() const { return bar_; }
    QString elapsed_text() const;
    QString count_text() const;

  protected:
    // Escape and the title bar's close button act as Cancel: the task decides when the window goes.
    void reject() override;

  private:
    class Bridge;

    void append_line(const QString& line);
    void show_progress(int done, int total, const QString& elapsed);
    void cancel();
    void finish();

    std::function<void(ProgressWindow&)> on_open_;
    std::function<void()> on_cancel_;
    std::unique_ptr<Bridge> bridge_;
    QListWidget* list_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* count_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* scroll_timer_ = nullptr;
    bool finished_ = false;
};

}  // namespace varda::gui
