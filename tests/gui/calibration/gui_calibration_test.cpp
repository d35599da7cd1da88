// The generic calibration's two windows against a simulated VK00: choosing the method, then a complete
// run pressed through with "Continue". Also renders both windows to <build>/screenshots.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "core/app/command_line/headless_ui.h"
#include "core/app/files/paths.h"
#include "core/link/device_io.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "gui/calibration/calibration_dialogs.h"
#include "sim/calibration_task.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// A VK00 module with its calibration task and the request engine on it; messages go to a headless user.
struct Rig {
    Rig()
        : module(std::make_shared<sim::SimulatedModule>()),
          io(context, std::make_unique<sim::InProcessBackend>(module), options) {
        set_ui(&ui);
        const DescriptionText text = serve_archived_model(*module, 0);
        ok = text.ok;
        task = sim::serve_calibration(*module);
        description.LoadDescriptionText(text.text);
        io.sio().settings.port_name = "sim";
        io.sio().settings.baud_rate = 115200;
        ok = ok && io.sio().open() == OpenResult::Opened;
    }
    ~Rig() { set_ui(nullptr); }

    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::shared_ptr<sim::CalibrationTask> task;
    DeviceIO io;
    DescriptionContext description;
    bool ok = false;
};

}  // namespace

class CalibrationDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(screenshot_folder())); }

    void methodWindowFollowsTheChoice() {
        Rig rig;
        QVERIFY(rig.ok);
        calibration::MethodChoice choice(rig.io, &rig.description);
        gui::CalibrationMethodDialog dialog(choice);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Calibration method"));
        QCOMPARE(dialog.method_box()->count(), 5);
        QCOMPARE(dialog.method_box()->itemText(0), QStringLiteral("Not selected"));
        QCOMPARE(dialog.method_box()->itemText(4), QStringLiteral("Calibration type 4"));
        QVERIFY(!dialog.sensor_box()->isVisible());
        QVERIFY(!dialog.code_box()->isEnabled());

        dialog.method_box()->setCurrentIndex(4);
        QVERIFY(dialog.channel_box()->isVisible());
        QCOMPARE(dialog.channel_box()->count(), 8);
        QCOMPARE(dialog.channel_box()->currentText(), QStringLiteral("Input 0"));
        QCOMPARE(dialog.sensor_box()->count(), 4);

        dialog.method_box()->setCurrentIndex(1);
        QCOMPARE(dialog.description_label()->text(), QStringLiteral("Characteristic curve adjusting"));
        QVERIFY(dialog.sensor_box()->isVisible());
        QVERIFY(!dialog.channel_box()->isVisible());
        QCOMPARE(dialog.sensor_box()->count(), 36);
        QCOMPARE(dialog.sensor_box()->currentIndex(), -1);
        QVERIFY(dialog.code_box()->isEnabled());
        dialog.sensor_box()->setCurrentIndex(1);
        dialog.code_box()->setValue(10);
        save_screenshot(dialog.grab(), "calibration_method");

        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(choice.setup().input_type, 5);
        QCOMPARE(rig.module->requests_seen(hash_name("in-t")), 1);
    }

    void runWindowStepsThroughACalibration() {
        Rig rig;
        QVERIFY(rig.ok);
        calibration::CalibrationRun run(rig.io, {1, 5, 0, calibration::opening_text(1, 5)});
        run.wait = [](int) {};
        gui::CalibrationRunDialog dialog(run);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Calibration"));
        QCOMPARE(dialog.status_field()->text(), QStringLiteral("Добро пожаловать в утилиту юстировки!"));
        QVERIFY(dialog.message_field()->toPlainText().contains(QStringLiteral("40,30 мВ")));

        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.status_field()->text(), QStringLiteral("Измерения завершены..."));
        QVERIFY(dialog.continue_button()->isVisible());
        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.status_field()->text(), QStringLiteral("Проверте коэффициент(ы)..."));
        QVERIFY(dialog.message_field()->toPlainText().contains(QStringLiteral("1.002500")));
        save_screenshot(dialog.grab(), "calibration_run");

        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Завершение юстировки"));
        QCOMPARE(dialog.status_field()->text(), QStringLiteral("Завершение юстировки"));
        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(rig.task->stored(), 1);
        QVERIFY(!rig.task->running());
    }

    void failedMeasurementsLeaveOnlyCancel() {
        Rig rig;
        QVERIFY(rig.ok);
        auto faults = rig.task->faults();
        faults.status["CLB.S"] = 7;
        rig.task->set_faults(faults);
        calibration::CalibrationRun run(rig.io, {3, 0, 0, calibration::opening_text(3, 0)});
        run.wait = [](int) {};
        gui::CalibrationRunDialog dialog(run);
        dialog.show();
        QTest::mouseClick(dialog.continue_button(), Qt::LeftButton);
        QCOMPARE(dialog.status_field()->text(), QStringLiteral("Ошибка"));
        QVERIFY(!dialog.continue_button()->isEnabled());
        QVERIFY(
            dialog.message_field()->toPlainText().contains(QStringLiteral("Обрыв датчика при юстировке.")));
        dialog.reject();
        QCOMPARE(run.end(), std::optional(calibration::RunEnd::Cancelled));
        QVERIFY(!rig.task->running());
    }

  private:
};

QTEST_MAIN(CalibrationDialogsTest)
#include "gui_calibration_test.moc"
