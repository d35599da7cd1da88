// The bus monitor on screen: it lists the frames of a Read all as they happen, decoded through the
// model's description, with the faults in red; filtering and saving work on what is listed.
#include <QCheckBox>
#include <QFile>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "core/app/document/document.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/platform/qt_ui.h"
#include "gui/service/bus_monitor_window.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

class BusMonitorTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    }

    void listsTheFramesOfAReadAllAsTheyHappen() {
        constexpr int kVK15 = 15;
        MemorySettingsStore store;
        set_settings_store(&store);
        gui::QtUi ui;
        set_ui(&ui);
        auto module = served_module(kVK15);
        QVERIFY(module);
        Options options;
        {
            CTarnDoc doc(options, std::make_unique<sim::InProcessBackend>(module));
            doc.device().finish_grace = std::chrono::milliseconds(0);
            QVERIFY(doc.device().connect());
            QVERIFY(doc.new_document());

            gui::BusMonitorWindow monitor(doc);
            monitor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&monitor));
            module->set_faults({.silent_every = 25, .reply_delay = std::chrono::milliseconds(2)});
            int rows_during = 0;
            QTimer::singleShot(400, &monitor, [&] {
                rows_during = monitor.frames().rowCount();
                save_screenshot(monitor.grab(), "bus_monitor");
            });
            QVERIFY(doc.read_all());
            QVERIFY2(rows_during > 0, "nothing was listed while the read ran");
            monitor.pull();
            gui::FrameTableModel& frames = monitor.frames();
            QVERIFY(frames.rowCount() > rows_during);
            int timeouts = 0;
            for (int r = 0; r < frames.rowCount(); ++r) {
                const TraceLine& line = frames.line(r);
                QVERIFY2(line.name.rfind("0x", 0) != 0, "a frame of the model's own parameter was not named");
                timeouts += line.failure == "time-out";
            }
            QVERIFY(timeouts > 0);

            frames.set_filter({"", true});
            QCOMPARE(frames.rowCount(), timeouts);

            QTemporaryDir folder;
            const QString path = folder.filePath(QStringLiteral("frames.txt"));
            QString error;
            QVERIFY(monitor.save_to(path, error));
            QFile saved(path);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll().count('\n'), timeouts);

            // The arrows move through the frames; Tab leaves the table for the next control.
            frames.set_filter({"", false});
            QTableView* table = monitor.table();
            table->setFocus();
            table->setCurrentIndex(table->model()->index(0, 0));
            QTest::keyClick(table, Qt::Key_Down);
            QCOMPARE(table->currentIndex().row(), 1);
            QTest::keyClick(table, Qt::Key_Tab);
            QVERIFY(monitor.focusWidget() != table);
        }
        set_ui(nullptr);
        set_settings_store(nullptr);
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(BusMonitorTest)
#include "gui_bus_monitor_test.moc"
