#include "gui/connection/bus_scan_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/link/device.h"
#include "core/model/device_table.h"
#include "core/protocol/my_converter.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

BusScanDialog::BusScanDialog(Device& device, QWidget* parent) : QDialog(parent), controller_(device) {
    setWindowTitle(tr("Find modules on the bus"));
    const BusScanRequest defaults = controller_.default_request();
    address_width_ = defaults.address_width;

    auto* rates_box = new QGroupBox(tr("Baud rates"), this);
    auto* rates_grid = new QGridLayout(rates_box);
    int k = 0;
    for (const int rate : module_baud_rates()) {
        auto* box = new QCheckBox(QString::number(rate), rates_box);
        box->setChecked(std::find(defaults.baud_rates.begin(), defaults.baud_rates.end(), rate) !=
                        defaults.baud_rates.end());
        connect(box, &QCheckBox::toggled, this, &BusScanDialog::update_estimate);
        rates_grid->addWidget(box, k / 5, k % 5);
        rates_.emplace_back(rate, box);
        ++k;
    }

    auto* range_row = new QHBoxLayout;
    const int largest = address_width_ == 11 ? 2047 : 254;
    first_ = new QSpinBox(this);
    last_ = new QSpinBox(this);
    for (QSpinBox* spin : {first_, last_}) {
        spin->setRange(0, largest);
        connect(spin, &QSpinBox::valueChanged, this, &BusScanDialog::update_estimate);
    }
    first_->setValue(defaults.first_address);
    last_->setValue(defaults.last_address);
    range_row->addWidget(new QLabel(tr("Addresses from"), this));
    range_row->addWidget(first_);
    range_row->addWidget(new QLabel(tr("to"), this));
    range_row->addWidget(last_);
    range_row->addWidget(new QLabel(tr("(%1-bit addresses)").arg(address_width_), this));
    range_row->addStretch(1);

    auto* pace_box = new QGroupBox(tr("Wait at each address"), this);
    auto* pace_column = new QVBoxLayout(pace_box);
    quick_ = new QRadioButton(tr("Quick: may miss a module whose reply starts late"), pace_box);
    quick_->setToolTip(
        tr("Waits for the longest reply's time on the line. A module that answers later (a "
           "response delay set in it, a USB adapter, a network gateway) is found only when its "
           "late reply comes through whole."));
    thorough_ = new QRadioButton(tr("Thorough: the full reply time-out at every address"), pace_box);
    thorough_->setToolTip(tr("Finds every module that answers within the time-out of ordinary requests."));
    quick_->setChecked(defaults.pace == ScanPace::Quick);
    thorough_->setChecked(defaults.pace == ScanPace::Thorough);
    for (QRadioButton* button : {quick_, thorough_}) {
        pace_column->addWidget(button);
        connect(button, &QRadioButton::toggled, this, &BusScanDialog::update_estimate);
    }

    estimate_ = new QLabel(this);
    status_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);

    modules_ = new QTreeWidget(this);
    modules_->setRootIsDecorated(false);
    modules_->setHeaderLabels({tr("Address"), tr("Baud rate"), tr("Model"), tr("Version"), tr("Note")});
    modules_->header()->setStretchLastSection(true);
    modules_->setMinimumHeight(160);
    modules_->setToolTip(tr("Double-click a module to connect to it"));
    connect(modules_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { connect_to_row(modules_->indexOfTopLevelItem(item)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    start_ = buttons->addButton(tr("Start"), QDialogButtonBox::ActionRole);
    start_->setDefault(true);
    connect(start_, &QPushButton::clicked, this, &BusScanDialog::start_or_cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &BusScanDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rates_box);
    layout->addLayout(range_row);
    layout->addWidget(pace_box);
    layout->addWidget(estimate_);
    layout->addWidget(bar_);
    layout->addWidget(status_);
    layout->addWidget(modules_, 1);
    layout->addWidget(buttons);
    resize(560, 460);
    update_estimate();
}

BusScanDialog::~BusScanDialog() = default;

BusScanRequest BusScanDialog::request() const {
    BusScanRequest request;
    request.baud_rates.clear();
    for (const auto& [rate, box] : rates_)
        if (box->isChecked()) request.baud_rates.push_back(rate);
    request.first_address = first_->value();
    request.last_address = last_->value();
    request.address_width = address_width_;
    request.pace = thorough_->isChecked() ? ScanPace::Thorough : ScanPace::Quick;
    return request;
}

void BusScanDialog::set_range(int first, int last) {
    first_->setValue(first);
    last_->setValue(last);
}

void BusScanDialog::update_estimate() {
    if (!start_) return;  // still being built
    const BusScanRequest wanted = request();
    const bool usable = wanted.steps() > 0;
    if (!controller_.running()) start_->setEnabled(usable);
    estimate_->setText(usable
                           ? tr("Scanning %1 addresses at %2 baud rate(s) takes %3 when few modules answer.")
                                 .arg(wanted.addresses())
                                 .arg(wanted.baud_rates.size())
                                 .arg(qtext(controller_.estimate_text(wanted)))
                           : tr("Choose at least one baud rate and a range of addresses."));
}

void BusScanDialog::start_or_cancel() {
    if (controller_.running()) {
        controller_.cancel();
        start_->setEnabled(false);
        status_->setText(tr("Stopping\u2026"));
        return;
    }
    const BusScanRequest wanted = request();
    if (wanted.steps() == 0) return;
    modules_->clear();
    found_.clear();
    bar_->setRange(0, wanted.steps());
    bar_->setValue(0);
    status_->setText(tr("Scanning\u2026"));
    start_->setText(tr("Cancel"));
    controller_.start(wanted, *this);
}

void BusScanDialog::show_progress(const BusScanProgress& progress) {
    bar_->setValue(progress.done);
    status_->setText(tr("Address %1 at %2 baud, %3 left")
                         .arg(progress.address)
                         .arg(progress.baud_rate)
                         .arg(qtext(duration_text(progress.seconds_left))));
}

void BusScanDialog::add_module(const FoundModule& module) {
    found_.push_back(module);
    QString address = QString::number(module.address);
    if (module.further_addresses > 0)
        address += QStringLiteral("-%1").arg(module.address + module.further_addresses);
    auto* item =
        new QTreeWidgetItem({address, QString::number(module.baud_rate),
                             module.model ? qtext(display_name(*module.model)) : qtext(module.identification),
                             qtext(module.version), qtext(module.problem)});
    modules_->addTopLevelItem(item);
}

void BusScanDialog::scan_finished(const BusScanResult& result) {
    // The final list knows how many addresses each module answers at.
    modules_->clear();
    found_.clear();
    for (const FoundModule& module : result.modules)
        add_module(module);
    start_->setText(tr("Start"));
    start_->setEnabled(true);
    if (!result.error.empty())
        status_->setText(qtext(result.error));
    else if (found_.empty())
        status_->setText(result.cancelled
                             ? tr("Stopped; no module answered so far.")
                             : tr("No module answered. Check the wiring, the adapter and the baud rates."));
    else
        status_->setText(tr("%1 module(s) found%2. Double-click one to connect to it.")
                             .arg(found_.size())
                             .arg(result.cancelled ? tr(" before the scan was stopped") : QString()));
}

void BusScanDialog::connect_to_row(int row) {
    if (row < 0 || row >= static_cast<int>(found_.size())) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = controller_.connect_to(found_[static_cast<std::size_t>(row)]);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        status_->setText(tr("The module at address %1 did not identify itself as a known model.")
                             .arg(found_[static_cast<std::size_t>(row)].address));
        return;
    }
    connected_ = true;
    accept();
}

void BusScanDialog::reject() {
    // The scan's thread holds the line: it stops before the window goes.
    controller_.cancel();
    QDialog::reject();
}

}  // namespace varda::gui
