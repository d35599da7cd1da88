#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/app/connection_status.h"
#include "core/app/menu_state.h"
#include "core/devices/brand.h"
#include "core/link/device.h"
#include "core/link/line_stats.h"
#include "core/platform/language.h"
#include "core/platform/language_tables.h"
#include "core/platform/strings.h"
#include "../support/model_fixture.h"

namespace varda {
namespace {

// The language is process-wide; every case puts back the texts as written.
struct TextLanguageTest : ::testing::Test {
    void TearDown() override { set_text_language(Language::as_written); }
};

TEST_F(TextLanguageTest, LocaleNamesChooseRussianOnlyForRussian) {
    const std::pair<const char*, Language> cases[] = {
        {"ru_RU.UTF-8", Language::russian},
        {"ru", Language::russian},
        {"ru_UA", Language::russian},
        {"C", Language::english},
        {"en_US.UTF-8", Language::english},
        {"rus", Language::english},
        {"", Language::english},
    };
    for (const auto& [name, language] : cases)
        EXPECT_EQ(language_of_locale(name), language) << name;
}

TEST_F(TextLanguageTest, NumberedTextsFollowTheChosenLanguage) {
    EXPECT_EQ(str(kNoData), "no data");
    set_text_language(Language::russian);
    EXPECT_EQ(str(kNoData), "нет данных");
    // A product name has no Russian form and keeps its own.
    EXPECT_EQ(str(kAppTitle), "Tavik");
    set_text_language(Language::english);
    EXPECT_EQ(str(kNoData), "no data");
}

TEST_F(TextLanguageTest, TextsAreTranslatedBothWaysAndOthersKept) {
    const std::string_view wizard = "Добро пожаловать в утилиту юстировки!";
    EXPECT_EQ(localized(wizard), wizard);
    set_text_language(Language::english);
    EXPECT_EQ(localized(wizard), "Welcome to the calibration utility!");
    EXPECT_EQ(localized("Температура_входа"), "Температура_входа");
    set_text_language(Language::russian);
    EXPECT_EQ(localized(wizard), wizard);
    EXPECT_EQ(localized("&Device"), "&Прибор");
}

TEST_F(TextLanguageTest, NoTextIsListedTwice) {
    for (const auto& table : {english_texts(), russian_texts()}) {
        std::set<std::string_view> seen;
        for (const TextPair& pair : table)
            EXPECT_TRUE(seen.insert(pair.source).second) << pair.source;
    }
}

// Every menu entry and every prompt of the full brand has its Russian text.
void expect_russian(const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Separator || item.kind == MenuItem::Kind::RecentFiles) continue;
        EXPECT_NE(localized(item.text), item.text);
        if (item.kind == MenuItem::Kind::Command) {
            const CommandPrompt prompt = command_prompt(item.command, nullptr);
            EXPECT_TRUE(prompt.status.empty() ||
                        prompt.status.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos)
                << prompt.status;
        }
        expect_russian(item.items);
    }
}

TEST_F(TextLanguageTest, MenusAndPromptsReadRussian) {
    set_text_language(Language::russian);
    for (const TopMenu& menu : main_menu_layout(CBrandKest(), nullptr)) {
        EXPECT_NE(localized(menu.title), menu.title);
        expect_russian(menu.items);
    }
}

// The description names its network branch with a keyword that no language on screen changes.
TEST_F(TextLanguageTest, TheNetworkBranchIsFoundInEitherLanguage) {
    for (const Language language : {Language::russian, Language::english}) {
        set_text_language(language);
        auto module = std::make_shared<sim::SimulatedModule>();
        test::serve_archived_model(*module, 3);
        set_current_model_index(3);
        Options options;
        const auto doc = test::load_model_document(options, std::make_unique<sim::InProcessBackend>(module));
        EXPECT_NE(doc->module_network(), nullptr);
    }
    set_current_model_index(kNoModel);
}

TEST_F(TextLanguageTest, StatusTextsInEachLanguage) {
    ExchangeSummary summary;
    summary.kind = ExchangeKind::Read;
    summary.processed = 43;
    summary.failed = 2;
    summary.not_reached = 5;
    summary.stopped = true;
    summary.seconds = 3.7;
    const std::string as_written = exchange_summary_text(summary);
    EXPECT_EQ(as_written, "Read 43 parameters, 2 failed, 5 not read, stopped, 3.7 s");
    set_text_language(Language::russian);
    EXPECT_EQ(exchange_summary_text(summary),
              "Прочитано параметров: 43, с ошибкой: 2, не прочитано: 5, прервано, 3.7 с");
    EXPECT_EQ(link_state_text(LinkState::NotAnswering), "не отвечает");
    LineCounters line;
    line.requests = 85;
    line.timeouts = 2;
    EXPECT_EQ(line_counters_short_text(line), "запр 85 \u00b7 повт 0 \u00b7 т/о 2 \u00b7 искажённых 0 \u00b7 ош 0");
    set_text_language(Language::english);
    EXPECT_EQ(exchange_summary_text(summary), as_written);
    EXPECT_EQ(link_state_text(LinkState::NotAnswering), "not answering");
}

}  // namespace
}  // namespace varda
