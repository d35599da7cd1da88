// The analog-output "Calibration" dialog on screen, opened by the model's calibrate operation against the
// simulated module: choosing a coefficient, stepping and typing its code, finishing, and declining a
// non-editable coefficient. Also renders the dialog to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/devices/base_device.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/protocol/frame_codec.h"
#include "gui/calibration/output_calibration_dialog.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// A VK01 document over a simulated VK01 whose fourth output is discrete.
struct Rig : ModelDocumentRig {
    Rig() {
        serve(1);
        module->set_value("out.t", 3, "Дискретный");
        open();
    }
    int code(int coefficient) const { return std::stoi(*module->value("CLB.K", coefficient)); }
    int sent(const char* name) const { return module->requests_seen(hash_name(name)); }
};

}  // namespace

class OutputCalibrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void chooseStepTypeAndFinish() {
        Rig rig;
        rig.module->set_value("CLB.K", 3, "3902");
        QStringList entries;
        bool enabled_before = true;
        bool enabled_after = false;
        int shown = -1;
        int after_step = -1;
        QString title;
        Script script({[&] {
            auto* dialog = modal<gui::OutputCalibrationDialog>();
            if (!dialog) return false;
            title = dialog->windowTitle();
            for (int i = 0; i < dialog->coefficients()->count(); ++i)
                entries << dialog->coefficients()->item(i)->text();
            enabled_before = dialog->value_field()->isEnabled() || dialog->step_button(0)->isEnabled();
            save_screenshot(dialog->grab(), "output_calibration_start");
            dialog->coefficients()->setCurrentRow(3);  // K20 of output 2
            enabled_after = dialog->value_field()->isEnabled() && dialog->step_button(5)->isEnabled();
            shown = dialog->value_field()->value();
            dialog->step_button(5)->click();  // +10
            dialog->step_button(2)->click();  // -5
            after_step = dialog->value_field()->value();
            save_screenshot(dialog->grab(), "output_calibration");
            dialog->value_field()->setValue(3911);
            emit dialog->value_field()->editingFinished();
            click_later(dialog->finish_button());
            return true;
        }});
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(1));
        QCOMPARE(title, QStringLiteral("Calibration"));
        QCOMPARE(entries.size(), 14);  // eight outputs, the discrete one left out
        QCOMPARE(entries.front(), QStringLiteral("K4  выхода №1"));
        QVERIFY(!entries.contains(QStringLiteral("K4  выхода №4")));
        QVERIFY(!enabled_before);
        QVERIFY(enabled_after);
        QCOMPARE(shown, 3902);
        QCOMPARE(after_step, 3907);
        QCOMPARE(rig.code(3), 3911);
        QCOMPARE(rig.sent("CLB.I"), 1);
        QCOMPARE(rig.sent("CLB.A"), 1);
    }

    void decliningANonEditableCoefficientCloses() {
        Rig rig;
        sim::Entry k = *rig.module->entry("CLB.K", 0);
        k.access = 0;
        rig.module->add(k);
        QString question;
        Script script({
            [&] {
                auto* dialog = modal<gui::OutputCalibrationDialog>();
                if (!dialog) return false;
                QMetaObject::invokeMethod(
                    dialog, [dialog] { dialog->coefficients()->setCurrentRow(0); }, Qt::QueuedConnection);
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                question = box->text();
                click_later(box->button(QMessageBox::No));
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(2));
        QCOMPARE(question, QStringLiteral("Предупреждение:\nУ параметра CLB.K:0 установлен атрибут "
                                          "'Нередактируемый'.\n\nПродолжить юстировку?"));
        QVERIFY(!modal<gui::OutputCalibrationDialog>());
        QCOMPARE(rig.sent("CLB.I"), 0);
        QCOMPARE(rig.sent("CLB.A"), 1);
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(OutputCalibrationTest)
#include "gui_output_calibration_test.moc"
