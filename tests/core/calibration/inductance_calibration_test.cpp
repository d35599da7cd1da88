// The mutual-inductance calibration wizard of VK12 against its simulated module: the first page's choices,
// the factory calibration, the user's table of points with its node count, measurement and spline, the
// status check after applying, and failed exchanges.
#include "core/calibration/inductance_calibration.h"
#include "core/app/service/model_calibration.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/element_context.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using Outcome = CalibrationWizard::Outcome;
using Page = InductanceCalibration::PageIndex;

// VK12's tree over its simulated module, as the document has them when Calibration is chosen.
struct Rig : test::ModelDeviceRig {
    Rig() : ModelDeviceRig(12) {}

    std::unique_ptr<InductanceCalibration> wizard() {
        auto w = std::make_unique<InductanceCalibration>(*device);
        w->start();
        return w;
    }
    // The requests the module received, as "W name" or "R name", in order (the link's own INIT left out).
    std::vector<std::string> requests() const {
        return test::named_requests(*module,
                                    {"tdev", "zU.Sh", "zU.Sc", "U.Apl", "Rd.St", "uU.Pn", "uU.Kf", "Rd.fH"});
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& m : ui.messages())
            out.push_back(m.caption + ": " + m.text);
        return out;
    }
};

// Through the first page with this type and method.
void choose(InductanceCalibration& w, int type, int method = -1) {
    w.code_page().code = "852";
    w.press_next();  // shows the types
    w.code_page().type = type;
    w.code_page().method = method;
    w.press_next();
}

Bytes float_bytes(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

// The value of the spline at x.
double spline_at(const std::vector<float>& k, const std::vector<double>& xs, double x) {
    std::size_t i = 0;
    while (i + 2 < xs.size() && x > xs[i + 1])
        ++i;
    const double d = x - xs[i];
    return k[4 * i] + k[4 * i + 1] * d + k[4 * i + 2] * d * d + k[4 * i + 3] * d * d * d;
}

TEST(InductanceCalibration, FirstPageNeedsTheCodeThenTypeAndMethod) {
    Rig rig;
    auto w = rig.wizard();
    EXPECT_EQ(w->current_page().title(), "Шаг 1");
    EXPECT_EQ(w->buttons().next_text, "Продолжить");
    EXPECT_TRUE(w->buttons().next_enabled);
    EXPECT_FALSE(w->buttons().back_enabled);

    for (const char* wrong : {"", "851", "8520", "738"}) {
        rig.ui.clear();
        w->code_page().code = wrong;
        w->code_page().type = 0;
        w->press_next();
        EXPECT_EQ(rig.messages(), (std::vector<std::string>{": Код доступа не верен!"})) << wrong;
        EXPECT_EQ(w->current_index(), Page::kCodePage);
        EXPECT_FALSE(w->code_page().types_shown());
    }

    // The right code first shows the types; the methods belong to the user's calibration only.
    rig.ui.clear();
    w->code_page().code = "852";
    w->code_page().type = -1;
    w->press_next();
    EXPECT_TRUE(w->code_page().types_shown());
    EXPECT_EQ(w->current_index(), Page::kCodePage);
    EXPECT_EQ(CalibrationVI::CPage1VI::types(), (std::vector<std::string>{"заводская", "пользовательская"}));
    w->code_page().type = CalibrationVI::CPage1VI::kFactory;
    EXPECT_FALSE(w->code_page().methods_shown());
    w->code_page().type = CalibrationVI::CPage1VI::kUser;
    EXPECT_TRUE(w->code_page().methods_shown());
    w->press_next();  // no method yet
    EXPECT_EQ(w->current_index(), Page::kCodePage);
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_TRUE(rig.requests().empty());

    struct Case {
        int type;
        int method;
        int page;
    };
    const Case cases[] = {
        {CalibrationVI::CPage1VI::kFactory, -1, Page::kMinPage},
        {CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kTabular, Page::kTablePage},
        {CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kMeasured, Page::kMeasuringPage},
    };
    for (const Case& c : cases) {
        auto fresh = rig.wizard();
        choose(*fresh, c.type, c.method);
        EXPECT_EQ(fresh->current_index(), c.page) << c.type << c.method;
        EXPECT_EQ(fresh->current_page().title(), "Шаг 2");
    }
}

TEST(InductanceCalibration, FactoryRunFromTheModelsCalibrate) {
    Rig rig;
    rig.module->set_value("tdev", -1, "0 мГн");
    std::vector<std::string> texts;
    rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
        auto& w = dynamic_cast<InductanceCalibration&>(wizard);
        choose(w, CalibrationVI::CPage1VI::kFactory);
        texts.push_back(w.current_page().text());
        EXPECT_TRUE(w.buttons().back_enabled && w.buttons().next_enabled);
        EXPECT_EQ(w.buttons().next_text, "Продолжить");
        w.press_next();
        texts.push_back(w.current_page().title() + ": " + w.current_page().text());
        w.press_next();
        EXPECT_EQ(w.current_page().title(), "Шаг 4");
        EXPECT_EQ(w.buttons().finish_text, "Сохранить");
        EXPECT_FALSE(w.buttons().back_enabled);
        w.press_finish();
    };
    CBaseDevice* model = device_model_of(rig.description.device_model().get());
    ASSERT_TRUE(model->CanCalibrate());
    calibrate_model(*model);

    EXPECT_EQ(rig.ui.calibration_wizards_shown, 1);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "1) Подключите ко входу прибора магазин взаимной индуктивности P5017.\r\n\r\n2) Установите на "
              "магазине Р5017 значение взаимной индуктивности, соответствующее минимальному значению "
              "диапазона измерения прибора  0 мГн.\r\n\r\n3) Нажмите кнопку «Продолжить», чтобы выполнить "
              "юстировку минимального значения.");
    EXPECT_EQ(
        texts[1],
        "Шаг 3: 1) Установите на магазине P5017 значение взаимной индуктивности, соответствующее 10 мГн "
        "(максимальный уровень измеряемой взаимной индуктивности).\r\n\r\n2) Нажмите кнопку "
        "«Продолжить», чтобы выполнить юстировку максимального значения.");
    EXPECT_EQ(rig.requests(),
              (std::vector<std::string>{"R tdev", "W zU.Sh", "W zU.Sc", "W U.Apl", "R Rd.St"}));
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST(InductanceCalibration, RangeMinimumWhenTheVariantCannotBeRead) {
    Rig rig;
    rig.module->set_command("tdev", [](bool, std::span<const std::uint8_t>) { return std::nullopt; });
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kFactory);
    EXPECT_NE(
        w->current_page().text().find("прибора  (зависит от исполнения, ВИ1: -10 мГн, ВИ2: 0 мГн).\r\n"),
        std::string::npos);
}

