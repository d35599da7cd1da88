// Helpers the core tests share: a model's simulated module served in process from varda.dat, the model's
// tree over a device (or a document) on that module, and the requests the module received.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/app/document/tree_commit.h"
#include "core/app/tree/tree_edit.h"
#include "core/devices/base_device.h"
#include "core/devices/models.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/protocol/frame_codec.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"

namespace varda::test {

// The model's description text from varda.dat, served by the module; the test fails when either fails.
inline std::string serve_archived_model(sim::SimulatedModule& module, int model) {
    DescriptionArchive archive(VARDA_DAT_PATH, false);
    const DescriptionText text = ReadModelDescription(archive, model);
    EXPECT_TRUE(text.ok);
    std::string error;
    EXPECT_TRUE(sim::serve_model(module, model, text.text, error)) << error;
    return text.text;
}

// Opens the device's port on the simulated module, at the baud rate given (0: the port's own).
inline void open_sim_port(Device& device, int baud_rate = 0) {
    device.sio().settings.port_name = "sim";
    if (baud_rate != 0) device.sio().settings.baud_rate = baud_rate;
    EXPECT_EQ(device.sio().open(), OpenResult::Opened);
}

// A document of `model` over the port, its description loaded from varda.dat.
inline std::unique_ptr<CTarnDoc> load_model_document(int model, Options& options,
                                                     std::unique_ptr<sim::InProcessBackend> port) {
    auto doc = std::make_unique<CTarnDoc>(options, std::move(port));
    doc->context().model = model;
    doc->archive_path = VARDA_DAT_PATH;
    EXPECT_TRUE(doc->load_description());
    return doc;
}

// A request as the module received it: its bytes decoded, with the name's hash and the read flag.
struct ReceivedRequest {
    Bytes bytes;
    std::uint16_t hash = 0;
    bool read = false;
    std::size_t length = 0;  // of the request's data
};

// The requests the module received since its log was cleared, in order (frames too short to name a
// parameter left out).
inline std::vector<ReceivedRequest> received_requests(const sim::SimulatedModule& module) {
    std::vector<ReceivedRequest> out;
    for (const sim::LogEntry& entry : module.log()) {
        if (entry.direction != sim::LogEntry::Direction::Received) continue;
        const auto bytes = decode_buffer(std::string_view(entry.frame).substr(1, entry.frame.size() - 2));
        if (!bytes || bytes->size() < 4) continue;
        out.push_back({*bytes, static_cast<std::uint16_t>((*bytes)[2] << 8 | (*bytes)[3]),
                       ((*bytes)[1] >> 4 & 1) != 0, static_cast<std::size_t>((*bytes)[1] & 0x0F)});
    }
    return out;
}

// The requests the module received for these names, as "W name" or "R name", in order.
inline std::vector<std::string> named_requests(const sim::SimulatedModule& module,
                                               std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    for (const ReceivedRequest& r : received_requests(module))
        for (const char* name : names)
            if (hash_name(name) == r.hash) out.push_back((r.read ? "R " : "W ") + std::string(name));
    return out;
}

// The texts of the messages shown so far.
inline std::vector<std::string> message_texts(const HeadlessUi& ui) {
    std::vector<std::string> out;
    for (const auto& m : ui.messages())
        out.push_back(m.text);
    return out;
}

// A model's tree over a device on its simulated module, as the document has them when a command is
// chosen. The module's log starts empty.
struct ModelDeviceRig {
    explicit ModelDeviceRig(int model, bool has_main_window = false, int baud_rate = 115200)
        : module(std::make_shared<sim::SimulatedModule>()), ui(has_main_window) {
        const std::string text = serve_archived_model(*module, model);
        set_ui(&ui);
        device = std::make_unique<Device>(context, std::make_unique<sim::InProcessBackend>(module), options);
        open_sim_port(*device, baud_rate);
        context.model = model;
        description.model_index = model;
        description.model_factory = create_device_model;
        description.LoadDescriptionText(text);
        device->set_device_model(description.device_model().get());
        module->clear_log();
    }
    ~ModelDeviceRig() {
        device->set_device_model(nullptr);
        set_ui(nullptr);
    }
    ModelDeviceRig(const ModelDeviceRig&) = delete;
    ModelDeviceRig& operator=(const ModelDeviceRig&) = delete;

    void faults(auto change) {
        sim::Faults f;
        change(f);
        module->set_faults(f);
    }

    std::shared_ptr<sim::SimulatedModule> module;
    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::unique_ptr<Device> device;
    DescriptionContext description;
};

// A parameter of the tree by network name, depth first.
inline Parameter* find_parameter_named(DescBranch& branch, std::string_view name) {
    if (Parameter* p = branch.FindOwnParameter(name)) return p;
    for (auto& child : branch.children)
        if (Parameter* p = find_parameter_named(*child, name)) return p;
    return nullptr;
}

// A document of `model` (VK03 unless given) whose port leads to the simulated module, with the tree's
// edit logic over it. Its tree is built before the module is identified, unless a module version is given
// ("1.0", "2.10"): then the module reports it and the tree is built for it, as after connecting.
struct TreeEditRig {
    explicit TreeEditRig(int model = 3, const char* version = nullptr)
        : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        serve_archived_model(*module, model);
        if (version) {
            EXPECT_TRUE(module->set_value("ver", -1, version));
            doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
            doc->archive_path = VARDA_DAT_PATH;
            open_sim_port(doc->device());
            EXPECT_EQ(doc->device().identify(false), Identification::KnownModel);
            EXPECT_EQ(doc->context().model.load(), model);
            EXPECT_TRUE(doc->load_description());
        } else {
            doc = load_model_document(model, options, std::make_unique<sim::InProcessBackend>(module));
            open_sim_port(doc->device());
        }
        doc->device().finish_grace = std::chrono::milliseconds(0);
        edit = std::make_unique<TreeEdit>(*doc);
    }
    ~TreeEditRig() {
        edit.reset();
        doc.reset();
        set_ui(nullptr);
    }
    TreeEditRig(const TreeEditRig&) = delete;
    TreeEditRig& operator=(const TreeEditRig&) = delete;

    Parameter& p(std::string_view name) {
        Parameter* found = find_parameter_named(*doc->root(), name);
        EXPECT_NE(found, nullptr) << name;
        return *found;
    }
    std::vector<std::string> messages() const { return message_texts(ui); }

    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<TreeEdit> edit;
};

}  // namespace varda::test
