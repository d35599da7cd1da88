#include "gui/platform/qt_ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <type_traits>
#include <utility>

#include "core/calibration/generic_calibration.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/platform/headless_runner.h"
#include "core/platform/strings.h"
#include "gui/calibration/calibration_dialogs.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/output_calibration_dialog.h"
#include "gui/connection/apply_dialog.h"
#include "gui/connection/setup_carrier.h"
#include "gui/document/differences_window.h"
#include "gui/document/progress_dialog.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

// Runs `f` on the user-interface thread and returns its result; a caller on another thread waits for it.
template <typename F>
auto on_gui_thread(F f) -> std::invoke_result_t<F&> {
    using Result = std::invoke_result_t<F&>;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        if constexpr (std::is_void_v<Result>)
            return;
        else
            return Result{};
    }
    if (QThread::currentThread() == app->thread()) return f();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            app, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

QMessageBox::Icon box_icon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return QMessageBox::NoIcon;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons box_buttons(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return QMessageBox::Ok;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoSafeNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The button Enter presses: the safe answer of a destructive question.
QMessageBox::StandardButton default_button(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
        case Buttons::OkCancel:
            return QMessageBox::Ok;
        case Buttons::YesNoSafeNo:
            return QMessageBox::No;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return QMessageBox::Yes;
    }
    return QMessageBox::Ok;
}

// Message boxes sit over the window that asked: the active dialog when one is open, else the main window.
QWidget* asking_window(QWidget* main_window) {
    QWidget* active = QApplication::activeModalWidget();
    if (!active) active = QApplication::activeWindow();
    return active ? active : main_window;
}

}  // namespace

QtUi* qt_ui() {
    return dynamic_cast<QtUi*>(&varda::ui());
}

void QtUi::message(std::string_view text, MessageIcon icon, std::string_view caption) {
    if (unattended_) return;
    const QString title = qtext(caption.empty() ? str(kAppTitle) : caption);
    const QString body = qtext(text);
    on_gui_thread([&] {
        QMessageBox box(box_icon(icon), title, body, QMessageBox::Ok, asking_window(main_window()));
        // Texts such as "<unknown>" are not markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
}

Answer QtUi::ask(std::string_view text, Buttons buttons, MessageIcon icon, std::string_view caption) {
    if (unattended_) return unattended_answer(buttons);
    const QString title = qtext(caption.empty() ? str(kAppTitle) : caption);
    const QString body = qtext(text);
    return on_gui_thread([&] {
        QMessageBox box(box_icon(icon), title, body, box_buttons(buttons), asking_window(main_window()));
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(default_button(buttons));
        switch (box.exec()) {
            case QMessageBox::Ok:
                return Answer::Ok;
            case QMessageBox::Yes:
                return Answer::Yes;
            case QMessageBox::No:
                return Answer::No;
            default:
                return Answer::Cancel;
        }
    });
}

bool QtUi::message_offering(std::string_view text, MessageIcon icon, std::string_view caption,
                            std::string_view offer) {
    if (unattended_) return false;
    const QString title = qtext(caption.empty() ? str(kAppTitle) : caption);
    const QString body = qtext(text);
    const QString offered = qtext(offer);
    return on_gui_thread([&] {
        QMessageBox box(box_icon(icon), title, body, QMessageBox::Ok, asking_window(main_window()));
        box.setTextFormat(Qt::PlainText);
        QPushButton* extra = box.addButton(offered, QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return box.clickedButton() == extra;
    });
}

void QtUi::show_differences(DifferencesController& controller) {
    on_gui_thread([&] {
        DifferencesWindow window(controller, main_window());
        window.exec();
    });
}

bool QtUi::run_exchange(const ExchangeRequest& request) {
    return on_gui_thread([&] {
        ProgressDialog dialog(request, main_window());
        return dialog.run();
    });
}

Dialogs::ConnectionChoice QtUi::run_connection_dialog(bool at_startup) {
    return on_gui_thread([&] {
        if (!device_ || !options_ || !brand_) return ConnectionChoice::Closed;
        // Only at start-up may the user go on without a module.
        ConnectionSetupDialog dialog(*device_, *options_, *brand_, at_startup, main_window());
        return dialog.exec() == QDialog::Accepted ? ConnectionChoice::Connected : ConnectionChoice::Exit;
    });
}

bool QtUi::run_apply_dialog(ApplyController& controller) {
    return on_gui_thread([&] {
        ApplyDialog dialog(controller, main_window());
        return dialog.exec() == QDialog::Accepted;
    });
}

bool QtUi::run_generic_calibration(CBaseDevice& model) {
    return on_gui_thread([&] {
        // The model talks through the device that loaded it.
        auto* device = dynamic_cast<Device*>(model.link());
        if (!device) return false;
        calibration::GenericCalibration calibration(model, *device);
        run_calibration_dialogs(calibration, main_window());
        return true;
    });
}

bool QtUi::run_output_calibration(calibration::OutputCalibration& controller) {
    return on_gui_thread([&] {
        OutputCalibrationDialog dialog(controller, main_window());
        dialog.exec();
        return true;
    });
}

bool QtUi::run_calibration_wizard(CalibrationWizard& wizard) {
    return on_gui_thread([&] {
        WizardSheet sheet(wizard, main_window());
        return sheet.run();
    });
}

void QtUi::post(std::function<void()> task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !task) return;
    QMetaObject::invokeMethod(
        app, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

bool QtUi::has_main_window() const {
    return has_main_window_.load();
}

void QtUi::set_main_window(QWidget* window) {
    main_window_ = window;
    has_main_window_ = window != nullptr;
}

QWidget* QtUi::main_window() const {
    return main_window_.data();
}

void QtUi::set_connection_target(Device* device, Options* options, const CBrand* brand) {
    device_ = device;
    options_ = options;
    brand_ = brand;
}

}  // namespace varda::gui