TEST(InductanceCalibration, FailedFactoryCommandKeepsThePage) {
    Rig rig;
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kFactory);
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(w->current_index(), Page::kMinPage);
    rig.faults([](sim::Faults&) {});
    w->press_next();
    EXPECT_EQ(w->current_index(), Page::kMaxPage);
}

// A link whose writes all fail with one error.
struct RefusingLink : ElementContext {
    FailureKind kind = FailureKind::Described;
    std::string error;
    int writes = 0;
    int read_parameter(Parameter& p, bool) override {
        p.SetValueText("0");
        return 0;
    }
    int write_parameter(Parameter& p, int) override {
        ++writes;
        p.set_failure(kind, error);
        return 2;
    }
    int compare_parameter(Parameter&) override { return 0; }
    void progress_line(const std::string&) override {}
    void add_done() override {}
    bool aborted() const override { return false; }
};

TEST(InductanceCalibration, UndecodableReplyToACommandStillGoesOn) {
    HeadlessUi ui;
    set_ui(&ui);
    RefusingLink link;
    link.kind = FailureKind::NotDecodable;
    link.error = std::string(str(kResponseNotDecoded));
    InductanceCalibration w(link);
    w.start();
    choose(w, CalibrationVI::CPage1VI::kFactory);
    w.press_next();
    w.press_next();
    EXPECT_EQ(w.current_index(), Page::kSavePage);
    EXPECT_TRUE(ui.messages().empty());
    set_ui(nullptr);
}

TEST(InductanceCalibration, StatusAfterApplyingDecidesTheMessage) {
    struct Case {
        const char* status;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"0", {}},   {"127", {}}, {"128", {": Ошибка калибровки!"}}, {"255", {": Ошибка калибровки!"}},
        {"256", {}},  // only the low byte carries the calibration error
    };
    Rig rig;
    for (const Case& c : cases) {
        rig.ui.clear();
        rig.module->set_value("Rd.St", -1, c.status);
        auto w = rig.wizard();
        choose(*w, CalibrationVI::CPage1VI::kFactory);
        w->press_next();
        w->press_next();
        w->press_finish();
        EXPECT_EQ(w->outcome(), Outcome::Finished) << c.status;
        EXPECT_EQ(rig.messages(), c.messages) << c.status;
    }

    // A status that cannot be read is not passed off as success.
    rig.ui.clear();
    rig.module->set_command("Rd.St", [](bool, std::span<const std::uint8_t>) { return std::nullopt; });
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kFactory);
    w->press_next();
    w->press_next();
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Finished);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка чтения \"Rd.St\"");
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
}

