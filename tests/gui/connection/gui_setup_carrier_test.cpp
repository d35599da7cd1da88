// The connection dialog and the device selection on screen: editing the settings in place, working
// offline, and connecting to the simulated module. Also renders both dialogs to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
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
#include "core/app/tree/table_edit.h"
#include "core/devices/brand.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/model/parameter.h"
#include "core/platform/settings_store.h"
#include "gui/connection/select_device_dialog.h"
#include "gui/connection/setup_carrier.h"
#include "gui/document/main_window.h"
#include "gui/platform/qt_ui.h"
#include "gui/service/simulator_panel.h"
#include "gui/tree/table_ctrl.h"
#include "gui/tree/tree_view.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// A document whose port leads nowhere: a device that cannot be opened.
struct Rig {
    Rig() {
        store.set_int(kSettingsGroup, "baud_rate", 115200);
        store.set_string(kSettingsGroup, "port", "/dev/ttyS0");
        set_settings_store(&store);
        set_ui(&ui);
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(nullptr));
        dialog = std::make_unique<gui::ConnectionSetupDialog>(doc->device(), options, brand, true);
    }
    ~Rig() {
        dialog.reset();
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    int row_of(std::string_view name) {
        return dialog->table()->RowOf(*doc->device().program_network().FindOwnParameter(name));
    }

    MemorySettingsStore store;
    gui::QtUi ui;
    Options options;
    CBrandRavelin brand;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<gui::ConnectionSetupDialog> dialog;
};

// A table that counts its push-button clicks.
class CountingTable : public gui::ReportTable {
  public:
    int actions = 0;

  protected:
    void CellAction(int, int) override { ++actions; }
};

std::unique_ptr<Parameter> parameter(const char* name, const char* type, const char* value) {
    auto p = std::make_unique<Parameter>(name);
    p->set_data_type(type);
    p->SetValueText(value);
    return p;
}

}  // namespace

class SetupCarrierTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void tableEditsValuesInPlace() {
        Rig rig;
        gui::ConnectionSetupDialog& dialog = *rig.dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        gui::ConnectionSettingsTable& table = *dialog.table();
        QCOMPARE(table.rowCount(), 7);
        QCOMPARE(table.horizontalHeaderItem(0)->text(), QStringLiteral("Serial port settings"));
        QVERIFY(dialog.offline_button()->isEnabled());
        save_screenshot(dialog.grab(), "connection_dialog");

