// On a Russian desktop the window runs under a comma-decimal locale; values keep "." on screen, in files
// and on the wire all the same.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <locale>
#include <stdexcept>

#include "core/app/document/tree_commit.h"
#include "core/app/tree/tree_edit.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCommaLocale = "ru_RU.UTF-8";

// The C library's and the C++ global locale switched to ru_RU.UTF-8 while it lives.
class CommaLocale {
  public:
    CommaLocale() : saved_c_(std::setlocale(LC_ALL, nullptr)) {
        try {
            std::locale::global(std::locale(kCommaLocale));  // sets the C library's locale too
            active_ = true;
        } catch (const std::runtime_error&) {
        }
    }
    ~CommaLocale() {
        std::locale::global(saved_cpp_);
        std::setlocale(LC_ALL, saved_c_.c_str());
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // Whether the C library now writes a decimal comma, so that the test shows something.
    bool active() const {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        return active_ && std::string(buf) == "1,5";
    }

  private:
    std::string saved_c_;
    std::locale saved_cpp_;
    bool active_ = false;
};

#define ASSERT_COMMA_LOCALE(locale) \
    ASSERT_TRUE((locale).active()) << kCommaLocale << " is missing: scripts/install-deps.sh generates it"

TEST(CommaLocale, NumbersAreWrittenAndReadWithAPoint) {
    CommaLocale locale;
    ASSERT_COMMA_LOCALE(locale);
    EXPECT_EQ(platform::format_c("%.3f %f %i", 1.5, 0.25, 7), "1.500 0.250000 7");
    EXPECT_EQ(platform::fixed(56.4f, 3), "56.400");
    const auto point = platform::leading_float(" +2.5e1 V");
    ASSERT_TRUE(point);
    EXPECT_EQ(point->value, 25.0f);
    EXPECT_EQ(point->length, 7u);
    EXPECT_EQ(platform::leading_double("1,5")->value, 1.0);  // the comma ends the number
    EXPECT_EQ(platform::leading_double("1,5", true)->value, 1.5);
    EXPECT_FALSE(platform::leading_double("x1"));

    MyConverter shown("x");
    shown.set_data_type("float");
    ASSERT_EQ(shown.ConvertFromData(std::vector<std::uint8_t>{0x3F, 0xC0, 0x00, 0x00}),
              MyConverter::DecodeResult::Decoded);
    EXPECT_EQ(shown.value_text(), "1.500");
}

// The first parameter of that name in the tree.
Parameter* first(DescBranch& branch, std::string_view name) {
    if (Parameter* p = branch.FindOwnParameter(name)) return p;
    for (auto& child : branch.children)
        if (Parameter* p = first(*child, name)) return p;
    return nullptr;
}

// A model's document over its simulated module, as the window has it, with the tree's edit rules.
struct WindowRig {
    explicit WindowRig(int model) : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        test::serve_archived_model(*module, model);
        doc = test::load_model_document(model, options, std::make_unique<sim::InProcessBackend>(module));
        doc->device().finish_grace = 0ms;
        test::open_sim_port(doc->device());
        // As the program does before any exchange: the module on the line is identified.
        EXPECT_EQ(doc->device().identify(false), Identification::KnownModel);
        edit = std::make_unique<TreeEdit>(*doc);
        module->clear_log();
    }
    ~WindowRig() {
        edit.reset();
        doc.reset();
        set_ui(nullptr);
    }
    // The data of the value writes of a parameter the module received, its index left out.
    std::vector<Bytes> written(const Parameter& p) const {
        std::vector<Bytes> out;
        for (const test::ReceivedRequest& r : test::received_requests(*module)) {
            if (r.read || r.hash != p.Hash()) continue;
            const std::size_t length = r.length - (p.indexed ? 2 : 0);
            out.emplace_back(r.bytes.begin() + 4, r.bytes.begin() + 4 + static_cast<std::ptrdiff_t>(length));
        }
        return out;
    }

    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<TreeEdit> edit;
};

TEST(CommaLocale, TheWindowWritesTypedValuesWithTheirDecimals) {
    struct Case {
        int model;
        const char* name;
        const char* typed;
        const char* shown;
        Bytes wire;
    };
    const Case cases[] = {
        {7, "FiLt", "1.5", "1.500", {0x3F, 0xC0, 0x00, 0x00}},  // float
        {7, "FiLt", "1,5", "1.500", {0x3F, 0xC0, 0x00, 0x00}},  // as a Russian keyboard types it
        {10, "P.Wt", "56.4", "56.400", {0x30, 0xDC, 0x50}},     // STORED_DOT with three decimals
    };
    CommaLocale locale;
    ASSERT_COMMA_LOCALE(locale);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " typed " + c.typed);
        WindowRig rig(c.model);
        Parameter* p = first(*rig.doc->root(), c.name);
        ASSERT_NE(p, nullptr);
        rig.edit->commit(p, kColumnValue, p->value_text(), c.typed);
        EXPECT_EQ(p->value_text(), c.shown);
        ASSERT_TRUE(rig.doc->write_changes());
        EXPECT_EQ(p->error_text, "");
        EXPECT_EQ(rig.written(*p), std::vector<Bytes>{c.wire});
        p->SetValueText("no data");
        EXPECT_EQ(rig.doc->device().read_parameter(*p, false), 0);
        EXPECT_EQ(p->value_text(), c.shown);
    }
}

TEST(CommaLocale, DefaultsKeepTheirDecimalsOnTheWire) {
    CommaLocale locale;
    ASSERT_COMMA_LOCALE(locale);
    WindowRig rig(7);
    Parameter* filter = first(*rig.doc->root(), "FiLt");
    ASSERT_NE(filter, nullptr);
    ASSERT_EQ(filter->initial_value_text, "0.5");
    rig.ui.push_answer(Answer::Yes);  // write the default settings
    rig.ui.push_answer(Answer::No);   // no INIT afterwards
    rig.doc->apply_default_settings();
    const auto writes = rig.written(*filter);
    ASSERT_FALSE(writes.empty());
    for (const Bytes& data : writes)
        EXPECT_EQ(data, (Bytes{0x3F, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace varda
