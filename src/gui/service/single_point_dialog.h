#pragma once

#include <QDialog>

#include "core/app/service/single_point.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace varda {
class CTarnDoc;
}

namespace varda::gui {

// "Single parameter": reads or writes one declared parameter of the current model with a byte-level trace.
// A thin view over SinglePointController: the controls are copied into its fields before Execute and
// shown again afterwards. Modal: open it with exec().
class SinglePointDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SinglePointDialog(CTarnDoc& doc, QWidget* parent = nullptr);

    SinglePointController& controller() { return controller_; }
    QComboBox* parameter_box() const { return parameter_; }
    QLineEdit* hash_field() const { return hash_; }
    QLineEdit* description_field() const { return description_; }
    QCheckBox* indexed_box() const { return indexed_; }
    QRadioButton* data_index_button() const { return data_index_; }
    QRadioButton* address_index_button() const { return address_index_; }
    QLineEdit* index_field() const { return index_; }
    QRadioButton* read_button() const { return read_; }
    QRadioButton* write_button() const { return write_; }
    QComboBox* write_data_box() const { return write_data_; }
    QLabel* write_data_label() const { return write_data_label_; }
    QListWidget* trace_list() const { return trace_; }
    QPushButton* execute_button() const { return execute_; }
    QPushButton* exit_button() const { return exit_; }

  private:
    void name_edited(const QString& text);
    void execute();
    // The controller's fields into the controls, and back.
    void show_fields();
    void show_name_fields();
    void take_fields();
    void show_index_kind();
    void show_function();

    SinglePointController controller_;
    QComboBox* parameter_ = nullptr;
    QLineEdit* hash_ = nullptr;
    QLineEdit* description_ = nullptr;
    QCheckBox* indexed_ = nullptr;
    QRadioButton* data_index_ = nullptr;
    QRadioButton* address_index_ = nullptr;
    QLineEdit* index_ = nullptr;
    QRadioButton* read_ = nullptr;
    QRadioButton* write_ = nullptr;
    QComboBox* write_data_ = nullptr;
    QLabel* write_data_label_ = nullptr;
    QListWidget* trace_ = nullptr;
    QPushButton* execute_ = nullptr;
    QPushButton* exit_ = nullptr;
};

}  // namespace varda::gui
