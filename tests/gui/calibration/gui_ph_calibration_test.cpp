// The pH calibration wizard of VK18 on screen, against the simulated module with the real reading thread:
// a two-point pH run started by the model's Calibrate, through the confirmation question, the live
// readings and both points to the slope message; and a point the module never finishes, which times out
// on the error page. Also renders the pages to <build>/screenshots.
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
#include <functional>
#include <memory>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/app/service/model_calibration.h"
#include "core/calibration/ph_calibration.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/busy_progress.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/wizards/ph_calibration_pages.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "sim/ph_calibration_task.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;
using namespace std::chrono_literals;

namespace {

// A VK18 document over its simulated module.
struct Rig : ModelDocumentRig {
    Rig() {
        serve(18);
        task = sim::serve_ph_calibration(*module);
        module->set_value("Rd.Rs", -1, "6.870");
        module->set_value("Rd.Tm", -1, "24.5");
        open();
    }

    std::shared_ptr<sim::PhCalibrationTask> task;
};

// Step 1 with the code, the confirmation question and the choice of calibration and points; `on_lists`
// sees the sheet with the lists chosen.
std::vector<std::function<bool()>> choose(int calibration, int points,
                                          std::function<void(const QString&)> question,
                                          std::function<void(gui::WizardSheet*)> on_lists) {
    return {
        [] {
            auto* page = view_of<gui::PhCodePageView>(sheet_on("Шаг 1"));
            if (!page) return false;
            page->code_edit()->setText(QStringLiteral("629"));
            click_later(modal<gui::WizardSheet>()->next_button());
            return true;
        },
        [question] {
            auto* box = modal<QMessageBox>();
            if (!box) return false;
            question(box->text());
            box->done(QMessageBox::Yes);
            return true;
        },
        [=] {
            auto* sheet = sheet_on("Шаг 1");
            auto* page = view_of<gui::PhCodePageView>(sheet);
            if (!page || page->points_list()->isHidden()) return false;
            page->calibration_list()->setCurrentRow(calibration);
            page->points_list()->setCurrentRow(points);
            on_lists(sheet);
            click_later(sheet->next_button());
            return true;
        },
    };
}

}  // namespace

class PhCalibrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void twoPointPhRunReportsTheSlope() {
        Rig rig;
        QString question;
        QString instruction;
        QString live;
        bool busy_shown = false;
        bool progress_shown = false;
        bool buttons_disabled = false;
        QString second_instruction;
        QString slope_message;
        auto steps = choose(
            0, 1, [&](const QString& text) { question = text; },
            [&](gui::WizardSheet* sheet) { save_screenshot(sheet->grab(), "ph_calibration_code"); });
        steps.insert(steps.end(), {
                                      [&] {
                                          // The live value arrives from the reading thread.
                                          auto* sheet = sheet_on("Шаг 2");
                                          auto* page = view_of<gui::PhStepPageView>(sheet);
                                          if (!page || page->temperature_field()->text().isEmpty())
                                              return false;
                                          instruction = page->text_label()->text();
                                          live = page->value_field()->text() + QLatin1Char('|') +
                                                 page->temperature_field()->text();
                                          page->buffer_edit()->setText(QStringLiteral("6,86"));
                                          save_screenshot(sheet->grab(), "ph_calibration_point");
                                          sheet->next_button()->click();
                                          buttons_disabled = !sheet->next_button()->isEnabled() &&
                                                             !sheet->back_button()->isEnabled();
                                          busy_shown = sheet->busy_bar()->isVisible();
                                          progress_shown = page->progress_label()->isVisible();
                                          save_screenshot(sheet->grab(), "ph_calibration_busy");
                                          return true;
                                      },
                                      [&] {
                                          auto* sheet = sheet_on("Шаг 3");
                                          auto* page = view_of<gui::PhStepPageView>(sheet);
                                          if (!page) return false;
                                          second_instruction = page->text_label()->text();
                                          page->buffer_edit()->setText(QStringLiteral("9.18"));
                                          click_later(sheet->next_button());
                                          return true;
                                      },
                                      [&] {
                                          auto* sheet = sheet_on("Сохранение коэффициентов");
                                          if (!sheet || sheet->busy_bar()->isVisible()) return false;
                                          save_screenshot(sheet->grab(), "ph_calibration_save");
                                          click_later(sheet->finish_button());
                                          return true;
                                      },
                                      [&] {
                                          auto* box = modal<QMessageBox>();
                                          if (!box) return false;
                                          slope_message = box->windowTitle() + QLatin1Char('|') + box->text();
                                          box->done(QMessageBox::Ok);
                                          return true;
                                      },
                                  });
        Script script(steps);
        calibrate_model(*rig.doc->device_model());

