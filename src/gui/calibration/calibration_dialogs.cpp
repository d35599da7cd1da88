#include "gui/calibration/calibration_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include "core/calibration/generic_calibration.h"
#include "core/platform/strings.h"
#include "gui/platform/qt_text.h"
#include "gui/tree/table_ctrl.h"

namespace varda::gui {

namespace {

// The lists open about 100 pixels below their edit part.
constexpr int kVisibleListItems = 6;
constexpr int kMaxAccessCode = 1000;

void fill(QComboBox* box, const std::vector<std::string>& items, int current) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (const auto& item : items)
        box->addItem(qtext(item));
    box->setCurrentIndex(current);
}

// Pauses between exchanges that keep the window painted but take no input.
void wait_painting(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(
            static_cast<unsigned long>(std::min<qint64>(20, std::max<qint64>(deadline.remainingTime(), 0))));
    }
}

class QtCalibrationViews : public calibration::CalibrationViews {
  public:
    explicit QtCalibrationViews(QWidget* parent) : parent_(parent) {}
    bool choose_method(calibration::MethodChoice& choice) override {
        CalibrationMethodDialog dialog(choice, parent_);
        return dialog.exec() == QDialog::Accepted;
    }
    void run(calibration::CalibrationRun& run) override {
        CalibrationRunDialog dialog(run, parent_);
        dialog.exec();
    }

  private:
    QWidget* parent_;
};

}  // namespace

// ---- CalibrationMethodDialog
// ---------------------------------------------------------------------------------------

