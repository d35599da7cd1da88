// A simulated VK05 that answers the identification's requests ("dev" and "ver") in process, with the
// process-wide user interface and settings (115200 baud) the connection reads, for the test's length.
#pragma once

#include <memory>

#include "core/app/command_line/headless_ui.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/module_context.h"
#include "core/platform/settings_store.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"

namespace varda::test {

struct IdentifyingModuleRig {
    IdentifyingModuleRig() : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        store.set_int(kSettingsGroup, "baud_rate", 115200);
        set_settings_store(&store);
        module->add({.name = "dev",
                     .type = "string",
                     .value = "vk05-dv",
                     .read_only = true,
                     .has_attributes = false});
        module->add(
            {.name = "ver", .type = "string", .value = "2.10", .read_only = true, .has_attributes = false});
    }
    ~IdentifyingModuleRig() {
        set_settings_store(nullptr);
        set_ui(nullptr);
    }
    IdentifyingModuleRig(const IdentifyingModuleRig&) = delete;
    IdentifyingModuleRig& operator=(const IdentifyingModuleRig&) = delete;

    // A new line to the module; `backend` names it.
    std::unique_ptr<sim::InProcessBackend> line() {
        auto made = std::make_unique<sim::InProcessBackend>(module);
        backend = made.get();
        return made;
    }

    HeadlessUi ui;
    MemorySettingsStore store;
    ModuleContext context;  // the connection's own model, status and lock
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    sim::InProcessBackend* backend = nullptr;
};

}  // namespace varda::test
