// The strain-gauge calibration wizard and the tare-weight dialog on screen against the simulated module: a
// factory calibration of a VK14 channel, a user calibration of VK13 started by the model's Calibrate with
// the live signal and a mistyped field on the way, and taring on both models. Also renders the pages and
// the dialog to <build>/screenshots.
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
#include "core/app/files/paths.h"
#include "core/app/service/model_calibration.h"
#include "core/calibration/strain_gauge_calibration.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/tare_weight_dialog.h"
#include "gui/calibration/wizards/strain_gauge_pages.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// Answers the message box that is up, remembering its text.
std::function<bool()> answer_box(QString& text) {
    return [&text] {
        auto* box = modal<QMessageBox>();
        if (!box) return false;
        text = box->text();
        box->done(QMessageBox::Ok);
        return true;
    };
}

// A document of the model over its simulated module.
struct Rig : ModelDocumentRig {
    explicit Rig(int model) : ModelDocumentRig(model) {
        if (QTest::currentTestFailed()) return;
        doc->refresh_views = [this] { ++refreshed; };
    }
    // The document goes while the counter its views report to is still here.
    ~Rig() { doc.reset(); }

    int refreshed = 0;
};

}  // namespace

class StrainGaugeTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void factoryCalibrationOfAChannel() {
        Rig rig(14);
        rig.module->set_value("Rd.St", -1, "0");
        CalibrationTD::CSheetTD wizard(rig.doc->device(), &rig.doc->description(), 4);
        wizard.settle_delay = std::chrono::milliseconds(10);
        bool lists_follow_the_kind = false;
        QString min_text;
        bool save_page_ok = false;
        Script script({
            [&] {
                auto* page = view_of<gui::StrainGaugeFirstPageView>(sheet_on("Шаг 1"));
                if (!page) return false;
                lists_follow_the_kind = page->type_box()->isHidden() && page->sensitivity_box()->isHidden();
                page->code_edit()->setText(QStringLiteral("417"));
                modal<gui::WizardSheet>()->next_button()->click();
                // The kinds appear with the user calibration chosen: no sensitivity then.
                lists_follow_the_kind = lists_follow_the_kind && page->type_box()->isVisible() &&
                                        page->type_box()->currentIndex() == 1 &&
                                        page->sensitivity_box()->isHidden() &&
                                        page->channel_box()->isVisible();
                page->type_box()->setCurrentIndex(0);
                lists_follow_the_kind = lists_follow_the_kind && page->sensitivity_box()->isVisible();
                page->channel_box()->setCurrentIndex(2);
                page->sensitivity_box()->setCurrentIndex(3);
                save_screenshot(modal<gui::WizardSheet>()->grab(), "strain_gauge_first_page");
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 2");
                if (!sheet) return false;
                min_text = static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                save_screenshot(sheet->grab(), "strain_gauge_factory_min");
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 3");
                if (!sheet || !sheet->next_button()->isEnabled()) return false;
                click_later(sheet->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 4");
                if (!sheet) return false;
                save_page_ok = sheet->finish_button()->text() == QStringLiteral("Сохранить") &&
                               sheet->finish_button()->isEnabled();
                click_later(sheet->finish_button());
                return true;
            },
        });
        gui::WizardSheet sheet(wizard, &rig.main_window);
        QVERIFY(sheet.run());

        QCOMPARE(script.steps_done(), std::size_t(4));
        QVERIFY(lists_follow_the_kind);
        QVERIFY(
            min_text.startsWith(QStringLiteral("1) Подайте на вход прибора значение напряжения -35 мВ,")));
        QVERIFY(save_page_ok);
        QVERIFY(rig.module->value("Sens", 2) == "±35 мВ");
        for (const char* name : {"zU.Sh", "zU.Sc", "U.Apl", "Rd.St"})
            QCOMPARE(rig.module->requests_seen(hash_name(name)), 1);
    }

