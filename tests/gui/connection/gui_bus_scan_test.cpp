// "Find modules on the bus" on screen: the scan runs on its own thread, lists the module found with its
// address range, and a double-click makes it the module the configurator talks to.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "core/app/document/document.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/protocol/my_converter.h"
#include "gui/connection/bus_scan_dialog.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

class BusScanTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    }

    void findsTheModuleAndConnectsToIt() {
        MemorySettingsStore store;
        set_settings_store(&store);
        gui::QtUi ui;
        set_ui(&ui);
        auto module = served_module(3);
        QVERIFY(module);
        module->set_address(5);  // not where the configurator looks (16)
        // Its replies come while the next address is asked: they still count for its own.
        sim::Faults late;
        late.reply_delay = std::chrono::milliseconds(100);
        module->set_faults(late);
        Options options;
        {
            CTarnDoc doc(options, std::make_unique<sim::InProcessBackend>(module));
            QVERIFY(!doc.device().connect());

            gui::BusScanDialog dialog(doc.device());
            dialog.set_range(1, 8);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QVERIFY(dialog.request().baud_rates == std::vector<int>{9600});
            QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.status_label()->text().contains(QStringLiteral("found")), 10000);
            QCOMPARE(dialog.modules()->topLevelItemCount(), 1);
            QTreeWidgetItem* row = dialog.modules()->topLevelItem(0);
            QCOMPARE(row->text(0), QStringLiteral("5-8"));  // its channels answer at the next addresses
            QCOMPARE(row->text(2), QString::fromUtf8(display_name(3).data()));
            QCOMPARE(row->text(3), QStringLiteral("2.10"));
            save_screenshot(dialog.grab(), "bus_scan");

            dialog.connect_to_row(0);
            QVERIFY(dialog.connected());
            QCOMPARE(doc.context().model.load(), 3);
            QCOMPARE(doc.device().sio().settings.base_address, 5);
            QCOMPARE(doc.device().program_network().GetValueText("Addr"), std::string("5"));
        }
        set_ui(nullptr);
        set_settings_store(nullptr);
    }

    // Every rate a module can be set to is offered, and the estimate follows the pace chosen.
    void offersEveryModuleRateAndBothPaces() {
        MemorySettingsStore store;
        set_settings_store(&store);
        gui::QtUi ui;
        set_ui(&ui);
        Options options;
        {
            CTarnDoc doc(options, std::make_unique<sim::InProcessBackend>(nullptr));
            gui::BusScanDialog dialog(doc.device());
            std::vector<int> offered;
            for (const QCheckBox* box : dialog.findChildren<QCheckBox*>())
                offered.push_back(box->text().toInt());
            std::sort(offered.begin(), offered.end());
            const auto rates = module_baud_rates();
            QCOMPARE(offered, std::vector<int>(rates.begin(), rates.end()));
            QVERIFY(std::find(offered.begin(), offered.end(), 14400) != offered.end());
            QVERIFY(std::find(offered.begin(), offered.end(), 28800) != offered.end());

            // 247 addresses at 9600 baud: about 17 s quick, about 58 s with the full time-out at each.
            QCOMPARE(dialog.request().pace, ScanPace::Quick);
            QVERIFY2(dialog.estimate_label()->text().contains(QStringLiteral("about 17 s")),
                     qPrintable(dialog.estimate_label()->text()));
            dialog.thorough_button()->setChecked(true);
            QCOMPARE(dialog.request().pace, ScanPace::Thorough);
            QVERIFY2(dialog.estimate_label()->text().contains(QStringLiteral("about 58 s")),
                     qPrintable(dialog.estimate_label()->text()));
        }
        set_ui(nullptr);
        set_settings_store(nullptr);
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(BusScanTest)
#include "gui_bus_scan_test.moc"
