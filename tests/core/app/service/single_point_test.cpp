// The single-parameter service tool against a VK03 description and the simulated module: what a name
// shows, and what Execute sends and traces.
#include "core/app/service/single_point.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using Function = SinglePointController::Function;
using IndexKind = SinglePointController::IndexKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kVk03 = 3;

// A VK03 document whose port leads to a simulated VK03, and the tool opened on it.
struct Rig {
    Rig() : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        test::serve_archived_model(*module, kVk03);
        doc = test::load_model_document(kVk03, options, std::make_unique<sim::InProcessBackend>(module));
        doc->device().finish_grace = 0ms;
        test::open_sim_port(doc->device());
        tool = std::make_unique<SinglePointController>(*doc);
        module->reset_counters();
    }
    ~Rig() {
        tool.reset();
        doc.reset();
        set_ui(nullptr);
    }
    // A declaration the VK03 description lacks, served by the module as well.
    void declare(const std::string& name, const std::string& type, const std::string& value) {
        DescParameter d;
        d.name = name;
        d.type_text = type;
        d.description = "Test_value";
        doc->description().parameter_descriptions.push_back(d);
        module->add({.name = name, .type = type, .value = value});
    }
    void run(const std::string& name, Function function, const std::string& data = {}) {
        tool->name = name;
        tool->update_for_name();
        tool->function = function;
        tool->write_data = data;
        tool->execute();
    }
    std::string last_line() const { return tool->trace.empty() ? "" : tool->trace.back(); }
    bool traced(const std::string& line) const {
        return std::find(tool->trace.begin(), tool->trace.end(), line) != tool->trace.end();
    }

    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<SinglePointController> tool;
};

TEST(SinglePoint, OpensOnTheDeclaredNamesInDeclarationOrder) {
    Rig t;
    const auto names = t.tool->parameter_names();
    ASSERT_GE(names.size(), 5u);
    EXPECT_THAT(std::vector(names.begin(), names.begin() + 5),
                ElementsAre("!dev", "!ver", "!CodP", "t.out", "bPS"));
    EXPECT_EQ(t.tool->name, "!vEr");
    EXPECT_EQ(t.tool->description_text, "Parameter description");
    t.tool->update_for_name();
    EXPECT_EQ(t.tool->description_text, "Версия программы модуля (string)");
}

TEST(SinglePoint, UpdatingForTheName) {
    struct Case {
        const char* name;
        const char* hash;
        const char* description;
    };
    const Case cases[] = {
        {"addr", "0x9F62", "Сетевой адрес (int)"}, {"ADDR", "0x9F62", "Сетевой адрес (int)"},
        {"aDdR", "0x9F62", "Сетевой адрес (int)"}, {"PRTY", nullptr, "Контроль четности (None:Even:Odd)"},
        {"nope", nullptr, " (<not described>)"},   {"", "0x0", " (<not described>)"},
    };
    Rig t;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.tool->indexed = true;
        t.tool->write_data = "old";
        t.tool->name = c.name;
        t.tool->update_for_name();
        if (c.hash) {
            EXPECT_EQ(t.tool->hash_text, c.hash);
        }
        EXPECT_EQ(t.tool->description_text, c.description);
        EXPECT_FALSE(t.tool->indexed);
        EXPECT_THAT(t.tool->write_data, IsEmpty());
    }
}

TEST(SinglePoint, WriteDataOffersTheItemsOfListTypesOnly) {
    struct Case {
        const char* name;
        std::vector<std::string> items;
    };
    Rig t;
    t.declare("Mode", "Off:<hide>Service:Auto_mode:<hide>Factory", "Off");
    t.declare("Gain", "float:2", "1.00");
    t.declare("Cnt", "int:0", "0");
    const Case cases[] = {
        {"prty", {"None", "Even", "Odd"}},
        {"Mode", {"Off", "Auto mode"}},
        {"t.out", {}},
        {"!dev", {}},
        {"Gain", {}},
        {"Cnt", {}},
        {"nope", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.tool->name = c.name;
        t.tool->update_for_name();
        EXPECT_EQ(t.tool->write_items, c.items);
    }
}

TEST(SinglePoint, UndeclaredNameIsRefusedAndNothingIsSent) {
    Rig t;
    t.run("XyZ", Function::Read);
    const auto messages = t.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Parameter XyZ not described!");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_THAT(t.tool->trace, IsEmpty());
    EXPECT_EQ(t.module->requests_total(), 0);
}

TEST(SinglePoint, ReadTracesTheExchangeAndTheAnswer) {
    Rig t;
    t.tool->trace = {"left over"};
    t.run("!vEr", Function::Read);
    const auto& trace = t.tool->trace;
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace.front(), "!vEr (Версия программы модуля)");
    EXPECT_TRUE(t.traced("0 data bytes in request frame"));
    EXPECT_TRUE(t.traced("<< response: # 0 : 048 = 0x30 (0)"));  // texts travel last character first
    // The frames themselves, decoded as the bus monitor shows them.
    const auto decoded = [&trace](std::string_view start, std::string_view part) {
        return std::any_of(trace.begin(), trace.end(), [&](const std::string& line) {
            return line.rfind(start, 0) == 0 && line.find(part) != std::string::npos;
        });
    };
    EXPECT_TRUE(decoded("0.000 TX addr=16 ver read", " bytes=#"));
    EXPECT_TRUE(decoded("", " RX addr=16 ver value=\"" + std::string(sim::kModelVersion) + "\""));
    EXPECT_THAT(std::vector(trace.end() - 2, trace.end()),
                ElementsAre("No error. String notation answer:", std::string(sim::kModelVersion)));
    EXPECT_TRUE(t.ui.messages().empty());
}

