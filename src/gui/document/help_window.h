#pragma once

#include <QDialog>

class QTextBrowser;

namespace varda::gui {

// The user guide shipped with the program, shown in a window of its own so it needs no web browser.
class UserGuideWindow : public QDialog {
    Q_OBJECT
  public:
    // `path`: the guide's HTML file.
    explicit UserGuideWindow(const QString& path, QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_ = nullptr;
};

// Help > Help: opens the guide (one window, raised when already open); says so when it is not installed.
void open_user_guide(QWidget* parent);

// Help > About: the product's one name, its version and build, and the maker.
void show_about(QWidget* parent);

}  // namespace varda::gui
