// The offset and scale calibration wizard on screen, started by the model's Calibrate: a complete run
// against the simulated module with the real polling timers, and a run that ends on the error page and
// starts over. Also renders the pages to <build>/screenshots.
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
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/busy_progress.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/platform/qt_ui.h"
#include "gui/platform/screen_language.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// A document of the model over its simulated module.
using Rig = ModelDocumentRig;

}  // namespace

class CalibrationWizardTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void completeRunCalibratesAndSaves() {
        Rig rig(7);
        QStringList next_texts;
        QString offset_text;
        bool busy_buttons_disabled = false;
        bool first_page_ok = false;
        bool busy_shown = false;
        bool save_page_ok = false;
        Script script({
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                auto* page = static_cast<gui::CodePageView*>(sheet->current_view());
                next_texts << sheet->next_button()->text();
                first_page_ok = !sheet->back_button()->isEnabled() && page->sensor_list()->isHidden();
                page->code_edit()->setText(QStringLiteral("738"));
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                auto* page = static_cast<gui::CodePageView*>(sheet->current_view());
                if (page->sensor_list()->isHidden()) return false;
                page->sensor_list()->setCurrentRow(2);  // "0-5 мА"
                save_screenshot(sheet->grab(), "calibration_wizard_code");
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                next_texts << sheet->next_button()->text();
                offset_text = static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                save_screenshot(sheet->grab(), "calibration_wizard");
                sheet->next_button()->click();
                busy_buttons_disabled =
                    !sheet->next_button()->isEnabled() && !sheet->back_button()->isEnabled();
                return true;
            },
            [&] {
                // Waiting for the module's result.
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                busy_shown = sheet->busy_bar()->isVisible();
                save_screenshot(sheet->grab(), "calibration_wizard_busy");
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
                save_screenshot(sheet->grab(), "calibration_wizard_save");
                click_later(sheet->finish_button());
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(6));
        QCOMPARE(next_texts, QStringList({QStringLiteral("Продолжить"), QStringLiteral("Продолжить")}));
        QVERIFY(offset_text.startsWith(QStringLiteral("1) Подайте на вход первого канала нулевой уровень")));
        QVERIFY(offset_text.contains(QStringLiteral("напряжения).\n\n2) Нажмите")));
        QVERIFY(busy_buttons_disabled);
        QVERIFY(first_page_ok);
        QVERIFY(busy_shown);
        QVERIFY(save_page_ok);
        QVERIFY(rig.module->value("in-t", 0) == "0-5 мА");
        for (const char* name : {"JuSh", "JuSc", "Prmn", "UApl"})
            QCOMPARE(rig.module->requests_seen(hash_name(name)), 1);
        QCOMPARE(rig.module->requests_seen(hash_name("JuRD")), 2);
    }

    void errorPageStartsOverOrExits() {
        Rig rig(17);
        rig.module->set_value("JuRD", -1, "2");
        QString wrong_code_message;
        QString error_text;
        QString cancel_after_retry;
        QString error_buttons;
        Script script({
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                static_cast<gui::CodePageView*>(sheet->current_view())
                    ->code_edit()
                    ->setText(QStringLiteral("123"));
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                wrong_code_message = box->text();
                box->done(QMessageBox::Ok);
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                auto* page = static_cast<gui::CodePageView*>(sheet->current_view());
                page->code_edit()->setText(QStringLiteral("738"));
                sheet->next_button()->click();
                page->sensor_list()->setCurrentRow(0);
                sheet->next_button()->click();
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Ошибка юстировки");
                if (!sheet) return false;
                error_text = static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                error_buttons = sheet->finish_button()->text() + QLatin1Char('/') +
                                sheet->cancel_button()->text() +
                                (sheet->back_button()->isEnabled() ? QStringLiteral("/back") : QString());
                save_screenshot(sheet->grab(), "calibration_wizard_error");
                sheet->finish_button()->click();
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 1");
                if (!sheet) return false;
                cancel_after_retry = sheet->cancel_button()->text();
                click_later(sheet->cancel_button());
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(6));
        QCOMPARE(wrong_code_message, QStringLiteral("Код доступа не верен!"));
        QCOMPARE(error_text,
                 QStringLiteral("Значение сигнала на входе выше нормы.\n\nДля того чтобы повторить "
                                "операцию юстировки нажмите кнопку «Повторить»."));
        QCOMPARE(error_buttons, QStringLiteral("Повторить/Выход"));
        QCOMPARE(cancel_after_retry, QStringLiteral("Отмена"));
        QCOMPARE(rig.module->requests_seen(hash_name("JuSc")), 0);
    }

    // The wizard reads in the screen's language: its own Russian texts in English under any locale but
    // a Russian one.
    void wizardInEachLanguage() {
        struct Case {
            Language language;
            const char* picture;
            const char* step;
            const char* next;
            const char* cancel;
            const char* instruction;
        };
        const Case cases[] = {
            {Language::russian, "wizard_ru", "Шаг 2", "Продолжить", "Отмена",
             "1) Подайте на вход первого канала"},
            {Language::english, "wizard_en", "Step 2", "Continue", "Cancel",
             "1) Apply the zero signal level"},
        };
        for (const Case& c : cases) {
            const gui::ScreenLanguage language(c.language);
            Rig rig(7);
            QString next_text, cancel_text, instruction;
            Script script({
                [&] {
                    auto* sheet = modal<gui::WizardSheet>();
                    if (!sheet) return false;
                    auto* page = static_cast<gui::CodePageView*>(sheet->current_view());
                    page->code_edit()->setText(QStringLiteral("738"));
                    sheet->next_button()->click();
                    page->sensor_list()->setCurrentRow(2);
                    sheet->next_button()->click();
                    return true;
                },
                [&] {
                    auto* view = view_of<gui::TextPageView>(sheet_on(c.step));
                    if (!view) return false;
                    auto* sheet = modal<gui::WizardSheet>();
                    next_text = sheet->next_button()->text();
                    cancel_text = sheet->cancel_button()->text();
                    instruction = view->text_label()->text();
                    save_screenshot(sheet->grab(), c.picture);
                    click_later(sheet->cancel_button());
                    return true;
                },
            });
            rig.calibrate();
            QCOMPARE(script.steps_done(), std::size_t(2));
            QCOMPARE(next_text, QString::fromUtf8(c.next));
            QCOMPARE(cancel_text, QString::fromUtf8(c.cancel));
            QVERIFY2(instruction.startsWith(QString::fromUtf8(c.instruction)), qPrintable(instruction));
        }
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(CalibrationWizardTest)
#include "gui_calibration_wizard_test.moc"
