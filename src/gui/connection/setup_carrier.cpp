#include "gui/connection/setup_carrier.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <mutex>
#include <thread>

#include "core/app/connection/connection_status.h"
#include "core/app/files/paths.h"
#include "core/link/device.h"
#include "core/link/sio.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/model/parameter.h"
#include "gui/connection/select_device_dialog.h"
#include "gui/platform/qt_text.h"
#include "gui/platform/qt_ui.h"
#include "gui/service/simulator_panel.h"
#include "gui/tree/table_ctrl.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"

namespace varda::gui {
namespace {

constexpr int kSimulatedModel = 3;  // VK03: a bit of everything, inputs and outputs
constexpr int kLiveTickMs = 1000;
constexpr int kPictureHeight = 84;
const QColor kAlarmColour(200, 0, 0);
const QColor kStatusColour(0, 0, 200);

// The picture above the table: a computer, the RS-485 line and a module on its rail, across the width.
class ConnectionPicture : public QFrame {
  public:
    explicit ConnectionPicture(QWidget* parent) : QFrame(parent) {
        setFrameShape(QFrame::StyledPanel);
        setFixedHeight(kPictureHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter p(this);
            draw(p, contentsRect());
        }
        QFrame::paintEvent(event);
    }

  private:
    static void draw(QPainter& p, const QRect& area);
};

void ConnectionPicture::draw(QPainter& p, const QRect& area) {
    p.translate(area.topLeft());
    const int width = area.width();
    const int height = area.height();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(236, 243, 250));
    sky.setColorAt(1, QColor(205, 221, 238));
    p.fillRect(QRect(0, 0, width, height), sky);

    const QColor outline(60, 72, 92);
    const int mid = height / 2;
    // The computer.
    const QRectF screen(18, mid - 26, 62, 42);
    p.setPen(QPen(outline, 1.5));
    p.setBrush(QColor(250, 252, 255));
    p.drawRoundedRect(screen, 4, 4);
    p.setBrush(QColor(70, 120, 180));
    p.drawRect(screen.adjusted(5, 5, -5, -5));
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(28, mid - 14 + i * 8), QPointF(56 - i * 6, mid - 14 + i * 8));
    p.setPen(QPen(outline, 1.5));
    p.setBrush(QColor(215, 222, 232));
    p.drawRect(QRectF(43, screen.bottom(), 12, 6));
    p.drawRoundedRect(QRectF(32, screen.bottom() + 6, 34, 5), 2, 2);

    // The adapter and the line.
    const QRectF adapter(122, mid - 9, 40, 18);
    const QRectF module(width - 104, mid - 30, 56, 60);
    QPen cable(QColor(40, 40, 40), 2.5);
    cable.setCapStyle(Qt::RoundCap);
    p.setPen(cable);
    p.setBrush(Qt::NoBrush);
    QPainterPath usb;
    usb.moveTo(screen.right(), mid);
    usb.cubicTo(screen.right() + 22, mid, adapter.left() - 22, mid, adapter.left(), mid);
    p.drawPath(usb);
    QPen pair(QColor(30, 90, 170), 2.2);
    pair.setCapStyle(Qt::RoundCap);
    for (const int dy : {-3, 3}) {
        p.setPen(pair);
        QPainterPath line;
        line.moveTo(adapter.right(), mid + dy);
        line.lineTo(module.left(), mid + dy);
        p.drawPath(line);
        pair.setColor(QColor(200, 120, 30));
    }
    p.setPen(QPen(outline, 1.5));
    p.setBrush(QColor(245, 245, 240));
    p.drawRoundedRect(adapter, 3, 3);
    p.setBrush(QColor(60, 190, 80));
    p.drawEllipse(QPointF(adapter.right() - 8, mid), 2.5, 2.5);
    QFont label = p.font();
    label.setPointSizeF(8);
    label.setBold(true);
    p.setFont(label);
    p.setPen(QColor(40, 60, 100));
    p.drawText(QRectF(adapter.right(), mid - 22, module.left() - adapter.right(), 14), Qt::AlignCenter,
               QStringLiteral("RS-485"));

