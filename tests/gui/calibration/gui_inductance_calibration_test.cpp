// The mutual-inductance calibration wizard of VK12 on screen, started by the model's Calibrate: the factory
// calibration through to saving, and the user's measured table (node count, a measurement by its push-button
// cell, typed values, saving). Also renders the pages to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <bit>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/points_table_ctrl.h"
#include "gui/calibration/wizards/inductance_calibration_pages.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// The first page with the code entered and a type (and method) chosen; false while it is not up yet.
bool choose(int type, int method) {
    auto* sheet = sheet_on("Шаг 1");
    if (!sheet) return false;
    auto* page = static_cast<gui::InductanceCodePageView*>(sheet->current_view());
    if (page->type_list()->isHidden()) {
        page->code_edit()->setText(QStringLiteral("852"));
        sheet->next_button()->click();
        return false;
    }
    page->type_list()->setCurrentRow(type);
    if (method >= 0) page->method_list()->setCurrentRow(method);
    click_later(sheet->next_button());
    return true;
}

// A document of VK12 over its simulated module.
struct Rig : ModelDocumentRig {
    Rig() : ModelDocumentRig(12) {}
};

}  // namespace

class InductanceCalibrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void factoryCalibrationRunsToSaving() {
        Rig rig;
        bool methods_hidden_for_factory = false;
        QString min_text;
        bool save_page_ok = false;
        Script script({
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                auto* page = static_cast<gui::InductanceCodePageView*>(sheet->current_view());
                if (page->type_list()->isHidden()) {
                    page->code_edit()->setText(QStringLiteral("852"));
                    sheet->next_button()->click();
                    return false;
                }
                page->type_list()->setCurrentRow(1);  // the user's: the methods show
                page->type_list()->setCurrentRow(0);
                methods_hidden_for_factory = page->method_list()->isHidden();
                save_screenshot(sheet->grab(), "inductance_calibration_code");
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                min_text = static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                save_screenshot(sheet->grab(), "inductance_calibration_min");
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 3");
                if (!sheet) return false;
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 4");
                if (!sheet) return false;
                save_page_ok = sheet->next_button()->isHidden() &&
                               sheet->finish_button()->text() == QStringLiteral("Сохранить");
                click_later(sheet->finish_button());
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(4));
        QVERIFY(methods_hidden_for_factory);
        QVERIFY(min_text.contains(QStringLiteral("диапазона измерения прибора  -10 мГн.\n\n3) Нажмите")));
        QVERIFY(save_page_ok);
        for (const char* name : {"zU.Sh", "zU.Sc", "U.Apl", "Rd.St"})
            QCOMPARE(rig.module->requests_seen(hash_name(name)), 1);
    }

    void measuredTableIsSaved() {
        Rig rig;
        const float reading = 4.25f;
        const auto bits = std::bit_cast<std::uint32_t>(reading);
        rig.module->set_command("Rd.fH", [bits](bool, std::span<const std::uint8_t>) {
            return std::optional<Bytes>(
                Bytes{static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                      static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)});
        });
        QString count_message;
        QString measured;
        QStringList headers;
        bool rows_greyed = false;
        bool buttons_ok = false;
        int editors_opened = 0;
        QString third_physical;
        gui::PointsTablePageView* view = nullptr;
        Script script({
            [&] { return choose(1, 1); },  // "пользовательская", "According to sensor readings"
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                view = static_cast<gui::PointsTablePageView*>(sheet->current_view());
                buttons_ok = sheet->back_button()->isEnabled() &&
                             sheet->finish_button()->text() == QStringLiteral("Сохранить");
                view->node_count_edit()->setText(QStringLiteral("22"));
                emit view->node_count_edit()->textEdited(QStringLiteral("22"));
                click_later(view->apply_button());
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                count_message = box->text();
                box->done(QMessageBox::Ok);
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                gui::CalibrationPointsTable* table = view->table();
                view->node_count_edit()->setText(QStringLiteral("3"));
                emit view->node_count_edit()->textEdited(QStringLiteral("3"));
                view->apply_button()->click();
                rows_greyed = !table->RowDisabled(2) && table->RowDisabled(3);
                for (int c = 0; c < table->columnCount(); ++c)
                    headers << table->horizontalHeaderItem(c)->text();

                // A click on the first row's measurement cell.
                const QRect cell =
                    table->visualRect(table->model()->index(0, gui::CalibrationPointsTable::kMeasureColumn));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                measured = table->CellText(0, gui::CalibrationPointsTable::kInductanceColumn);

                // Typed values: inductances 5 and 6 mH, physical values 0, 50 and 100 (a comma for 50).
                const struct {
                    int row, column;
                    const char* text;
                } typed[] = {{1, 1, "5"}, {2, 1, "6"}, {1, 2, "50,5"}, {2, 2, "100"}, {2, 2, "junk"}};
                for (const auto& t : typed) {
                    if (!table->ActivateCell(t.row, t.column)) continue;
                    ++editors_opened;
                    QTest::keyClicks(table->edit_box(), QString::fromUtf8(t.text));
                    QTest::keyClick(table->edit_box(), Qt::Key_Return);
                    for (int spin = 0; table->edit_box() && spin < 100; ++spin)
                        QApplication::processEvents();
                }
                third_physical = table->CellText(2, gui::CalibrationPointsTable::kPhysicalColumn);
                save_screenshot(sheet->grab(), "inductance_calibration_table");
                click_later(sheet->finish_button());
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(4));
        QVERIFY(buttons_ok);
        QCOMPARE(count_message, QStringLiteral("Введите значение от 2 до 21."));
        QVERIFY(rows_greyed);
        QCOMPARE(headers, QStringList({QStringLiteral("№"), QStringLiteral("Индуктивность"),
                                       QStringLiteral("Физ. величина"), QStringLiteral("Измерение")}));
        QCOMPARE(measured, QStringLiteral("4.250000"));
        QCOMPARE(editors_opened, 5);
        QCOMPARE(third_physical, QStringLiteral("100.000000"));  // "junk" is no number
        QCOMPARE(rig.module->requests_seen(hash_name("Rd.fH")), 32);
        QVERIFY(rig.module->value("uU.Pn", 0) == "4.250");
        QVERIFY(rig.module->value("uU.Pn", 2) == "6.000");
        QCOMPARE(rig.module->requests_seen(hash_name("uU.Pn")), 3);
        QCOMPARE(rig.module->requests_seen(hash_name("uU.Kf")), 8);
        QCOMPARE(rig.module->requests_seen(hash_name("U.Apl")), 1);
        // a_1 is the physical value of the second point, typed with a comma.
        QVERIFY(rig.module->value("uU.Kf", 4) == "50.500");
        QVERIFY(rig.module->value("uU.Kf", 0) == "0.000");
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(InductanceCalibrationTest)
#include "gui_inductance_calibration_test.moc"