TEST(InductanceCalibration, NodeCountEnablesTheFirstRows) {
    Rig rig;
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kTabular);
    auto& table = w->table_page();
    EXPECT_EQ(table.node_count(), 2);
    EXPECT_TRUE(w->buttons().back_enabled && w->buttons().finish_shown && w->buttons().finish_enabled);
    EXPECT_EQ(w->buttons().finish_text, "Сохранить");
    EXPECT_EQ(table.inductance(20).value_text(), "0.000");
    EXPECT_EQ(table.physical(0).value_text(), "0.000");

    for (const char* wrong : {"1", "22", "0", "-3", "abc", "", "2.5", "5x"}) {
        rig.ui.clear();
        table.node_count_text = wrong;
        EXPECT_FALSE(table.apply_node_count()) << wrong;
        EXPECT_EQ(rig.messages(), (std::vector<std::string>{": Введите значение от 2 до 21."})) << wrong;
        EXPECT_EQ(table.node_count(), 2) << wrong;
    }
    struct Case {
        const char* text;
        int count;
    };
    for (const Case& c : {Case{"21", 21}, Case{"5", 5}, Case{"2", 2}}) {
        table.node_count_text = c.text;
        EXPECT_TRUE(table.apply_node_count());
        EXPECT_EQ(table.node_count(), c.count);
        EXPECT_TRUE(table.row_enabled(c.count - 1));
        EXPECT_FALSE(table.row_enabled(c.count));
    }

    // Back returns to the first page, whose buttons come back; the save text goes.
    w->press_back();
    EXPECT_EQ(w->current_index(), Page::kCodePage);
    EXPECT_FALSE(w->buttons().finish_shown);
    EXPECT_EQ(w->buttons().finish_text, "Готово");
}

TEST(InductanceCalibration, SplineThroughThePoints) {
    // Two points: the straight line through them.
    const auto line = CalibrationVI::spline_coefficients({1.0, 3.0}, {10.0, 20.0});
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, (std::vector<float>{10.0f, 5.0f, 0.0f, 0.0f}));

    // Several points, increasing or decreasing: through every point, smooth at the inner ones, and without
    // curvature at both ends.
    const std::vector<std::vector<double>> xs = {{-10.0, -4.0, 0.5, 3.0, 10.0}, {9.0, 4.0, 2.0, 1.5}};
    for (const auto& x : xs) {
        std::vector<double> y;
        for (double v : x)
            y.push_back(v * v * 0.3 - 2.0 * v + 1.0);
        const auto k = CalibrationVI::spline_coefficients(x, y);
        ASSERT_TRUE(k);
        ASSERT_EQ(k->size(), 4 * (x.size() - 1));
        const auto& c = *k;
        for (std::size_t i = 0; i + 1 < x.size(); ++i) {
            const double h = x[i + 1] - x[i];
            EXPECT_NEAR(c[4 * i], y[i], 1e-4);
            EXPECT_NEAR(c[4 * i] + c[4 * i + 1] * h + c[4 * i + 2] * h * h + c[4 * i + 3] * h * h * h,
                        y[i + 1], 1e-3);
            if (i + 2 < x.size()) {
                EXPECT_NEAR(c[4 * i + 1] + 2 * c[4 * i + 2] * h + 3 * c[4 * i + 3] * h * h, c[4 * i + 5],
                            1e-3);
                EXPECT_NEAR(c[4 * i + 2] + 3 * c[4 * i + 3] * h, c[4 * i + 6], 1e-3);
            }
        }
        EXPECT_EQ(c[2], 0.0f);
        const std::size_t last = 4 * (x.size() - 2);
        EXPECT_NEAR(c[last + 2] + 3 * c[last + 3] * (x.back() - x[x.size() - 2]), 0.0, 1e-4);
    }

    // Equal neighbouring inductances define no spline.
    EXPECT_FALSE(CalibrationVI::spline_coefficients({1.0, 2.0, 2.0, 3.0}, {0.0, 1.0, 2.0, 3.0}));
    EXPECT_FALSE(CalibrationVI::spline_coefficients({0.0, 0.0}, {0.0, 1.0}));
}