    // The module on its rail.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 158, 168));
    p.drawRect(QRectF(module.left() - 16, mid - 6, module.width() + 32, 12));
    p.setPen(QPen(outline, 1.5));
    p.setBrush(QColor(248, 248, 246));
    p.drawRoundedRect(module, 4, 4);
    p.setBrush(QColor(70, 120, 180));
    p.drawRect(QRectF(module.left(), module.top() + 18, module.width(), 5));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(QColor(120, 126, 134));
        p.drawEllipse(QPointF(module.left() + 10 + i * 12, module.top() + 8), 3.5, 3.5);
        p.drawEllipse(QPointF(module.left() + 10 + i * 12, module.bottom() - 8), 3.5, 3.5);
        p.setBrush(i % 2 ? QColor(220, 60, 50) : QColor(60, 190, 80));
        p.drawEllipse(QPointF(module.left() + 10 + i * 12, module.top() + 31), 2.5, 2.5);
    }
    p.setPen(QColor(40, 60, 100));
    p.drawText(QRectF(module.left(), module.top() + 35, module.width(), 12), Qt::AlignCenter,
               QStringLiteral("VK"));
}

// The simulated module keeps living after the dialog: counters count and inputs change.
void keep_ticking(std::shared_ptr<sim::SimulatedModule> module) {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [module = std::move(module), step = 0]() mutable {
        sim::tick_live_values(*module, ++step);
    });
    timer->start(kLiveTickMs);
}

// Beside the main window, where it stays once this dialog has closed.
void show_simulator_panel(std::shared_ptr<sim::SimulatedModule> module) {
    QtUi* ui = qt_ui();
    QWidget* window = ui ? ui->main_window() : nullptr;
    auto* panel = new SimulatorPanel(std::move(module), window);
    panel->adjustSize();
    if (window)
        panel->move(window->geometry().bottomRight() - QPoint(panel->width() + 24, panel->height() + 48));
    panel->show();
}

int leading_number(const std::string& text, int fallback) {
    try {
        return std::stoi(text);
    } catch (...) {
        return fallback;
    }
}

}  // namespace

template <typename F>
void ConnectionSetupDialog::forward(F action) {
    if (!opened_ || controller_.thread_ended()) return;
    action();
}

ConnectionSetupDialog::ConnectionSetupDialog(Device& device, Options& options, const CBrand& brand,
                                             bool offline_allowed, QWidget* parent)
    : QDialog(parent), device_(device), brand_(brand), controller_(device, options, offline_allowed) {
    setWindowTitle(tr("Connection to device"));

    auto* picture = new ConnectionPicture(this);

    table_ = new ConnectionSettingsTable(this);
    table_->Fill(device_.program_network());

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    // Two lines, so that the dialog keeps its size whatever it says.
    status_->setFixedHeight(status_->fontMetrics().lineSpacing() * 2 + 4);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    show_status({}, false);

    exit_ = new QPushButton(tr("&Exit"), this);
    offline_ = new QPushButton(tr("Work offline"), this);
    scan_ = new QPushButton(tr("Scan network"), this);
    connect_ = new QPushButton(tr("Connect"), this);
    factory_ = new QPushButton(tr("Use factory settings"), this);
    simulate_ = new QPushButton(tr("Try with a simulated module"), this);
    simulate_->hide();
    offline_->setEnabled(controller_.offline_allowed());
    connect_->setDefault(true);

    connect(exit_, &QPushButton::clicked, this, [this] { forward([this] { controller_.exit(); }); });
    connect(offline_, &QPushButton::clicked, this,
            [this] { forward([this] { controller_.work_offline(); }); });
    connect(scan_, &QPushButton::clicked, this, [this] { forward([this] { controller_.scan(); }); });
    connect(connect_, &QPushButton::clicked, this, [this] { forward([this] { controller_.connect(); }); });
    connect(factory_, &QPushButton::clicked, this,
            [this] { forward([this] { controller_.use_factory_settings(); }); });
    connect(simulate_, &QPushButton::clicked, this, &ConnectionSetupDialog::use_simulated_module);

    auto* status_row = new QHBoxLayout;
    status_row->addWidget(status_, 1);
    status_row->addWidget(simulate_, 0, Qt::AlignVCenter);

    auto* actions = new QHBoxLayout;
    actions->addWidget(connect_);
    actions->addWidget(scan_);
    actions->addWidget(factory_);
    actions->addStretch(1);
    actions->addWidget(offline_);
    actions->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(table_);
    layout->addLayout(status_row);
    layout->addLayout(actions);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    table_->setFixedWidth(std::max(440, layout->sizeHint().width() - layout->contentsMargins().left() -
                                            layout->contentsMargins().right()));

    // Tab goes as the eye reads: the table, the offer beside the status, then the buttons left to right.
    setTabOrder(table_, simulate_);
    setTabOrder(simulate_, connect_);
    setTabOrder(connect_, scan_);
    setTabOrder(scan_, factory_);
    setTabOrder(factory_, offline_);
    setTabOrder(offline_, exit_);

    offer_simulated_module(list_serial_ports().empty());
}

