// The calibration windows, opened once in English and once in Russian against the simulated modules: each
// text a user reads there is in that one language. What the model's description or the module gives
// (sensor names, sensitivities, parameter descriptions) is data and stays as given, so those widgets are
// not read. Each page is also rendered to <build>/screenshots/lang, for a person to look for clipped texts.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <vector>

#include "gui/calibration/busy_progress.h"
#include "gui/calibration/calibration_dialogs.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/output_calibration_dialog.h"
#include "gui/calibration/points_table_ctrl.h"
#include "gui/calibration/wizards/inductance_calibration_pages.h"
#include "gui/calibration/wizards/meter_calibration_pages.h"
#include "gui/calibration/wizards/ph_calibration_pages.h"
#include "gui/calibration/wizards/strain_gauge_pages.h"
#include "gui/platform/screen_language.h"
#include "sim/calibration_task.h"
#include "sim/model_module.h"
#include "sim/ph_calibration_task.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/screen_texts.h"

using namespace varda;
using namespace varda::test;

namespace {

using Steps = std::vector<std::function<bool()>>;

// The wizard's current page when it is of type View and `ready` says it shows what it should.
template <typename View>
View* page_of(std::function<bool(View&)> ready = {}) {
    auto* view = view_of<View>(modal<gui::WizardSheet>());
    return view && (!ready || ready(*view)) ? view : nullptr;
}

// Whether the wizard shows its page `index`, done with the module.
template <typename View>
std::function<bool(View&)> at_page(int index) {
    return [index](View&) {
        auto* sheet = modal<gui::WizardSheet>();
        return sheet->current_view() == sheet->page_view(index) && !sheet->busy_bar()->isVisible();
    };
}

// Takes the texts of the wizard with its page of type View up, the `data` widgets of the page left out.
template <typename View>
std::function<bool()> take_page(ScreenTexts& texts, const char* picture, Language language,
                                std::function<bool(View&)> ready = {},
                                std::function<QList<const QWidget*>(View&)> data = {}) {
    return [=, &texts] {
        View* view = page_of<View>(ready);
        if (!view) return false;
        auto* sheet = modal<gui::WizardSheet>();
        // The sheet holds every page: only the one shown is read.
        QList<const QWidget*> left_out = data ? data(*view) : QList<const QWidget*>{};
        for (const gui::WizardPageView* other : sheet->findChildren<gui::WizardPageView*>())
            if (other != view) left_out << other;
        texts.take(sheet, left_out);
        save_picture(sheet, picture, language);
        return true;
    };
}

// Presses the wizard's button once the page of type View is up.
template <typename View>
std::function<bool()> press(QPushButton* (gui::WizardSheet::*button)() const) {
    return [button] {
        if (!page_of<View>()) return false;
        click_later((modal<gui::WizardSheet>()->*button)());
        return true;
    };
}

// Runs the model's calibration through `steps`; every step must have been done.
void calibrate_through(ModelDocumentRig& rig, const Steps& steps) {
    Script script(steps);
    rig.calibrate();
    QCOMPARE(script.steps_done(), steps.size());
}

}  // namespace

class CalibrationLanguageTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    }

    void genericCalibration_data() { each_language(); }
    void genericCalibration() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig;
        rig.serve(0);
        const auto task = sim::serve_calibration(*rig.module);
        rig.open();
        ScreenTexts method, run;
        calibrate_through(rig,
                          {
                              [&] {
                                  auto* dialog = modal<gui::CalibrationMethodDialog>();
                                  if (!dialog) return false;
                                  // The sensors are named by the description.
                                  dialog->method_box()->setCurrentIndex(4);  // the channels show
                                  method.take(dialog, {dialog->sensor_box()});
                                  dialog->method_box()->setCurrentIndex(1);
                                  method.take(dialog, {dialog->sensor_box()});
                                  save_picture(dialog, "calibration_method", language);
                                  dialog->sensor_box()->setCurrentIndex(1);
                                  dialog->code_box()->setValue(10);
                                  click_later(dialog->continue_button());
                                  return true;
                              },
                              take_modal<QMessageBox>(method, "calibration_preparation", language),
                              [&] {
                                  auto* dialog = modal<gui::CalibrationRunDialog>();
                                  if (!dialog) return false;
                                  run.take(dialog);
                                  run.add(QStringLiteral("status"), dialog->status_field()->text());
                                  run.add(QStringLiteral("message"), dialog->message_field()->toPlainText());
                                  save_picture(dialog, "calibration_run", language);
                                  QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
                                  return true;
                              },
                              take_modal<QMessageBox>(run, "calibration_closing", language),
                          });
        CHECK_ONE_LANGUAGE(method, language);
        CHECK_ONE_LANGUAGE(run, language);
    }

    void offsetAndScaleWizard_data() { each_language(); }
    void offsetAndScaleWizard() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig(7);
        ScreenTexts texts;
        auto type_code = [](const char* code) {
            return [code] {
                auto* page = page_of<gui::CodePageView>();
                if (!page) return false;
                page->code_edit()->setText(QString::fromLatin1(code));
                click_later(modal<gui::WizardSheet>()->next_button());
                return true;
            };
        };
        calibrate_through(
            rig, {
                     type_code("123"),
                     take_modal<QMessageBox>(texts, "calibration_wizard_wrong_code", language),
                     type_code("738"),
                     // The signal kinds are the description's.
                     take_page<gui::CodePageView>(
                         texts, "calibration_wizard_code", language,
                         [](gui::CodePageView& p) { return p.sensor_list()->isVisible(); },
                         [](gui::CodePageView& p) { return QList<const QWidget*>{p.sensor_list()}; }),
                     [] {
                         page_of<gui::CodePageView>()->sensor_list()->setCurrentRow(2);
                         click_later(modal<gui::WizardSheet>()->next_button());
                         return true;
                     },
                     take_page<gui::TextPageView>(texts, "calibration_wizard_offset", language),
                     press<gui::TextPageView>(&gui::WizardSheet::next_button),
                     take_page<gui::TextPageView>(texts, "calibration_wizard_scale", language,
                                                  at_page<gui::TextPageView>(2)),
                     press<gui::TextPageView>(&gui::WizardSheet::next_button),
                     take_page<gui::TextPageView>(texts, "calibration_wizard_save", language,
                                                  at_page<gui::TextPageView>(3)),
                     press<gui::TextPageView>(&gui::WizardSheet::cancel_button),
                 });
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void strainGaugeWizard_data() { each_language(); }
    void strainGaugeWizard() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        using FirstPage = gui::StrainGaugeFirstPageView;
        // The code typed, the kinds shown and the kind chosen.
        auto choose_kind = [](int kind) {
            return [kind] {
                auto* page = page_of<FirstPage>();
                if (!page) return false;
                page->code_edit()->setText(QStringLiteral("417"));
                modal<gui::WizardSheet>()->next_button()->click();
                page->type_box()->setCurrentIndex(kind);
                if (page->sensitivity_box()->isVisible()) page->sensitivity_box()->setCurrentIndex(0);
                return true;
            };
        };
        // The sensitivities are the module's.
        auto sensitivities = [](FirstPage& p) { return QList<const QWidget*>{p.sensitivity_box()}; };
        ScreenTexts texts;
        {
            ModelDocumentRig rig(13);
            rig.module->set_value("Rd.fV", 0, "0.5");
            calibrate_through(
                rig, {
                         choose_kind(1),
                         take_page<FirstPage>(texts, "strain_gauge_first_page", language, {}, sensitivities),
                         press<FirstPage>(&gui::WizardSheet::next_button),
                         // The live signal arrives with the reading timer.
                         take_page<gui::UserPointPageView>(
                             texts, "strain_gauge_user_page", language,
                             [](gui::UserPointPageView& p) { return !p.signal_label()->text().isEmpty(); },
                             // Its instruction ends on the module's sensitivity and range.
                             [](gui::UserPointPageView& p) { return QList<const QWidget*>{p.text_label()}; }),
                         [&] {
                             auto* page = page_of<gui::UserPointPageView>();
                             texts.add(QStringLiteral("instruction"),
                                       page->text_label()->text().section(QLatin1Char('\n'), 0, -3));
                             page->percent_edit()->setText(QStringLiteral("abc"));
                             click_later(modal<gui::WizardSheet>()->next_button());
                             return true;
                         },
                         take_modal<QMessageBox>(texts, "strain_gauge_bad_input", language),
                         press<gui::UserPointPageView>(&gui::WizardSheet::cancel_button),
                     });
        }
        {
            ModelDocumentRig rig(13);
            calibrate_through(rig,
                              {
                                  choose_kind(0),
                                  press<FirstPage>(&gui::WizardSheet::next_button),
                                  take_page<gui::TextPageView>(texts, "strain_gauge_factory_page", language),
                                  press<gui::TextPageView>(&gui::WizardSheet::cancel_button),
                              });
        }
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void phWizard_data() { each_language(); }
    void phWizard() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig;
        rig.serve(18);
        const auto task = sim::serve_ph_calibration(*rig.module);
        rig.module->set_value("Rd.Rs", -1, "6.870");
        rig.module->set_value("Rd.Tm", -1, "24.5");
        rig.open();
        ScreenTexts texts;
        calibrate_through(
            rig,
            {
                [] {
                    auto* page = page_of<gui::PhCodePageView>();
                    if (!page) return false;
                    page->code_edit()->setText(QStringLiteral("629"));
                    click_later(modal<gui::WizardSheet>()->next_button());
                    return true;
                },
                [&] {
                    // The question lists the module's parameters by their descriptions: only its last
                    // line, the question itself, is the window's.
                    auto* box = modal<QMessageBox>();
                    if (!box) return false;
                    texts.add(QStringLiteral("title"), box->windowTitle());
                    texts.add(QStringLiteral("question"), box->text().section(QLatin1Char('\n'), -1));
                    for (const QAbstractButton* button : box->buttons())
                        texts.add(QStringLiteral("button"), button->text());
                    save_picture(box, "ph_calibration_question", language);
                    box->done(QMessageBox::Yes);
                    return true;
                },
                take_page<gui::PhCodePageView>(
                    texts, "ph_calibration_code", language,
                    [](gui::PhCodePageView& p) { return p.points_list()->isVisible(); }),
                [] {
                    auto* page = page_of<gui::PhCodePageView>();
                    page->calibration_list()->setCurrentRow(0);
                    page->points_list()->setCurrentRow(0);  // one point: then the saving
                    click_later(modal<gui::WizardSheet>()->next_button());
                    return true;
                },
                // The live value arrives from the reading thread.
                take_page<gui::PhStepPageView>(
                    texts, "ph_calibration_point", language,
                    [](gui::PhStepPageView& p) { return !p.temperature_field()->text().isEmpty(); }),
                [] {
                    page_of<gui::PhStepPageView>()->buffer_edit()->setText(QStringLiteral("6.86"));
                    click_later(modal<gui::WizardSheet>()->next_button());
                    return true;
                },
                take_page<gui::TextPageView>(
                    texts, "ph_calibration_save", language,
                    [](gui::TextPageView&) { return !modal<gui::WizardSheet>()->busy_bar()->isVisible(); }),
                press<gui::TextPageView>(&gui::WizardSheet::finish_button),
                take_modal<QMessageBox>(texts, "ph_calibration_slope", language),
            });
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void meterWizard_data() { each_language(); }
    void meterWizard() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig(19);
        ScreenTexts texts;
        auto at_point = at_page<gui::MeterPointPageView>;
        calibrate_through(
            rig,
            {
                take_page<gui::MeterPointPageView>(texts, "meter_calibration_first", language, at_point(0)),
                [&] {
                    if (!page_of<gui::MeterPointPageView>(at_point(0))) return false;
                    modal<gui::WizardSheet>()->next_button()->click();
                    // The module reports the first point measured by its bit.
                    rig.module->set_value("Mode", -1, "2");
                    return true;
                },
                take_page<gui::MeterPointPageView>(texts, "meter_calibration_point", language, at_point(1)),
                [&] {
                    if (!page_of<gui::MeterPointPageView>(at_point(1))) return false;
                    modal<gui::WizardSheet>()->next_button()->click();
                    // The error bit beside the second point's.
                    rig.module->set_value("Mode", -1, "5");
                    return true;
                },
                take_page<gui::TextPageView>(texts, "meter_calibration_error", language),
                press<gui::TextPageView>(&gui::WizardSheet::cancel_button),
            });
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void inductanceWizard_data() { each_language(); }
    void inductanceWizard() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig(12);
        using FirstPage = gui::InductanceCodePageView;
        ScreenTexts texts;
        calibrate_through(
            rig, {
                     [] {
                         auto* page = page_of<FirstPage>();
                         if (!page) return false;
                         page->code_edit()->setText(QStringLiteral("852"));
                         modal<gui::WizardSheet>()->next_button()->click();
                         page->type_list()->setCurrentRow(1);  // the user's: the methods show
                         page->method_list()->setCurrentRow(1);
                         return true;
                     },
                     take_page<FirstPage>(texts, "inductance_calibration_first", language),
                     press<FirstPage>(&gui::WizardSheet::next_button),
                     take_page<gui::PointsTablePageView>(texts, "inductance_calibration_table", language),
                     [] {
                         auto* page = page_of<gui::PointsTablePageView>();
                         page->node_count_edit()->setText(QStringLiteral("22"));
                         emit page->node_count_edit()->textEdited(QStringLiteral("22"));
                         click_later(page->apply_button());
                         return true;
                     },
                     take_modal<QMessageBox>(texts, "inductance_calibration_count", language),
                     press<gui::PointsTablePageView>(&gui::WizardSheet::cancel_button),
                 });
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void outputCalibration_data() { each_language(); }
    void outputCalibration() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig;
        rig.serve(1);
        // The first coefficient cannot be edited: choosing it asks first.
        sim::Entry k = *rig.module->entry("CLB.K", 0);
        k.access = 0;
        rig.module->add(k);
        rig.open();
        ScreenTexts texts;
        calibrate_through(rig, {
                                   [&] {
                                       auto* dialog = modal<gui::OutputCalibrationDialog>();
                                       if (!dialog) return false;
                                       dialog->coefficients()->setCurrentRow(3);
                                       texts.take(dialog);
                                       save_picture(dialog, "output_calibration", language);
                                       QMetaObject::invokeMethod(
                                           dialog, [dialog] { dialog->coefficients()->setCurrentRow(0); },
                                           Qt::QueuedConnection);
                                       return true;
                                   },
                                   [&] {
                                       auto* box = modal<QMessageBox>();
                                       if (!box) return false;
                                       texts.take(box);
                                       save_picture(box, "output_calibration_question", language);
                                       click_later(box->button(QMessageBox::No));
                                       return true;
                                   },
                               });
        CHECK_ONE_LANGUAGE(texts, language);
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(CalibrationLanguageTest)
#include "gui_calibration_language_test.moc"
