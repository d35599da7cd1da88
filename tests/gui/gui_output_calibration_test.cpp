// The analog-output "Calibration" dialog on screen, opened by the model's calibrate operation against the
// simulated module: choosing a coefficient, stepping and typing its code, finishing, and declining a
// non-editable coefficient. Also renders the dialog to <build>/screenshots.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "core/app/document.h"
#include "core/app/paths.h"
#include "core/app/settings_store.h"
#include "core/devices/base_device.h"
#include "core/devices/device_table.h"
#include "core/link/frame_codec.h"
#include "core/model/description_archive.h"
#include "gui/output_calibration_dialog.h"
#include "gui/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"

using namespace varda;

namespace {

// Steps tried in turn from a timer, each until it reports done, so that the modal dialogs that come up on
// the way are driven as well.
class Script : public QObject {
  public:
    explicit Script(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            while (next_ < steps_.size() && steps_[next_]())
                ++next_;
        });
        timer_.start(20);
    }
    std::size_t steps_done() const { return next_; }

  private:
    std::vector<std::function<bool()>> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
};

void click_later(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

template <typename T>
T* modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// A VK01 document over a simulated VK01 whose fourth output is discrete.
struct Rig {
    Rig() : module(std::make_shared<sim::SimulatedModule>()) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        ui.set_main_window(&main_window);
        DescriptionArchive archive(description_archive_path(), false);
        const DescriptionText text = ReadModelDescription(archive, 1);
        std::string error;
        QVERIFY(text.ok);
        QVERIFY(sim::serve_model(*module, 1, text.text, error));
        module->set_value("out.t", 3, "Дискретный");
        set_current_model_index(1);
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
        QVERIFY(doc->load_description());
        QCOMPARE(doc->device().open_with_settings(false), 0);
    }
    ~Rig() {
        doc.reset();
        ui.set_main_window(nullptr);
        set_ui(nullptr);
        set_settings_store(nullptr);
        set_current_model_index(kNoModel);
    }
    void calibrate() { doc->description().device_model()->Calibrate(); }
    int code(int coefficient) const { return std::stoi(*module->value("CLB.K", coefficient)); }
    int sent(const char* name) const { return module->requests_seen(hash_name(name)); }

    MemorySettingsStore store;
    QWidget main_window;
    gui::QtUi ui;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
};

}  // namespace

class OutputCalibrationTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        folder_ =
            QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots")).absolutePath();
        QVERIFY(QDir().mkpath(folder_));
    }

    void chooseStepTypeAndFinish() {
        Rig rig;
        rig.module->set_value("CLB.K", 3, "3902");
        QStringList entries;
        bool enabled_before = true;
        bool enabled_after = false;
        int shown = -1;
        int after_step = -1;
        QString title;
        Script script({[&] {
            auto* dialog = modal<gui::CCalibration>();
            if (!dialog) return false;
            title = dialog->windowTitle();
            for (int i = 0; i < dialog->coefficients()->count(); ++i)
                entries << dialog->coefficients()->item(i)->text();
            enabled_before = dialog->value_field()->isEnabled() || dialog->step_button(0)->isEnabled();
            save(dialog->grab(), "output_calibration_start");
            dialog->coefficients()->setCurrentRow(3);  // K20 of output 2
            enabled_after = dialog->value_field()->isEnabled() && dialog->step_button(5)->isEnabled();
            shown = dialog->value_field()->value();
            dialog->step_button(5)->click();  // +10
            dialog->step_button(2)->click();  // -5
            after_step = dialog->value_field()->value();
            save(dialog->grab(), "output_calibration");
            dialog->value_field()->setValue(3911);
            emit dialog->value_field()->editingFinished();
            click_later(dialog->finish_button());
            return true;
        }});
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(1));
        QCOMPARE(title, QStringLiteral("Calibration"));
        QCOMPARE(entries.size(), 14);  // eight outputs, the discrete one left out
        QCOMPARE(entries.front(), QStringLiteral("K4  выхода №1"));
        QVERIFY(!entries.contains(QStringLiteral("K4  выхода №4")));
        QVERIFY(!enabled_before);
        QVERIFY(enabled_after);
        QCOMPARE(shown, 3902);
        QCOMPARE(after_step, 3907);
        QCOMPARE(rig.code(3), 3911);
        QCOMPARE(rig.sent("CLB.I"), 1);
        QCOMPARE(rig.sent("CLB.A"), 1);
    }

    void decliningANonEditableCoefficientCloses() {
        Rig rig;
        sim::Entry k = *rig.module->entry("CLB.K", 0);
        k.access = 0;
        rig.module->add(k);
        QString question;
        Script script({
            [&] {
                auto* dialog = modal<gui::CCalibration>();
                if (!dialog) return false;
                QMetaObject::invokeMethod(
                    dialog, [dialog] { dialog->coefficients()->setCurrentRow(0); }, Qt::QueuedConnection);
                return true;
            },
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                question = box->text();
                click_later(box->button(QMessageBox::No));
                return true;
            },
        });
        rig.calibrate();

        QCOMPARE(script.steps_done(), std::size_t(2));
        QCOMPARE(question, QStringLiteral("Предупреждение:\nУ параметра CLB.K:0 установлен атрибут "
                                          "'Нередактируемый'.\n\nПродолжить юстировку?"));
        QVERIFY(!modal<gui::CCalibration>());
        QCOMPARE(rig.sent("CLB.I"), 0);
        QCOMPARE(rig.sent("CLB.A"), 1);
    }

  private:
    void save(const QPixmap& picture, const char* name) {
        QVERIFY(picture.save(folder_ + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png")));
    }

    QTemporaryDir settings_dir_;
    QString folder_;
};

QTEST_MAIN(OutputCalibrationTest)
#include "gui_output_calibration_test.moc"
