// The "New network settings" dialog on screen, shown by the document's APLY command: OK sends APLY to
// the simulated module and the configurator follows; a failed send the model reports keeps it open.
// Also renders the dialog to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/platform/settings_store.h"
#include "gui/connection/apply_dialog.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// A document of the model over a simulated module of that model, with the module's network settings
// read, then changed to 57600 baud and address 17 as a write of new settings leaves them.
struct Rig : ModelDocumentRig {
    explicit Rig(int model) : ModelDocumentRig(model) {
        if (QTest::currentTestFailed()) return;
        for (const auto& p : doc->module_network()->parameters)
            QCOMPARE(doc->device().read_parameter(*p, false), 0);
        doc->module_network()->SetValue("bPS", "57600");
        doc->module_network()->SetValue("Addr", "17");
    }
    std::string own(std::string_view name) { return doc->device().program_network().GetValueText(name); }
};

}  // namespace

class ApplyDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void okSendsAplyAndTheConfiguratorFollows() {
        Rig rig(3);
        QString settings;
        QWidget* parent = nullptr;
        bool follow = false;
        bool broadcast = true;
        Script script({[&] {
            auto* dialog = modal<gui::ApplyDialog>();
            if (!dialog) return false;
            parent = dialog->parentWidget();
            settings = dialog->settings_label()->text();
            follow = dialog->change_own_settings_box()->isChecked();
            broadcast = dialog->broadcast_box()->isChecked();
            save_screenshot(dialog->grab(), "apply_dialog");
            click_later(dialog->ok_button());
            return true;
        }});
        rig.doc->apply_new_settings(false, false);

        QCOMPARE(script.steps_done(), std::size_t(1));
        QCOMPARE(parent, &rig.main_window);
        QCOMPARE(settings, QStringLiteral("Baudrate: 57600\nData bits: 8\nParity: None\nStop bits: 1\n"
                                          "Address bits: 8\nAddress: 17"));
        QVERIFY(follow);
        QVERIFY(!broadcast);
        QCOMPARE(rig.module->aply_received(), 1);
        QCOMPARE(rig.own("bPS"), std::string("57600"));
        QCOMPARE(rig.own("Addr"), std::string("17"));
        QCOMPARE(rig.backend->line_settings().baud_rate, 57600);
    }

    void failedSendKeepsTheDialogOpenUntilCancel() {
        Rig rig(20);  // a model that reports a failed APLY
        rig.doc->device().sio().close();
        QString message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool still_open = false;
        Script script({
            [&] {
                auto* dialog = modal<gui::ApplyDialog>();
                if (!dialog) return false;
                dialog->broadcast_box()->setChecked(true);
                click_later(dialog->ok_button());
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                message = box->text();
                icon = box->icon();
                box->done(QMessageBox::Ok);
                return true;
            },
            [&] {
                auto* dialog = modal<gui::ApplyDialog>();
                if (!dialog) return false;
                still_open = dialog->isVisible();
                dialog->reject();
                return true;
            },
        });
        rig.doc->apply_new_settings(false, false);

        QCOMPARE(script.steps_done(), std::size_t(3));
        QCOMPARE(message, QStringLiteral("Serial port opening error"));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(still_open);
        QCOMPARE(rig.module->aply_received(), 0);
        QCOMPARE(rig.own("bPS"), std::string("9600"));
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(ApplyDialogTest)
#include "gui_apply_dialog_test.moc"
