// The electrical-meter calibration wizard on screen, started by the model's Calibrate: a complete
// four-point run of VK20 against the simulated module with the real reading thread, the module reporting
// each point by its status word, and a run of VK19 that ends on the error page when the module reports an
// error. Also renders the pages to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/busy_progress.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/calibration/wizards/meter_calibration_pages.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

// The wizard when it shows page `index` (VK20's last two points share one title).
gui::WizardSheet* sheet_at(int index) {
    auto* sheet = qobject_cast<gui::WizardSheet*>(QApplication::activeModalWidget());
    return sheet && sheet->current_view() && sheet->current_view() == sheet->page_view(index) ? sheet
                                                                                              : nullptr;
}

gui::MeterPointPageView* point_view(gui::WizardSheet* sheet) {
    return qobject_cast<gui::MeterPointPageView*>(sheet->current_view());
}

// A document of the model over its simulated module.
struct Rig : ModelDocumentRig {
    using ModelDocumentRig::ModelDocumentRig;
    void status(unsigned word) { module->set_value("Mode", -1, std::to_string(word)); }
};

}  // namespace

class MeterCalibrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void fourPointsOfVk20() {
        Rig rig(20);
        const unsigned point_bits[] = {0x02, 0x04, 0x40, 0x80};
        QStringList titles;
        QStringList texts;
        bool first_page_ok = false;
        bool progress_shown = false;
        bool idle_label_hidden = true;
        bool end_page_ok = false;
        std::vector<std::function<bool()>> steps;
        for (int point = 0; point < 4; ++point) {
            steps.push_back([&, point] {
                auto* sheet = sheet_at(point);
                if (!sheet) return false;
                titles << sheet->title_label()->text();
                texts << point_view(sheet)->text_label()->text();
                idle_label_hidden = idle_label_hidden && point_view(sheet)->progress_label()->isHidden();
                if (point == 0) {
                    first_page_ok = !sheet->back_button()->isEnabled() && sheet->next_button()->isEnabled();
                    save_screenshot(sheet->grab(), "meter_calibration");
                }
                sheet->next_button()->click();
                return true;
            });
            steps.push_back([&, point] {
                // The module measures the point until it sets the point's bit.
                auto* sheet = sheet_at(point);
                if (!sheet) return false;
                if (point == 0) {
                    progress_shown = sheet->busy_bar()->isVisible() &&
                                     point_view(sheet)->progress_label()->isVisible() &&
                                     !sheet->next_button()->isEnabled();
                    save_screenshot(sheet->grab(), "meter_calibration_busy");
                }
                rig.status(point_bits[point]);
                return true;
            });
        }
        steps.push_back([&] {
            auto* sheet = sheet_at(4);
            if (!sheet) return false;
            titles << sheet->title_label()->text();
            end_page_ok = sheet->next_button()->isHidden() && sheet->finish_button()->isEnabled() &&
                          !sheet->back_button()->isEnabled() && sheet->busy_bar()->isHidden() &&
                          static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text() ==
                              QStringLiteral("Калибровка завершена!");
            save_screenshot(sheet->grab(), "meter_calibration_end");
            click_later(sheet->finish_button());
            return true;
        });
        Script script(std::move(steps));
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(9));
        QCOMPARE(titles, QStringList({"Шаг 1", "Шаг 2", "Шаг 3", "Шаг 3", "Завершение калибровки"}));
        QCOMPARE(texts.value(0),
                 QStringLiteral("To start the calibration:\n\n1. Set input signal U= 220.000 V, "
                                "I=5.000 A, cos(phi)=1\n2. Click \"Next\""));
        QCOMPARE(texts.value(3),
                 QStringLiteral("1. Set input signal U=100 V, I=1 A, cos(phi)=1\n2. Click \"Next\""));
        QVERIFY(first_page_ok);
        QVERIFY(progress_shown);
        QVERIFY(idle_label_hidden);
        QVERIFY(end_page_ok);
        QCOMPARE(rig.module->value("Mode"), std::optional<std::string>("128"));
    }

    void errorBitEndsOnTheErrorPage() {
        Rig rig(19);
        QString error_text;
        QString error_buttons;
        Script script({
            [&] {
                auto* sheet = sheet_at(0);
                if (!sheet) return false;
                sheet->next_button()->click();
                // The error bit beside the point's bit.
                rig.status(0x03);
                return true;
            },
            [&] {
                auto* sheet = qobject_cast<gui::WizardSheet*>(QApplication::activeModalWidget());
                if (!sheet || sheet->title_label()->text() != QStringLiteral("Ошибка юстировки"))
                    return false;
                error_text = static_cast<gui::TextPageView*>(sheet->current_view())->text_label()->text();
                error_buttons =
                    sheet->finish_button()->text() + QLatin1Char('/') + sheet->cancel_button()->text();
                save_screenshot(sheet->grab(), "meter_calibration_error");
                click_later(sheet->cancel_button());
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(2));
        QCOMPARE(error_text,
                 QStringLiteral("Calibration error. You can try it later.\n\nДля того чтобы повторить "
                                "операцию юстировки нажмите кнопку «Повторить»."));
        QCOMPARE(error_buttons, QStringLiteral("Повторить/Выход"));
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(MeterCalibrationTest)
#include "gui_meter_calibration_test.moc"