ConnectionSetupDialog::~ConnectionSetupDialog() {
    if (!opened_ || finished_) return;
    // Going without the controller's last word (the program quits): stop its thread and let what it posted
    // run while this view still exists.
    abandoned_ = true;
    if (!controller_.thread_ended()) controller_.exit();
    while (!controller_.thread_ended())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
}

void ConnectionSetupDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (opened_) return;
    opened_ = true;
    table_->setFocus();
    if (table_->rowCount() > 0) table_->selectRow(0);
    controller_.open(*this);
    // Without any serial device the offer says more than the port's own reason.
    if (!simulate_->isHidden()) offer_simulated_module(true);
}

void ConnectionSetupDialog::reject() {
    if (finished_ || abandoned_ || !opened_) {
        QDialog::reject();
        return;
    }
    forward([this] { controller_.exit(); });
}

void ConnectionSetupDialog::offer_simulated_module(bool offer) {
    simulate_->setVisible(offer);
    if (offer)
        show_status(tr("No serial port was found. Connect an RS-485 adapter, or try a simulated module.")
                        .toStdString(),
                    false);
}

void ConnectionSetupDialog::use_simulated_module() {
    if (!opened_ || controller_.thread_ended() || !table_->isEnabled()) return;
    auto module = std::make_shared<sim::SimulatedModule>();
    DescriptionArchive archive(description_archive_path(), false);
    const DescriptionText text = ReadModelDescription(archive, kSimulatedModel);
    std::string error;
    if (!text.ok)
        error = archive.failure_message();  // it names the archive
    else if (!sim::serve_model(*module, kSimulatedModel, text.text, error) && error.empty())
        error = "The simulated module could not be made";
    if (!error.empty()) {
        show_status(error, true);
        return;
    }
    // The module answers at whatever address the table names.
    auto& network = device_.program_network();
    const int address = leading_number(network.GetValueText("Addr"), 16);
    module->set_address(address);
    module->set_address_width(leading_number(network.GetValueText("A.Len"), 8));
    module->set_value("Addr", -1, std::to_string(address));
    {
        // Replies take the time they would on a real line, so the try-out feels like one.
        auto line = std::make_unique<sim::InProcessBackend>(module);
        line->set_line_timing(true);
        std::lock_guard lock(device_.context().line_lock);
        device_.sio().replace_backend(std::move(line));
    }
    keep_ticking(module);
    show_simulator_panel(module);
    // Not a device path, so it is never kept as the port of the next start.
    if (Parameter* port = network.FindOwnParameter("Port")) {
        port->SetValueText(kSimulatedPortName);
        table_->ShowValue(*port);
    }
    simulate_->hide();
    controller_.connect();
}

// ---- ConnectionView -----------------------------------------------------------------------------

void ConnectionSetupDialog::show_status(const std::string& text, bool alarm) {
    alarm_ = alarm;
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, alarm ? kAlarmColour : kStatusColour);
    status_->setPalette(palette);
    status_->setText(qtext(text));
    if (alarm) QApplication::beep();
}

void ConnectionSetupDialog::set_table_enabled(bool enabled) {
    table_->setEnabled(enabled);
    simulate_->setEnabled(enabled);
}

void ConnectionSetupDialog::show_value(const Parameter& parameter) {
    table_->ShowValue(parameter);
}

std::optional<int> ConnectionSetupDialog::select_device() {
    if (abandoned_) return std::nullopt;  // no new window while this one goes
    SelectDeviceDialog dialog(brand_, this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosen_model();
}

void ConnectionSetupDialog::nothing_answered() {
    // Whatever the ports are, a module to try the program with is one click away.
    simulate_->show();
}

void ConnectionSetupDialog::close(bool ok) {
    if (abandoned_) return;
    finished_ = true;
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace varda::gui