TEST(InductanceCalibration, UserTableWritesPointsAndSpline) {
    Rig rig;
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kTabular);
    auto& table = w->table_page();
    table.node_count_text = "3";
    ASSERT_TRUE(table.apply_node_count());
    const std::vector<double> x{-10.0, 0.0, 10.0};
    const std::vector<double> y{0.0, 40.0, 100.0};
    for (int row = 0; row < 3; ++row) {
        ASSERT_TRUE(table.inductance(row).AcceptValue(std::to_string(x[row]), true));
        ASSERT_TRUE(table.physical(row).AcceptValue(std::to_string(y[row]), true));
    }
    table.inductance(3).SetValueText("55.000");  // a greyed row is not written
    rig.module->clear_log();
    w->press_finish();

    EXPECT_EQ(w->outcome(), Outcome::Finished);
    EXPECT_TRUE(rig.ui.messages().empty());
    std::vector<std::string> expected(3, "W uU.Pn");
    expected.insert(expected.end(), 8, "W uU.Kf");
    expected.insert(expected.end(), {"W U.Apl", "R Rd.St"});
    EXPECT_EQ(rig.requests(), expected);
    EXPECT_EQ(rig.module->value("uU.Pn", 0), "-10.000");
    EXPECT_EQ(rig.module->value("uU.Pn", 2), "10.000");
    EXPECT_EQ(rig.module->value("uU.Pn", 3), "0.000");
    const auto k = CalibrationVI::spline_coefficients(x, y);
    ASSERT_TRUE(k);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rig.module->value("uU.Kf", i), platform::fixed((*k)[static_cast<std::size_t>(i)], 3)) << i;
    }
    EXPECT_NEAR(spline_at(*k, x, 5.0), 68.125, 1e-3);
}

TEST(InductanceCalibration, UserTableFailuresKeepThePage) {
    Rig rig;
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kTabular);
    auto& table = w->table_page();

    // Untouched rows hold equal inductances: nothing is written, the user is told.
    rig.module->clear_log();
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Running);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_TRUE(rig.requests().empty());

    rig.ui.clear();
    table.inductance(1).SetValueText("10.000000");
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Running);
    EXPECT_EQ(w->current_index(), Page::kTablePage);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка записи параметра uU.Pn.");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(rig.requests(), (std::vector<std::string>{"W uU.Pn"}));

    rig.faults([](sim::Faults&) {});
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Finished);
}

TEST(InductanceCalibration, MeasurementAveragesWithHalvingWeights) {
    Rig rig;
    auto w = rig.wizard();
    choose(*w, CalibrationVI::CPage1VI::kUser, CalibrationVI::CPage1VI::kMeasured);
    ASSERT_EQ(w->current_index(), Page::kMeasuringPage);
    auto& page = w->measuring_page();
    EXPECT_TRUE(page.measures());
    EXPECT_FALSE(w->table_page().measures());

    // Readings 1, 2, ..., 32: v = (v + r) / 2 from v = 1.
    int reads = 0;
    rig.module->set_command("Rd.fH", [&](bool, std::span<const std::uint8_t>) {
        return std::optional<Bytes>(float_bytes(static_cast<float>(++reads)));
    });
    double expected = 1.0;
    for (int r = 2; r <= 32; ++r)
        expected = (expected + r) / 2.0;
    EXPECT_TRUE(page.measure(1));
    EXPECT_EQ(reads, 32);
    EXPECT_EQ(page.inductance(1).value_text(), platform::fixed(expected, 6));
    EXPECT_EQ(page.inductance(1).value_text(), "31.000000");
    EXPECT_TRUE(rig.ui.messages().empty());

    // Invalid readings are left out; a greyed row is not measured.
    reads = 0;
    rig.module->set_command("Rd.fH", [&](bool, std::span<const std::uint8_t>) {
        return std::optional<Bytes>(++reads % 2 ? Bytes{0xFF, 0xFF, 0xFF, 0xFF} : float_bytes(2.5f));
    });
    EXPECT_TRUE(page.measure(0));
    EXPECT_EQ(page.inductance(0).value_text(), "2.500000");
    reads = 0;
    EXPECT_FALSE(page.measure(5));
    EXPECT_EQ(reads, 0);

    // A failed read stops the measurement; the row keeps its value.
    rig.module->set_command("Rd.fH", [&](bool, std::span<const std::uint8_t>) {
        return ++reads < 4 ? std::optional<Bytes>(float_bytes(9.0f)) : std::nullopt;
    });
    EXPECT_FALSE(page.measure(1));
    EXPECT_EQ(reads, 4);
    EXPECT_EQ(page.inductance(1).value_text(), "31.000000");
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка чтения \"Rd.fH\"");
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());

    // Only invalid readings: nothing to put into the row.
    rig.ui.clear();
    rig.module->set_command("Rd.fH", [](bool, std::span<const std::uint8_t>) {
        return std::optional<Bytes>(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    });
    EXPECT_FALSE(page.measure(0));
    EXPECT_EQ(page.inductance(0).value_text(), "2.500000");
    EXPECT_EQ(rig.ui.messages().size(), 1u);

    // The measured table is saved like the typed one; Back returns to the first page.
    w->press_back();
    EXPECT_EQ(w->current_index(), Page::kCodePage);
}

}  // namespace
}  // namespace varda