CalibrationMethodDialog::CalibrationMethodDialog(calibration::MethodChoice& choice, QWidget* parent)
    : QDialog(parent), choice_(choice) {
    setWindowTitle(tr("Calibration method"));

    methods_ = new NumberedTextCombo(this);
    methods_->Fill(calibration::type_name_id(1), calibration::kTypeCount);
    methods_->insertItem(0, tr("Not selected"));
    methods_->setCurrentIndex(0);

    description_ = new QLabel(this);
    description_->setWordWrap(true);
    description_->setFrameShape(QFrame::StyledPanel);
    description_->setMargin(6);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the longest description (three lines) without resizing.
    description_->setMinimumHeight(QFontMetrics(font()).lineSpacing() * 3 + 14);

    sensors_ = new QComboBox(this);
    channels_ = new QComboBox(this);
    for (QComboBox* box : {static_cast<QComboBox*>(methods_), sensors_, channels_}) {
        box->setMaxVisibleItems(kVisibleListItems);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    code_ = new QSpinBox(this);
    code_->setRange(0, kMaxAccessCode);
    code_->setValue(0);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(8);
    auto* method_label = new QLabel(tr("Select method"), this);
    sensor_label_ = new QLabel(tr("Select input"), this);
    channel_label_ = new QLabel(tr("Select channel"), this);
    code_label_ = new QLabel(tr("Enter code"), this);
    method_label->setBuddy(methods_);
    sensor_label_->setBuddy(sensors_);
    channel_label_->setBuddy(channels_);
    code_label_->setBuddy(code_);
    grid->addWidget(method_label, 0, 0);
    grid->addWidget(methods_, 0, 1);
    grid->addWidget(description_, 1, 0, 1, 2);
    grid->addWidget(sensor_label_, 2, 0);
    grid->addWidget(sensors_, 2, 1);
    grid->addWidget(channel_label_, 3, 0);
    grid->addWidget(channels_, 3, 1);
    grid->addWidget(code_label_, 4, 0);
    grid->addWidget(code_, 4, 1, Qt::AlignLeft);

    auto* buttons = new QDialogButtonBox(this);
    continue_ = buttons->addButton(tr("Continue"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    continue_->setDefault(true);
    connect(continue_, &QPushButton::clicked, this, &CalibrationMethodDialog::press_continue);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    connect(methods_, &QComboBox::currentIndexChanged, this, &CalibrationMethodDialog::method_changed);
    connect(sensors_, &QComboBox::currentIndexChanged, this, [this](int i) { choice_.set_sensor(i); });
    connect(channels_, &QComboBox::currentIndexChanged, this, [this](int i) { choice_.set_channel(i); });

    // The widest list decides the width, whichever method is shown first.
    fill(sensors_, {}, -1);
    for (const auto& s : calibration::sensors_of(1))
        sensors_->addItem(qtext(str(s.name_id)));
    setMinimumWidth(qMax(420, sensors_->sizeHint().width() + method_label->sizeHint().width() + 60));
    sensors_->clear();
    refresh();
}

QComboBox* CalibrationMethodDialog::method_box() const {
    return methods_;
}

void CalibrationMethodDialog::method_changed(int index) {
    choice_.set_method(index);
    refresh();
}

void CalibrationMethodDialog::refresh() {
    description_->setText(qtext(choice_.description()));
    if (choice_.sensors_visible()) fill(sensors_, choice_.sensor_items(), choice_.sensor());
    if (choice_.channels_visible()) fill(channels_, choice_.channel_items(), choice_.channel());
    sensor_label_->setVisible(choice_.sensors_visible());
    sensors_->setVisible(choice_.sensors_visible());
    channel_label_->setVisible(choice_.channels_visible());
    channels_->setVisible(choice_.channels_visible());
    code_label_->setEnabled(choice_.code_enabled());
    code_->setEnabled(choice_.code_enabled());
    // The window takes the height of the rows shown.
    layout()->activate();
    resize(qMax(minimumWidth(), sizeHint().width()), sizeHint().height());
}

void CalibrationMethodDialog::press_continue() {
    switch (choice_.press_continue(code_->cleanText().toStdString())) {
        case calibration::MethodChoice::Outcome::Accepted:
            accept();
            break;
        case calibration::MethodChoice::Outcome::Cancelled:
            QDialog::reject();
            break;
        case calibration::MethodChoice::Outcome::Stay:
            break;
    }
}

// ---- CalibrationRunDialog
// ---------------------------------------------------------------------------------------

CalibrationRunDialog::CalibrationRunDialog(calibration::CalibrationRun& run, QWidget* parent)
    : QDialog(parent), run_(run) {
    setWindowTitle(tr("Calibration"));

    status_ = new QLineEdit(this);
    status_->setReadOnly(true);
    message_ = new QPlainTextEdit(this);
    message_->setReadOnly(true);
    message_->setMinimumSize(480, 200);
    message_->setWordWrapMode(QTextOption::WordWrap);

    auto* buttons = new QDialogButtonBox(this);
    continue_ = buttons->addButton(tr("Continue"), QDialogButtonBox::ActionRole);
    auto* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    continue_->setDefault(true);
    connect(continue_, &QPushButton::clicked, this, &CalibrationRunDialog::press_continue);
    connect(cancel, &QPushButton::clicked, this, &CalibrationRunDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(message_, 1);
    layout->addWidget(buttons);
    resize(560, 340);

    run_.on_change = [this] {
        refresh();
        // Painted now: the step goes on without returning to the event loop.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    if (!run_.wait) run_.wait = wait_painting;
    refresh();
}

CalibrationRunDialog::~CalibrationRunDialog() {
    run_.on_change = nullptr;
    if (wait_cursor_) QApplication::restoreOverrideCursor();
}

void CalibrationRunDialog::press_continue() {
    run_.press_continue();
    refresh();
    if (run_.closed()) done(run_.end() == calibration::RunEnd::Accepted ? Accepted : Rejected);
}

void CalibrationRunDialog::reject() {
    run_.cancel();
    QDialog::reject();
}

void CalibrationRunDialog::refresh() {
    if (!run_.caption().empty()) setWindowTitle(qtext(run_.caption()));
    status_->setText(qtext(run_.status_line()));
    const QString message = qtext(run_.message());
    if (message_->toPlainText() != message) message_->setPlainText(message);
    continue_->setVisible(run_.continue_visible());
    continue_->setEnabled(run_.continue_enabled());
    if (run_.busy() != wait_cursor_) {
        wait_cursor_ = run_.busy();
        if (wait_cursor_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
}

void run_calibration_dialogs(calibration::GenericCalibration& calibration, QWidget* parent) {
    QtCalibrationViews views(parent);
    calibration.run(views);
}

}  // namespace varda::gui
