// Two documents in one process, each on its own terminal with a simulated module of another model, read
// at the same time: nothing of one connection may reach the other.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/link/exit_status.h"
#include "core/link/posix_serial_backend.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

// A model served by varda-sim and a document connected to it, its tree built for the model found.
struct Side {
    explicit Side(int model)
        : model(model), sim({"--model", std::to_string(model), "--archive", VARDA_DAT_PATH}) {
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<PosixSerialBackend>());
        doc->archive_path = VARDA_DAT_PATH;
        Device& device = doc->device();
        device.finish_grace = std::chrono::milliseconds(0);
        device.sio().settings.port_name = sim.path();
        device.sio().settings.base_address = 16;
        EXPECT_EQ(device.sio().open(), OpenResult::Opened) << device.sio().open_error();
        // Another process answers: on a busy machine later than a module would.
        device.sio().set_reply_timeout_ms(3000);
    }

    // What the module holds, read parameter by parameter by a client of its own, alone on the line.
    std::vector<std::string> module_values(const std::vector<Parameter*>& parameters) {
        doc->device().sio().close();
        ModuleContext own;
        own.model = model;
        own.formatting = doc->device_model();
        DeviceIO io(own, std::make_unique<PosixSerialBackend>(), options);
        io.sio().settings = doc->device().sio().settings;
        std::vector<std::string> values;
        if (io.sio().open() != OpenResult::Opened) return values;
        for (const Parameter* p : parameters) {
            Parameter copy(p->network_name());
            copy.set_data_type(p->data_type());
            copy.indexed = p->indexed;
            copy.network_index = p->network_index;
            copy.address_offset = p->address_offset;
            copy.attributes_flag = p->attributes_flag;
            values.push_back(io.request(true, &copy) == RequestResult::Done ? copy.value_text()
                                                                            : "<" + copy.error_text + ">");
        }
        return values;
    }

    int model;
    testing::SimProcess sim;
    Options options;
    std::unique_ptr<CTarnDoc> doc;
};

TEST(TwoModules, TwoDocumentsReadTheirOwnModulesAtTheSameTime) {
    HeadlessUi ui;
    set_ui(&ui);
    {
        // VK03 decodes measured values by type, VK12 in its status-or-value form: a formatting that
        // reached the wrong line would show in the values.
        Side a(3);
        Side b(12);
        std::vector<Side*> sides{&a, &b};
        std::vector<std::thread> threads;
        for (Side* side : sides)
            threads.emplace_back([side] {
                CTarnDoc& doc = *side->doc;
                if (doc.device().identify(false) == Identification::KnownModel && doc.load_description())
                    doc.read_all();
            });
        for (std::thread& t : threads)
            t.join();
        ui.run_posted();

        for (Side* side : sides) {
            SCOPED_TRACE(std::string(display_name(side->model)));
            CTarnDoc& doc = *side->doc;
            EXPECT_EQ(doc.context().model.load(), side->model);
            ASSERT_NE(doc.device_model(), nullptr);
            EXPECT_EQ(doc.device_model()->model_index(), side->model);
            EXPECT_EQ(doc.context().status.word(), 0u)
                << exit_code_meaning(exit_code_of(doc.context().status.word()));
            const std::vector<Parameter*> parameters = doc.tree_parameters();
            ASSERT_GT(parameters.size(), 10u);
            const std::vector<std::string> held = side->module_values(parameters);
            ASSERT_EQ(held.size(), parameters.size());
            bool named = false;
            for (std::size_t k = 0; k < parameters.size(); ++k) {
                const Parameter& p = *parameters[k];
                EXPECT_EQ(p.error_text, "") << p.Label();
                EXPECT_EQ(p.value_text(), held[k]) << p.Label();
                if (p.network_name() == "dev") {
                    named = true;
                    EXPECT_EQ(p.value_text(), device_row(side->model)->identification);
                }
            }
            EXPECT_TRUE(named) << "the tree reads no \"dev\"";
        }
    }
    set_ui(nullptr);
}

}  // namespace
}  // namespace varda
