// The single-parameter dialog on screen against a simulated VK03: typing a name, the controls that follow
// the choices, and a read traced in the list. Also renders the dialog to <build>/screenshots.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "gui/platform/qt_ui.h"
#include "gui/service/single_point_dialog.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

constexpr int kVk03 = 3;

// A VK03 document connected to a simulated VK03.
struct Rig {
    Rig() : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        ok = serve_archived_model(*module, kVk03).ok;
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
        doc->context().model = kVk03;
        doc->archive_path = description_archive_path();
        ok = ok && doc->load_description();
        doc->device().finish_grace = std::chrono::milliseconds(0);
        doc->device().sio().settings.port_name = "sim";
        ok = ok && doc->device().sio().open() == OpenResult::Opened;
    }
    ~Rig() {
        doc.reset();
        set_ui(nullptr);
    }

    gui::QtUi ui;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    bool ok = false;
};

}  // namespace

class SinglePointTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(QDir().mkpath(screenshot_folder())); }

    void typedNameIsReadAndTraced() {
        Rig rig;
        QVERIFY(rig.ok);
        gui::SinglePointDialog dialog(*rig.doc);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Single parameter"));

        // Opening: every declared name, the initial name updated, reading chosen.
        QComboBox* parameter = dialog.parameter_box();
        QCOMPARE(parameter->itemText(0), QStringLiteral("!dev"));
        QCOMPARE(parameter->currentText(), QStringLiteral("!vEr"));
        QCOMPARE(dialog.description_field()->text(), QStringLiteral("Версия программы модуля (string)"));
        QVERIFY(dialog.read_button()->isChecked());
        QVERIFY(dialog.write_data_box()->isHidden());
        QVERIFY(dialog.write_data_label()->isHidden());
        QVERIFY(!dialog.data_index_button()->isEnabled());
        QVERIFY(dialog.hash_field()->isReadOnly());

        // Typing a name updates the fields letter by letter.
        parameter->lineEdit()->selectAll();
        QTest::keyClicks(parameter->lineEdit(), QStringLiteral("addr"));
        QCOMPARE(dialog.hash_field()->text(), QStringLiteral("0x9F62"));
        QCOMPARE(dialog.description_field()->text(), QStringLiteral("Сетевой адрес (int)"));

        // "Indexed" enables the index kinds; "Write" shows the data to write with its list.
        QTest::mouseClick(dialog.indexed_box(), Qt::LeftButton);
        QVERIFY(dialog.data_index_button()->isEnabled());
        QVERIFY(dialog.address_index_button()->isEnabled());
        QVERIFY(dialog.data_index_button()->isChecked());
        dialog.indexed_box()->click();
        QVERIFY(!dialog.address_index_button()->isEnabled());
        parameter->setEditText(QStringLiteral("PrtY"));
        dialog.write_button()->click();
        QVERIFY(dialog.write_data_box()->isVisible());
        QVERIFY(dialog.write_data_label()->isVisible());
        QCOMPARE(dialog.write_data_box()->count(), 3);
        QCOMPARE(dialog.write_data_box()->itemText(1), QStringLiteral("Even"));
        dialog.read_button()->click();
        QVERIFY(dialog.write_data_box()->isHidden());

        // A read of the typed name: the trace ends with the module's answer, selected.
        parameter->lineEdit()->selectAll();
        QTest::keyClicks(parameter->lineEdit(), QStringLiteral("Addr"));
        QTest::mouseClick(dialog.execute_button(), Qt::LeftButton);
        QListWidget* trace = dialog.trace_list();
        QVERIFY(trace->count() > 4);
        QCOMPARE(trace->item(0)->text(), QStringLiteral("Addr (Сетевой адрес)"));
        QCOMPARE(trace->item(trace->count() - 2)->text(),
                 QStringLiteral("No error. String notation answer:"));
        QCOMPARE(trace->item(trace->count() - 1)->text(), QStringLiteral("16"));
        QCOMPARE(trace->currentRow(), trace->count() - 1);
        QCOMPARE(parameter->currentText(), QStringLiteral("Addr"));
        save_screenshot(dialog.grab(), "single_parameter");

        // With "Write" chosen the dialog keeps its layout.
        const QSize size = dialog.size();
        parameter->setEditText(QStringLiteral("t.out"));
        dialog.write_button()->click();
        dialog.write_data_box()->setEditText(QStringLiteral("20"));
        QTest::mouseClick(dialog.execute_button(), Qt::LeftButton);
        QCOMPARE(trace->item(trace->count() - 1)->text(),
                 QStringLiteral("Record is done. No error.  Value returned: '20'"));
        QCOMPARE(rig.module->value("t.out"), std::optional<std::string>("20"));
        QCOMPARE(dialog.size(), size);
        save_screenshot(dialog.grab(), "single_parameter_write");

        QTest::mouseClick(dialog.exit_button(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

  private:
};

QTEST_MAIN(SinglePointTest)
#include "gui_single_point_test.moc"
