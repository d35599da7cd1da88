#pragma once

#include <QDialog>
#include <vector>

#include "core/app/connection/bus_scan_controller.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace varda::gui {

// "Find modules on the bus": the baud rates and the address range to try, the scan's progress with the
// time left, and the modules found; a double-click connects to one. A thin view over BusScanController.
class BusScanDialog : public QDialog, public BusScanView {
    Q_OBJECT
  public:
    explicit BusScanDialog(Device& device, QWidget* parent = nullptr);
    ~BusScanDialog() override;

    // Whether the dialog ended by connecting to a module found.
    bool connected() const { return connected_; }

    QPushButton* start_button() const { return start_; }
    QTreeWidget* modules() const { return modules_; }
    QLabel* status_label() const { return status_; }
    QRadioButton* thorough_button() const { return thorough_; }
    QLabel* estimate_label() const { return estimate_; }
    // The request the controls describe.
    BusScanRequest request() const;
    void set_range(int first, int last);

    // BusScanView
    void show_progress(const BusScanProgress& progress) override;
    void add_module(const FoundModule& module) override;
    void scan_finished(const BusScanResult& result) override;

    // Connects to the module of the row (what a double-click does).
    void connect_to_row(int row);

  public slots:
    void reject() override;

  private:
    void start_or_cancel();
    void update_estimate();

    BusScanController controller_;
    std::vector<std::pair<int, QCheckBox*>> rates_;
    std::vector<FoundModule> found_;
    QSpinBox* first_ = nullptr;
    QSpinBox* last_ = nullptr;
    QRadioButton* quick_ = nullptr;
    QRadioButton* thorough_ = nullptr;
    QLabel* estimate_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* start_ = nullptr;
    QTreeWidget* modules_ = nullptr;
    bool connected_ = false;
    int address_width_ = 8;
};

}  // namespace varda::gui