    void userCalibrationFromTheModel() {
        Rig rig(13);
        rig.module->set_value("Rd.fV", 0, "0.5");
        QString signal_shown;
        QString bad_input;
        QString lower_text;
        Script script({
            [&] {
                auto* page = view_of<gui::StrainGaugeFirstPageView>(sheet_on("Шаг 1"));
                if (!page) return false;
                page->code_edit()->setText(QStringLiteral("417"));
                modal<gui::WizardSheet>()->next_button()->click();  // the kinds appear, user chosen
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            },
            [&] {
                // The live signal arrives with the reading timer.
                auto* page = view_of<gui::UserPointPageView>(sheet_on("Шаг 2"));
                if (!page || page->signal_label()->text().isEmpty()) return false;
                signal_shown = page->signal_label()->text();
                lower_text = page->text_label()->text();
                page->value_edit()->setText(QStringLiteral("2,5"));
                page->percent_edit()->setText(QStringLiteral("abc"));
                save_screenshot(modal<gui::WizardSheet>()->grab(), "strain_gauge_user_lower");
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            },
            answer_box(bad_input),
            [&] {
                auto* page = view_of<gui::UserPointPageView>(sheet_on("Шаг 2"));
                if (!page) return false;
                page->percent_edit()->setText(QStringLiteral("0"));
                rig.module->set_value("Rd.fV", 0, "2.5");
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            },
            [&] {
                auto* page = view_of<gui::UserPointPageView>(sheet_on("Шаг 3"));
                if (!page || page->signal_label()->text() != QStringLiteral("2.5000")) return false;
                page->value_edit()->setText(QStringLiteral("1500"));
                save_screenshot(modal<gui::WizardSheet>()->grab(), "strain_gauge_user_upper");
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            },
            [&] {
                auto* sheet = sheet_on("Шаг 4");
                if (!sheet) return false;
                click_later(sheet->finish_button());
                return true;
            },
        });
        calibrate_model(*rig.doc->device_model());

        QCOMPARE(script.steps_done(), std::size_t(6));
        QCOMPARE(signal_shown, QStringLiteral("0.5000"));
        QVERIFY(
            lower_text.endsWith(QStringLiteral("Текущая чувствительность: ±35 мВ\nДиапазон: -35..+35 мВ")));
        QCOMPARE(bad_input,
                 QStringLiteral("Неверно введены следующие данные:\r\n - значение величины в процентах."));
        QVERIFY(rig.module->value("zu.fn", -1) == "0.500");
        QVERIFY(rig.module->value("zu.fx", -1) == "2.500");
        QVERIFY(rig.module->value("v.min", -1) == "2.500");
        QVERIFY(rig.module->value("v.max", -1) == "1500.000");
    }

    void tareWeightOnBothModels() {
        for (const int model : {13, 14}) {
            Rig rig(model);
            const int channel = model == 14 ? 1 : 0;
            rig.module->set_value("Rd.fF", channel, "7.25");
            bool channels_ok = false;
            QString weight;
            QString refused;
            Script script({
                [&] {
                    auto* dialog = modal<gui::TareWeightDialog>();
                    if (!dialog) return false;
                    channels_ok = model == 14 ? dialog->channel_box() && dialog->channel_box()->count() == 4
                                              : dialog->channel_box() == nullptr;
                    if (dialog->channel_box()) dialog->channel_box()->setCurrentIndex(channel);
                    return true;
                },
                [&] {
                    auto* dialog = modal<gui::TareWeightDialog>();
                    if (!dialog || dialog->weight_field()->text() != QStringLiteral("7.250")) return false;
                    weight = dialog->weight_field()->text();
                    if (model == 14) save_screenshot(dialog->grab(), "tare_weight");
                    rig.module->set_faults({.error_code = sim::kErrReadOnly});
                    click_later(dialog->yes_button());
                    return true;
                },
                answer_box(refused),
                [&] {
                    auto* dialog = modal<gui::TareWeightDialog>();
                    if (!dialog) return false;  // still open after the refusal
                    rig.module->set_faults({});
                    click_later(dialog->yes_button());
                    return true;
                },
            });
            gui::TareWeightDialog::Open(*rig.doc, &rig.main_window);

            QCOMPARE(script.steps_done(), std::size_t(4));
            QVERIFY(channels_ok);
            QCOMPARE(weight, QStringLiteral("7.250"));
            QCOMPARE(refused, QStringLiteral("Не удалось записать вес тары!"));
            QCOMPARE(rig.module->requests_seen(hash_name("U.Wgh")), 2);
            QCOMPARE(rig.refreshed, 1);
        }
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(StrainGaugeTest)
#include "gui_strain_gauge_test.moc"
