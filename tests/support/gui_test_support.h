// Helpers the Qt tests share: driving modal windows from a timer, a document over a simulated module of
// a model served in process from varda.dat, and pictures saved to <build>/screenshots.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/document/document.h"
#include "core/app/files/paths.h"
#include "core/app/service/model_calibration.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/calibration/calibration_wizard.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"

namespace varda::test {

// Steps tried in turn from a timer, each until it reports done, so that the modal windows that come up on
// the way are driven as well. Whatever opens a modal window is queued, so no step ever blocks.
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

inline void click_later(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

template <typename T>
T* modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// The wizard when it shows the page with this title.
inline gui::WizardSheet* sheet_on(const char* title) {
    auto* sheet = modal<gui::WizardSheet>();
    return sheet && sheet->title_label()->text() == QString::fromUtf8(title) ? sheet : nullptr;
}

template <typename View>
View* view_of(gui::WizardSheet* sheet) {
    return sheet ? dynamic_cast<View*>(sheet->current_view()) : nullptr;
}

// The model's description read from the archive and served by the module; not ok when either fails.
inline DescriptionText serve_archived_model(sim::SimulatedModule& module, int model,
                                            const std::string& archive_path = description_archive_path()) {
    DescriptionArchive archive(archive_path, false);
    DescriptionText text = ReadModelDescription(archive, model);
    std::string error;
    text.ok = text.ok && sim::serve_model(module, model, text.text, error);
    return text;
}

// A module of the model in the same process, or null when it cannot be served.
inline std::shared_ptr<sim::SimulatedModule> served_module(int model) {
    auto module = std::make_shared<sim::SimulatedModule>();
    return serve_archived_model(*module, model).ok ? module : nullptr;
}

// A document of the model over its simulated module, on the "sim" port, with a window for messages.
// serve() and open() apart let a test set the module up before the document connects.
struct ModelDocumentRig {
    ModelDocumentRig() : module(std::make_shared<sim::SimulatedModule>()) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        ui.set_main_window(&main_window);
    }
    explicit ModelDocumentRig(int model) : ModelDocumentRig() {
        serve(model);
        open();
    }
    ~ModelDocumentRig() {
        doc.reset();
        ui.set_main_window(nullptr);
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    void serve(int model) {
        model_ = model;
        QVERIFY(serve_archived_model(*module, model).ok);
    }
    void open() {
        if (QTest::currentTestFailed()) return;
        auto port = std::make_unique<sim::InProcessBackend>(module);
        backend = port.get();
        doc = std::make_unique<CTarnDoc>(options, std::move(port));
        doc->context().model = model_;
        QVERIFY(doc->load_description());
        QCOMPARE(doc->device().open_with_settings(false), OpenResult::Opened);
    }
    void calibrate() { calibrate_model(*doc->device_model()); }

    MemorySettingsStore store;
    QWidget main_window;
    gui::QtUi ui;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    sim::InProcessBackend* backend = nullptr;
    std::unique_ptr<CTarnDoc> doc;

  private:
    int model_ = kNoModel;
};

// <build>/screenshots, where the tests leave pictures for a person to look at.
inline QString screenshot_folder() {
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots")).absolutePath();
}

inline void save_screenshot(const QPixmap& picture, const char* name) {
    const QString path =
        screenshot_folder() + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    QVERIFY2(picture.save(path), qPrintable(path));
}

}  // namespace varda::test