        QCOMPARE(script.steps_done(), steps.size());
        QVERIFY(question.startsWith(QStringLiteral("Тип датчика температуры: Pt100 (a=0,00385)\n")));
        QVERIFY(question.endsWith(QStringLiteral("\n\nУказанные параметры верны?")));
        QVERIFY(
            instruction.startsWith(QStringLiteral("1) Поместите датчик в первый буферный раствор;\n\n2)")));
        QVERIFY(
            second_instruction.startsWith(QStringLiteral("1) Поместите датчик во второй буферный раствор;")));
        QCOMPARE(live, QStringLiteral("6.870|24.500"));
        QVERIFY(buttons_disabled);
        QVERIFY(busy_shown);
        QVERIFY(progress_shown);
        QCOMPARE(slope_message, QStringLiteral("Параметры электродной пары|Числовое значение отклонения "
                                               "крутизны водородной характеристики: 1.00"));
        const auto points = rig.task->points();
        QCOMPARE(points.size(), std::size_t(2));
        QCOMPARE(points[0].first, std::string("U.pHL"));
        QCOMPARE(points[0].second, 6.86f);
        QCOMPARE(points[1].first, std::string("U.pHH"));
        QCOMPARE(rig.task->applied(), 1);
    }

    void pointTheModuleNeverFinishesTimesOut() {
        Rig rig;
        rig.task->set_behaviour({.busy_reads = -1});
        CalibrationPH::CSheetPH wizard(rig.doc->device(), &rig.doc->description());
        wizard.set_step_timeout(300ms);
        QString error_text;
        auto steps = choose(
            1, 0, [](const QString&) {}, [](gui::WizardSheet*) {});
        steps.insert(steps.end(),
                     {
                         [&] {
                             auto* sheet = sheet_on("Шаг 2");
                             auto* page = view_of<gui::PhStepPageView>(sheet);
                             if (!page || page->value_field()->text().isEmpty()) return false;
                             page->buffer_edit()->setText(QStringLiteral("225"));
                             save_screenshot(sheet->grab(), "ph_calibration_redox");
                             click_later(sheet->next_button());
                             return true;
                         },
                         [&] {
                             auto* sheet = sheet_on("Ошибка юстировки");
                             if (!sheet) return false;
                             error_text =
                                 static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                             save_screenshot(sheet->grab(), "ph_calibration_error");
                             click_later(sheet->cancel_button());
                             return true;
                         },
                     });
        Script script(steps);
        gui::WizardSheet sheet(wizard, &rig.main_window);
        QVERIFY(!sheet.run());

        QCOMPARE(script.steps_done(), steps.size());
        QVERIFY(
            error_text.startsWith(QStringLiteral("Произошла ошибка при юстировке. Следует пересбросить "
                                                 "питание прибора и провести юстировку заново.\n\n")));
        QCOMPARE(rig.task->points().size(), std::size_t(1));
        QCOMPARE(rig.task->points()[0].first, std::string("U.Rx1"));
        QVERIFY(!wizard.readings().running());
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(PhCalibrationTest)
#include "gui_ph_calibration_test.moc"