        // The address: an edit box with its tip; Enter commits and does not press "Connect".
        const int address = rig.row_of("Addr");
        QVERIFY(table.ActivateCell(address, 0));
        QLineEdit* box = table.edit_box();
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("16"));
        QCOMPARE(box->selectedText(), QStringLiteral("16"));
        QVERIFY(box->toolTip().contains(QStringLiteral("Address (Addr)")));
        QVERIFY(box->toolTip().contains(QStringLiteral("It should be an integer")));
        save_screenshot(dialog.grab(), "connection_dialog_editing");
        QTest::keyClicks(box, QStringLiteral("20"));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(table.CellText(address, 1), QStringLiteral("20"));
        QCOMPARE(rig.doc->device().program_network().GetValueText("Addr"), std::string("20"));
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.status_label()->text().startsWith(QStringLiteral("Scanning")));

        // Escape leaves the value alone and the dialog open.
        QVERIFY(table.ActivateCell(address, 1));
        QTest::keyClicks(table.edit_box(), QStringLiteral("99"));
        QTest::keyClick(table.edit_box(), Qt::Key_Escape);
        QTRY_VERIFY(!table.edit_box());
        QCOMPARE(rig.doc->device().program_network().GetValueText("Addr"), std::string("20"));
        QVERIFY(dialog.isVisible());

        // The baud rate: a list with the current value selected; a choice is committed at once.
        const int rate = rig.row_of("bPS");
        QVERIFY(table.ActivateCell(rate, 1));
        QComboBox* list = table.drop_down();
        QVERIFY(list);
        QCOMPARE(list->currentText(), QStringLiteral("115200"));
        save_screenshot(dialog.grab(), "connection_dialog_list");
        QTest::keyClick(list, Qt::Key_Up);
        QTRY_COMPARE(table.CellText(rate, 1), QStringLiteral("57600"));
        QCOMPARE(rig.doc->device().program_network().GetValueText("bPS"), std::string("57600"));

        // The port list also takes a typed device path.
        const int port = rig.row_of("Port");
        QVERIFY(table.ActivateCell(port, 1));
        QVERIFY(table.drop_down() && table.drop_down()->isEditable());
        table.drop_down()->lineEdit()->selectAll();
        QTest::keyClicks(table.drop_down()->lineEdit(), QStringLiteral("/dev/ttyUSB7"));
        QTest::keyClick(table.drop_down()->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(table.CellText(port, 1), QStringLiteral("/dev/ttyUSB7"));

        dialog.offer_simulated_module(true);
        QVERIFY(dialog.simulate_button()->isVisible());
        save_screenshot(dialog.grab(), "connection_dialog_no_port");
    }

    void aConnectionThatFindsNothingOffersTheSimulatedModule() {
        Rig rig;
        rig.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.dialog.get()));
        rig.dialog->offer_simulated_module(false);  // as if ports were listed
        QTest::mouseClick(rig.dialog->connect_button(), Qt::LeftButton);
        QTRY_VERIFY(rig.dialog->status_alarm());
        QTRY_VERIFY(rig.dialog->simulate_button()->isVisible());
    }

    void tabGoesFromTheTableThroughTheButtons() {
        for (const bool offered : {false, true}) {
            Rig rig;
            gui::ConnectionSetupDialog& dialog = *rig.dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            dialog.offer_simulated_module(offered);
            dialog.activateWindow();
            dialog.table()->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.table()));
            // The arrows stay in the table.
            QTest::keyClick(dialog.table(), Qt::Key_Down);
            QCOMPARE(dialog.table()->currentRow(), 1);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.table()));
            std::vector<QWidget*> expected;
            if (offered) expected.push_back(dialog.simulate_button());
            for (QWidget* w : std::initializer_list<QWidget*>{
                     dialog.connect_button(), dialog.scan_button(), dialog.factory_button(),
                     dialog.offline_button(), dialog.exit_button(), dialog.table()})
                expected.push_back(w);
            for (QWidget* next : expected) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), next);
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.exit_button()));
        }
    }

    void tableFlagsGuardSelectionAndEditors() {
        using cell_flags::kButton;
        using cell_flags::kDisabled;
        using cell_flags::kReadOnly;
        using cell_flags::kRowNoEditor;
        CountingTable table;
        table.SetColumns({QStringLiteral("Name"), QStringLiteral("Value")}, {1, 1});
        auto rate = parameter("bPS", "9600:19_200", "19_200");
        auto gain = parameter("GAin", "float", "no data");
        for (int row = 0; row < 5; ++row)
            table.AddRow({QString::number(row), QString()});
        table.SetCellObject(0, 1, rate.get());
        table.SetCellFlags(1, -1, kDisabled, kDisabled);
        table.SetCellFlags(2, -1, kDisabled, kDisabled);
        table.SetCellObject(3, 1, gain.get(), kReadOnly);
        table.SetCellObject(4, 1, gain.get(), kButton);
        table.SetCellObject(4, 0, gain.get(), kRowNoEditor);
        table.resize(300, 200);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));

        // The arrow keys pass over the disabled rows, both ways.
        table.setCurrentCell(0, 0);
        QTest::keyClick(&table, Qt::Key_Down);
        QCOMPARE(table.currentRow(), 3);
        QTest::keyClick(&table, Qt::Key_Up);
        QCOMPARE(table.currentRow(), 0);

        // A push-button cell runs the action and opens nothing; nor do read-only and flagged rows.
        const QPoint button = table.visualItemRect(table.item(4, 1)).center();
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, button);
        QCOMPARE(table.actions, 1);
        QVERIFY(!table.ActivateCell(4, 1));
        QVERIFY(!table.ActivateCell(4, 0));
        QVERIFY(!table.ActivateCell(3, 1));
        QVERIFY(!table.ActivateCell(1, 1));

        // "No data" opens an empty editor; a list shows its value selected, spelt with spaces.
        table.SetCellFlags(3, 1, 0, kReadOnly);
        QVERIFY(table.ActivateCell(3, 1));
        QVERIFY(table.edit_box());
        QCOMPARE(table.edit_box()->text(), QString());
        QTest::keyClick(table.edit_box(), Qt::Key_Escape);
        QTRY_VERIFY(!table.edit_box());
        QVERIFY(table.ActivateCell(0, 1));
        QVERIFY(table.drop_down());
        QCOMPARE(table.drop_down()->currentText(), QStringLiteral("19 200"));
    }

    void workOfflineChoosesTheModelByHand() {
        Rig rig;
        QString message;
        bool still_open = false;
        Script script({
            [&] {
                click_later(rig.dialog->offline_button());
                return true;
            },
            // OK with nothing selected: the list says so and stays.
            [&] {
                auto* select = modal<gui::SelectDeviceDialog>();
                if (!select) return false;
                save_screenshot(select->grab(), "select_device");
                click_later(select->ok_button());
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                message = box->text();
                box->done(QMessageBox::Ok);
                return true;
            },
            [&] {
                auto* select = modal<gui::SelectDeviceDialog>();
                if (!select) return false;
                still_open = select->isVisible();
                gui::ReportTable& list = *select->list();
                for (int row = 0; row < list.rowCount(); ++row)
                    if (list.CellText(row, 0).contains(QStringLiteral("VK05"))) list.selectRow(row);
                click_later(select->ok_button());
                return true;
            },
        });
        QCOMPARE(rig.dialog->exec(), int(QDialog::Accepted));
        QCOMPARE(script.steps_done(), std::size_t(4));
        QCOMPARE(message, QStringLiteral("Select device from the list"));
        QVERIFY(still_open);
        QCOMPARE(rig.doc->context().model.load(), 5);
        QVERIFY(!rig.options.read_automatically);

        // As at start-up: the chosen model's tree in the main window.
        rig.dialog.reset();
        QVERIFY(rig.doc->new_document());
        gui::MainWindow window(*rig.doc, rig.options, rig.brand);
        auto* view = new gui::ConfigurationTreePane(*rig.doc);
        window.set_tree_view(view);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.windowTitle().contains(QStringLiteral("VK05")));
        QVERIFY(view->root_item());
        QVERIFY(view->model().item_text(view->root_item(), 0).contains(QStringLiteral("VK05")));
        QVERIFY(view->model().child_count(view->root_item()) > 0);
        rig.doc->modified = false;
    }

    void connectsToTheSimulatedModule() {
        Rig rig;
        rig.dialog->offer_simulated_module(true);
        QVERIFY(rig.dialog->status_label()->text().contains(QStringLiteral("No serial port")));
        QString message;
        Script script({
            [&] {
                click_later(rig.dialog->simulate_button());
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                message = box->text();
                box->done(QMessageBox::Ok);
                return true;
            },
        });
        QCOMPARE(rig.dialog->exec(), int(QDialog::Accepted));
        QCOMPARE(message, QStringLiteral("Connection established"));
        QCOMPARE(rig.dialog->status_label()->text(), QStringLiteral("Connection established"));
        QVERIFY(!rig.dialog->status_alarm());
        QCOMPARE(rig.doc->context().model.load(), 3);
        QCOMPARE(rig.doc->device().program_network().GetValueText("Port"), std::string("simulated"));

        // Its panel makes the line misbehave on demand, and takes it back.
        gui::SimulatorPanel* panel = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<gui::SimulatorPanel*>(w)) panel = p;
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        save_screenshot(panel->grab(), "simulator_panel");
        Device& device = rig.doc->device();
        device.finish_grace = std::chrono::milliseconds(0);
        panel->silent_button()->click();
        QVERIFY(panel->answer().startsWith(QStringLiteral("ok")));
        QCOMPARE(device.identify(false), Identification::Unreadable);
        panel->restore_button()->click();
        QCOMPARE(device.identify(false), Identification::KnownModel);
        delete panel;
    }

    void exitClosesWithCancel() {
        Rig rig;
        Script script({[&] {
            click_later(rig.dialog->exit_button());
            return true;
        }});
        QCOMPARE(rig.dialog->exec(), int(QDialog::Rejected));
        QCOMPARE(rig.doc->context().model.load(), kNoModel);
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(SetupCarrierTest)
#include "gui_setup_carrier_test.moc"
