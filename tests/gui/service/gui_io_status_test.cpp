// The I/O status dialog on screen against simulated modules: values and lamps arrive from the polling
// thread, a counter is reset by its button, and the dialog closes through the polling thread's
// handshake. Also renders the dialog of a VK03 and of a VK01 to <build>/screenshots.
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/link/options.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "gui/service/io_status_dialog.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;
using namespace std::chrono_literals;

namespace {

// A document connected to a simulated module of the model, its tree built.
struct Rig {
    explicit Rig(int model) : module(std::make_shared<sim::SimulatedModule>()) {
        const std::string archive_path =
            (QCoreApplication::applicationDirPath() + "/../src/gui/varda.dat").toStdString();
        if (!serve_archived_model(*module, model, archive_path).ok) qFatal("no module %d", model);
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
        doc->archive_path = archive_path;
        doc->start(false, false);
        if (doc->context().model != model || !doc->new_document()) qFatal("model %d not connected", model);
    }
    // The module's value of a scanner instance.
    void set_value(std::string_view name, int instance, const std::string& value) {
        DescBranch::IndexMap instances;
        int max_index = 0;
        doc->description().scanners()->FindParameter(name, &instances, &max_index, nullptr, 0);
        const Parameter* p = instances.count(instance) ? instances.at(instance) : instances.begin()->second;
        module->set_value(p->network_name(), -1, value, p->address_offset);
    }

    std::shared_ptr<sim::SimulatedModule> module;
    Options options;
    std::unique_ptr<CTarnDoc> doc;
};

QPoint cell_centre(const gui::ReportTable& table, int row, int column) {
    return table.visualRect(table.model()->index(row, column)).center();
}

}  // namespace

class IoStatusTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
        set_ui(&ui_);
    }
    void cleanupTestCase() { set_ui(nullptr); }

    void inputsAndOutputsOfAVK03() {
        Rig rig(3);
        const char* counters[] = {"1520", "87", "0", "4031", "12", "0", "666", "9"};
        for (int k = 0; k < 8; ++k)
            rig.set_value("r.Cou", k, counters[k]);
        const char* output_values[] = {"1", "0", "0.5", "1"};
        for (int k = 0; k < 4; ++k)
            rig.set_value("r.oe", k, output_values[k]);
        rig.set_value("r.cn", 0, "75");  // inputs 1, 2, 4 and 7

        gui::IoStatusWindow dialog(*rig.doc, nullptr, 5ms);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("I/O status"));
        gui::IoStateTable& inputs = *dialog.table(IoSide::Inputs);
        gui::IoStateTable& outputs = *dialog.table(IoSide::Outputs);
        QVERIFY(inputs.isVisible() && outputs.isVisible());
        QVERIFY(dialog.caption(IoSide::Inputs)->isVisible() && dialog.caption(IoSide::Outputs)->isVisible());
        QCOMPARE(inputs.rowCount(), 8);
        QCOMPARE(outputs.rowCount(), 4);
        QCOMPARE(inputs.horizontalHeaderItem(2)->text(), QStringLiteral("Reset"));
        QCOMPARE(dialog.lamps(IoSide::Inputs).size(), std::size_t{8});
        QCOMPARE(dialog.lamps(IoSide::Outputs).size(), std::size_t{4});
        // The outputs' lamps stand over the outputs table.
        QVERIFY(dialog.lamps(IoSide::Outputs)[0]->x() > outputs.x());
        QVERIFY(dialog.lamps(IoSide::Inputs)[7]->geometry().bottom() < inputs.y());

        // Every row read at least once, and the lamps lit.
        QTRY_COMPARE_WITH_TIMEOUT(inputs.CellText(7, 0), QStringLiteral("9"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(outputs.CellText(3, 0), QStringLiteral("1.000"), 10000);
        QCOMPARE(inputs.CellText(0, 0), QStringLiteral("1520"));
        QTRY_COMPARE(dialog.lamps(IoSide::Outputs)[0]->colour(), LampColour::OutputOn);
        QTRY_COMPARE(dialog.lamps(IoSide::Outputs)[2]->colour(), LampColour::OutputPartial);
        QCOMPARE(dialog.lamps(IoSide::Outputs)[1]->colour(), LampColour::Default);
        QTRY_COMPARE(dialog.lamps(IoSide::Inputs)[6]->colour(), LampColour::InputOn);
        QCOMPARE(dialog.lamps(IoSide::Inputs)[2]->colour(), LampColour::Default);

        // "Reset" writes 0 to the counter; the next poll shows it.
        QTest::mouseClick(inputs.viewport(), Qt::LeftButton, {}, cell_centre(inputs, 3, 2));
        const Parameter* counter = inputs.GetCellObject(3, 0);
        QCOMPARE(rig.module->value("r.Cou", -1, counter->address_offset), std::optional<std::string>("0"));
        QTRY_COMPARE_WITH_TIMEOUT(inputs.CellText(3, 0), QStringLiteral("0"), 10000);
        rig.set_value("r.Cou", 3, "4031");  // back, for the picture
        QTRY_COMPARE_WITH_TIMEOUT(inputs.CellText(3, 0), QStringLiteral("4031"), 10000);
        outputs.setCurrentCell(2, 0);
        QVERIFY(ui_.messages().empty());
        save_screenshot(dialog.grab(), "io_status");

        // Escape asks the polling thread to stop; the dialog goes once it has.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        QVERIFY(dialog.controller().polling_ended());
    }

    void outputsOnlyOfAVK01() {
        Rig rig(1);
        const char* output_values[] = {"1", "0", "0.25", "1", "0", "0", "1", "0"};
        for (int k = 0; k < 8; ++k)
            rig.set_value("r.oe", k, output_values[k]);

        gui::IoStatusWindow dialog(*rig.doc, nullptr, 5ms);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Output status"));
        QVERIFY(!dialog.table(IoSide::Inputs)->isVisible());
        QVERIFY(!dialog.caption(IoSide::Inputs)->isVisible());
        gui::IoStateTable& table = *dialog.table(IoSide::Outputs);
        // The outputs take the inputs' place, and the dialog is one side wide.
        QCOMPARE(table.pos(), dialog.table(IoSide::Inputs)->pos());
        QCOMPARE(dialog.caption(IoSide::Outputs)->pos(), QPoint(0, 0));
        QVERIFY(dialog.width() < 2 * dialog.caption(IoSide::Outputs)->width());
        QCOMPARE(dialog.lamps(IoSide::Outputs).size(), std::size_t{8});

        QTRY_COMPARE_WITH_TIMEOUT(table.CellText(7, 0), QStringLiteral("0.000"), 10000);
        QTRY_COMPARE(dialog.lamps(IoSide::Outputs)[6]->colour(), LampColour::OutputOn);
        QTRY_COMPARE(dialog.lamps(IoSide::Outputs)[2]->colour(), LampColour::OutputPartial);
        save_screenshot(dialog.grab(), "io_status_vk01");

        // A value typed into the table is written at once; polling keeps off the row meanwhile.
        QVERIFY(table.ActivateCell(1, 0));
        QLineEdit* box = table.edit_box();
        QVERIFY(box);
        Parameter* output = table.GetCellObject(1, 0);
        QVERIFY(output->value_modified);
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("1"));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_COMPARE(rig.module->value("r.oe", -1, output->address_offset),
                     std::optional<std::string>("1.000"));
        QTRY_VERIFY(!output->value_modified);
        QTRY_COMPARE(dialog.lamps(IoSide::Outputs)[1]->colour(), LampColour::OutputOn);
        QVERIFY(ui_.messages().empty());

        // A click on an output's lamp switches it; the lamp says so.
        gui::IoLamp* lamp = dialog.lamps(IoSide::Outputs)[1];
        QVERIFY(lamp->toolTip().contains("Click"));
        QVERIFY(dialog.lamps(IoSide::Inputs).empty() || dialog.lamps(IoSide::Inputs)[0]->toolTip().isEmpty());
        QTest::mouseClick(lamp, Qt::LeftButton);
        QCOMPARE(rig.module->value("r.oe", -1, output->address_offset), std::optional<std::string>("0.000"));
        QTRY_COMPARE(lamp->colour(), LampColour::Default);
        QTest::mouseClick(lamp, Qt::LeftButton);
        QCOMPARE(rig.module->value("r.oe", -1, output->address_offset), std::optional<std::string>("1.000"));
        QTRY_COMPARE(lamp->colour(), LampColour::OutputOn);
        QVERIFY(ui_.messages().empty());

        // Enter on a cell without an editor closes the dialog.
        table.setCurrentCell(0, 1);
        QTest::keyClick(&table, Qt::Key_Return);
        QTRY_VERIFY(!dialog.isVisible());
    }

    void pollingLeavesTheDocumentUnmodified() {
        Rig rig(3);
        rig.set_value("r.Cou", 7, "9");
        rig.set_value("r.oe", 3, "1");
        QVERIFY(!rig.doc->modified);
        gui::IoStatusWindow dialog(*rig.doc, nullptr, 5ms);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // Every row read: readings of the inputs and outputs are no edits of the configuration.
        QTRY_COMPARE_WITH_TIMEOUT(dialog.table(IoSide::Inputs)->CellText(7, 0), QStringLiteral("9"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.table(IoSide::Outputs)->CellText(3, 0), QStringLiteral("1.000"),
                                  10000);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        QVERIFY(!rig.doc->modified);
        QVERIFY(!rig.doc->has_unwritten_edits());
        QVERIFY(ui_.messages().empty());
    }

    void destroyedWithAnEditorOpenWritesNothing() {
        Rig rig(1);
        rig.set_value("r.oe", 0, "0");
        auto dialog = std::make_unique<gui::IoStatusWindow>(*rig.doc, nullptr, 5ms);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        gui::IoStateTable& table = *dialog->table(IoSide::Outputs);
        const int offset = table.GetCellObject(0, 0)->address_offset;
        QVERIFY(table.ActivateCell(0, 0));
        QVERIFY(table.edit_box());
        QTest::keyClicks(table.edit_box(), QStringLiteral("7"));
        dialog.reset();
        QCOMPARE(rig.module->value("r.oe", -1, offset).value_or(""), std::string("0"));
    }

  private:
    HeadlessUi ui_{true};
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(IoStatusTest)
#include "gui_io_status_test.moc"