TEST(SinglePoint, WriteSendsTheDataAndTracesTheValueReturned) {
    struct Case {
        const char* name;
        const char* data;
        const char* module_value;
    };
    const Case cases[] = {
        {"t.out", "20", "20"},
        {"PrtY", "Even", "Even"},
        // A hidden item keeps its place in the list: the item after it is sent as number 2.
        {"Mode", "Auto mode", "Auto mode"},
    };
    Rig t;
    t.declare("Mode", "Off:<hide>Service:Auto_mode", "Off");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.run(c.name, Function::Write, c.data);
        EXPECT_EQ(t.module->value(c.name), c.module_value);
        EXPECT_EQ(t.last_line(), std::string("Record is done. No error.  Value returned: '") + c.data + "'");
    }
}

TEST(SinglePoint, DecimalPlacesOfTheTypeTextReachTheWrittenData) {
    Rig t;
    t.declare("Sd", "stored_dot:2", "0");
    t.run("Sd", Function::Write, "1.5");
    // 150 with two decimal places: 0x20 0x96.
    EXPECT_TRUE(t.traced(">> request: # 0 : 032 = 0x20 ( )"));
    EXPECT_TRUE(t.traced(">> request: # 1 : 150 = 0x96 (\x96)"));
    EXPECT_EQ(t.last_line(), "Record is done. No error.  Value returned: '1.500'");
}

TEST(SinglePoint, DataIndexTravelsWithTheRequest) {
    Rig t;
    ASSERT_TRUE(t.module->set_value("FiLt", 2, "42"));
    t.tool->indexed = false;
    t.tool->name = "FiLt";
    t.tool->update_for_name();
    t.tool->indexed = true;
    t.tool->index_kind = IndexKind::Data;
    t.tool->index_text = "2";
    t.tool->execute();
    const auto& trace = t.tool->trace;
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0], "Use data index");
    EXPECT_EQ(trace[1], "FiLt (Время подавления дребезга, мс)");
    EXPECT_TRUE(t.traced("2 data bytes in request frame"));
    EXPECT_EQ(t.last_line(), "42");
}

TEST(SinglePoint, AddressIndexRaisesTheModuleAddress) {
    struct Case {
        int offset;
        bool warned;
    };
    Rig t;
    t.module->set_address_span(9);
    for (const Case c : {Case{3, false}, Case{7, false}, Case{8, true}}) {
        SCOPED_TRACE(c.offset);
        t.module->add({.name = "Addr",
                       .address_offset = c.offset,
                       .type = "int",
                       .value = std::to_string(16 + c.offset)});
        t.tool->name = "Addr";
        t.tool->update_for_name();
        t.tool->indexed = true;
        t.tool->index_kind = IndexKind::Address;
        t.tool->index_text = std::to_string(c.offset);
        t.tool->function = Function::Read;
        t.tool->execute();
        const auto& trace = t.tool->trace;
        ASSERT_GE(trace.size(), 2u);
        EXPECT_EQ(trace[0], "Use address index");
        EXPECT_EQ(trace[1] == "Warning: the address is increased by more than 7!", c.warned);
        EXPECT_TRUE(t.traced("0 data bytes in request frame"));  // not indexed
        EXPECT_EQ(t.last_line(), std::to_string(16 + c.offset));
    }
}

TEST(SinglePoint, UnusableIndexIsNotSent) {
    struct Case {
        IndexKind kind;
        const char* text;
    };
    Rig t;
    for (const Case c : {Case{IndexKind::Address, "-1"}, Case{IndexKind::Address, "x"},
                         Case{IndexKind::Data, "65536"}, Case{IndexKind::Data, ""}}) {
        SCOPED_TRACE(c.text);
        t.tool->name = "Addr";
        t.tool->update_for_name();
        t.tool->indexed = true;
        t.tool->index_kind = c.kind;
        t.tool->index_text = c.text;
        t.tool->execute();
        EXPECT_THAT(t.tool->trace, ElementsAre(std::string("Invalid index: '") + c.text + "'"));
    }
    EXPECT_EQ(t.module->requests_total(), 0);
}

TEST(SinglePoint, FailuresEndTheTrace) {
    Rig t;
    sim::Faults faults;
    faults.error_code = sim::kErrReadOnly;
    t.module->set_faults(faults);
    t.run("t.out", Function::Write, "20");
    EXPECT_EQ(t.last_line(), error_reply_text(std::vector<std::uint8_t>{sim::kErrReadOnly}));

    t.module->set_faults({});
    t.run("PrtY", Function::Write, "Sideways");
    EXPECT_EQ(t.last_line(), "Bad value (data encoding impossible)");
    EXPECT_EQ(t.module->value("PrtY"), "None");
}

}  // namespace
}  // namespace varda
