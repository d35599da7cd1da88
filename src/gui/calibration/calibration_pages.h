#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace varda {
class CCodeBasePage;
class WizardPage;
}  // namespace varda

namespace varda::gui {

// The widgets of one wizard page over its core page: show() copies the page's state into the widgets,
// store() copies what the user entered back before a button is handled.
class WizardPageView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    virtual void show_state() {}
    virtual void store() {}
};

// A page with one text: an instruction, or on the error page what went wrong.
class TextPageView : public WizardPageView {
    Q_OBJECT
  public:
    TextPageView(const WizardPage& page, bool warning, QWidget* parent);
    void show_state() override;
    QLabel* text_label() const { return text_; }

  private:
    const WizardPage& page_;
    QLabel* text_ = nullptr;
};

// Step 1 of the offset and scale wizard: the access code, then the sensor list.
class CodePageView : public WizardPageView {
    Q_OBJECT
  public:
    CodePageView(CCodeBasePage& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLineEdit* code_edit() const { return code_; }
    QListWidget* sensor_list() const { return sensors_; }

  private:
    CCodeBasePage& page_;
    QLineEdit* code_ = nullptr;
    QLabel* sensor_label_ = nullptr;
    QListWidget* sensors_ = nullptr;
};

// The view of a core page; pages without their own view show their text.
WizardPageView* make_page_view(WizardPage& page, QWidget* parent);

}  // namespace varda::gui
