// The main window over a real document of an in-process simulated module (or none), as the Qt tests of
// the window use it.
#pragma once

#include <chrono>
#include <memory>

#include "core/app/document/document.h"
#include "core/devices/brand.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/ui.h"
#include "gui/document/main_window.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"

namespace varda::test {

// One document with its window, over an in-process module (or none).
struct MainWindowRig {
    explicit MainWindowRig(std::shared_ptr<sim::SimulatedModule> module, const CBrand& brand,
                           std::unique_ptr<Ui> user_interface = std::make_unique<gui::QtUi>())
        : ui(std::move(user_interface)) {
        set_ui(ui.get());
        auto line = std::make_unique<sim::InProcessBackend>(module);
        backend = line.get();
        doc = std::make_unique<CTarnDoc>(options, std::move(line));
        doc->device().finish_grace = std::chrono::milliseconds(0);
        window = std::make_unique<gui::MainWindow>(*doc, options, brand);
    }
    ~MainWindowRig() {
        doc->modified = false;  // no question about saving while the window goes
        window.reset();
        doc.reset();
        set_ui(nullptr);
    }
    // Connects to the module and builds its tree, as the program does at start.
    bool connect() {
        doc->start(false, false);
        const bool built = doc->new_document();
        window->update_from_document();
        return built;
    }

    std::unique_ptr<Ui> ui;
    Options options;
    sim::InProcessBackend* backend = nullptr;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<gui::MainWindow> window;
};

}  // namespace varda::test
