#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "core/app/connection/connection_status.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/config_file.h"
#include "core/app/service/single_point.h"
#include "core/app/tree/tree_edit.h"
#include "core/calibration/calibration_wizard.h"
#include "core/calibration/inductance_calibration.h"
#include "core/devices/brand.h"
#include "core/devices/models.h"
#include "core/link/device.h"
#include "core/link/device_io.h"
#include "core/link/line_stats.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/tree_rows.h"
#include "core/platform/language.h"
#include "core/platform/language_tables.h"
#include "core/platform/strings.h"
#include "tests/support/english_screen.h"
#include "tests/support/model_fixture.h"

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
        Options options;
        const auto doc =
            test::load_model_document(3, options, std::make_unique<sim::InProcessBackend>(module));
        EXPECT_NE(doc->module_network(), nullptr);
    }
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
    EXPECT_EQ(line_counters_short_text(line),
              "запр 85 \u00b7 повт 0 \u00b7 т/о 2 \u00b7 искажённых 0 \u00b7 ош 0");
    set_text_language(Language::english);
    EXPECT_EQ(exchange_summary_text(summary), as_written);
    EXPECT_EQ(link_state_text(LinkState::NotAnswering), "not answering");
}

// What an exchange writes in the progress window and the edits the Edit menu names, in Russian.
TEST_F(TextLanguageTest, ProgressLinesAndEditNamesReadRussian) {
    set_text_language(Language::russian);
    test::TreeEditRig t;
    ASSERT_EQ(t.doc->device().identify(false), Identification::KnownModel);
    Parameter& p = t.p("t.out");
    ASSERT_TRUE(t.doc->device().read_all(*t.doc->root()));
    t.edit->commit(&p, kColumnValue, p.value_text(), "20");
    EXPECT_EQ(t.doc->history().undo_name(), "Изменение t.out");
    ASSERT_TRUE(t.doc->device().write_changes(*t.doc->root()));
    ASSERT_TRUE(t.doc->device().compare(*t.doc->root()));
    t.doc->set_no_data(p);
    EXPECT_EQ(t.doc->history().undo_name(), "Установить «нет данных»");
    const std::vector<std::string> lines = t.ui.progress_lines();
    for (const std::string_view start :
         {"Считать ветвь '", "Чтение t.out = ", "Записать ветвь '", "  Запись: t.out = 20 [новое значение]",
          "Сравнить ветвь '", " Сравнение t.out=20<>20", "Задача выполнена. Окно закроется автоматически."}) {
        EXPECT_TRUE(std::ranges::any_of(lines, [&](const std::string& line) {
            return line.starts_with(start);
        })) << start;
    }
}

// The comparison result names each difference's place in Russian around the module's and the file's values.
TEST_F(TextLanguageTest, ComparisonReportReadsRussian) {
    set_text_language(Language::russian);
    test::TreeEditRig t;
    ASSERT_EQ(t.doc->device().identify(false), Identification::KnownModel);
    ASSERT_TRUE(t.doc->device().read_all(*t.doc->root()));
    ASSERT_TRUE(t.module->set_value("t.out", -1, "7"));
    ASSERT_TRUE(t.doc->device().compare(*t.doc->root()));
    const std::string report = t.doc->device().comparison_report();
    for (const std::string_view piece :
         {"1. Параметр '", "\nконфигурация: значение = 10, доступ = ", "\nприбор: значение = 7, доступ = "})
        EXPECT_NE(report.find(piece), std::string::npos) << piece << "\n" << report;
}

// The single-parameter window's trace, each line as the window shows it: its own words in Russian, the
// decoded frames as --trace writes them.
TEST_F(TextLanguageTest, SingleParameterTraceReadsRussian) {
    set_text_language(Language::russian);
    test::TreeEditRig t;
    SinglePointController single(*t.doc);
    single.name = "t.out";
    single.update_for_name();
    single.indexed = true;
    single.index_kind = SinglePointController::IndexKind::Address;
    single.execute();
    std::vector<std::string> shown;
    for (const std::string& line : single.trace)
        shown.emplace_back(localized(line));
    for (const std::string_view start : {"Индекс адреса", "Байт данных в запросе: 0", "<< ответ: # 0 : ",
                                         "Байт данных в ответе: ", "Ошибок нет. Ответ в строковой записи:"})
        EXPECT_TRUE(std::ranges::any_of(shown, [&](const std::string& line) {
            return line.starts_with(start);
        })) << start;
}

// A message built around a name or a path translates its own words and keeps the name as it is.
TEST_F(TextLanguageTest, MessagesAroundANameTranslateOnlyTheirOwnWords) {
    set_text_language(Language::russian);
    test::TreeEditRig t;
    const std::size_t before = t.messages().size();
    DescriptionContext context;
    context.model_factory = create_device_model;
    context.LoadDescriptionText("parameter P int p\nroot R 1 0 0 P\nrule Q 1 2\n");
    SinglePointController single(*t.doc);
    single.name = "XyZ";
    single.update_for_name();
    single.function = SinglePointController::Function::Read;
    single.execute();
    std::atomic<int> model{kNoModel};
    load_configuration("/nonexistent/Конфиг.cfg", context, model, [] {});
    std::vector<std::string> messages = t.messages();
    messages.erase(messages.begin(), messages.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "Параметр 'Q' не определён.");
    EXPECT_EQ(messages[1], "Дерево повреждено");
    EXPECT_EQ(messages[2], "Параметр XyZ не описан!");
    EXPECT_TRUE(messages[3].starts_with("Не удаётся открыть файл '/nonexistent/Конфиг.cfg'.\n"))
        << messages[3];
}

// A faulty description and a missing description archive as the window reports them: the fixed words in
// Russian, the names and the path as they are.
TEST_F(TextLanguageTest, DescriptionFaultsAndArchiveFailuresReadRussian) {
    set_text_language(Language::russian);
    HeadlessUi ui;
    set_ui(&ui);
    for (const char* text : {"parameter P int p\nroot R 1 0 0 P\nfrob 1\n",
                             "parameter POUt int output\nbranch Out 9 0 0 POUt\nroot R 1 0 0 Out\n"}) {
        DescriptionContext context;
        context.model_index = 5;
        context.model_factory = create_device_model;
        context.LoadDescriptionText(text);
    }
    set_ui(nullptr);
    const std::vector<std::string> messages = test::message_texts(ui);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Неизвестная функция 'frob 1' в описании");
    EXPECT_EQ(messages[1], "Дерево повреждено");
    EXPECT_EQ(messages[2],
              "Выходной параметр 'POUt' имеет индекс 8, вне таблицы выходов (от 0 до 7); он не внесён.");

    const DescriptionArchive missing("/nonexistent/varda.dat", false);
    EXPECT_EQ(missing.failure_message(), "/nonexistent/varda.dat: архив описаний не найден");
}

// No Cyrillic letter is left (the English texts are plain ASCII).
bool reads_english(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whatever way an exchange failed, the error column says so in Russian under Russian.
TEST_F(TextLanguageTest, EveryExchangeFailureReadsRussianInTheErrorColumn) {
    const auto english_left = [](std::string text) {
        for (const std::string_view name : {"n.Err"})
            if (const auto at = text.find(name); at != std::string::npos) text.erase(at, name.size());
        return std::ranges::adjacent_find(text, [](char a, char b) {
                   return std::islower(static_cast<unsigned char>(a)) &&
                          std::islower(static_cast<unsigned char>(b));
               }) != text.end();
    };
    const std::pair<const char*, void (*)(sim::Faults&)> faults[] = {
        {"no reply", [](sim::Faults& f) { f.always_silent = true; }},
        {"bad checksum", [](sim::Faults& f) { f.bad_checksum = true; }},
        {"wrong hash", [](sim::Faults& f) { f.wrong_hash = true; }},
        {"garbage header", [](sim::Faults& f) { f.garbage_header = true; }},
        {"line error", [](sim::Faults& f) { f.line_error = true; }},
        {"error reply", [](sim::Faults& f) { f.error_code = sim::kErrIndexOutOfRange; }},
    };
    for (const auto& [name, fault] : faults) {
        test::ModelDeviceRig rig(3);
        Parameter* p = test::find_parameter_named(*rig.description.root(), "t.out");
        ASSERT_NE(p, nullptr);
        rig.faults(fault);
        EXPECT_NE(rig.device->read_parameter(*p, false), 0) << name;
        ASSERT_FALSE(p->error_text.empty()) << name;
        set_text_language(Language::russian);
        EXPECT_FALSE(english_left(error_cell_text(p->error_text))) << name << ": " << p->error_text;
        set_text_language(Language::as_written);
    }
    // A write of a value never read.
    test::ModelDeviceRig rig(3);
    Parameter* p = test::find_parameter_named(*rig.description.root(), "t.out");
    ASSERT_NE(p, nullptr);
    EXPECT_NE(rig.device->write_parameter(*p, 1), 0);
    set_text_language(Language::russian);
    EXPECT_FALSE(english_left(error_cell_text(p->error_text))) << p->error_text;
}

// The module's error replies that read Russian are shown in English in the tree's Error column; what is
// stored keeps the module's words.
TEST_F(TextLanguageTest, EveryModuleErrorReadsEnglishInTheErrorColumn) {
    set_text_language(Language::english);
    for (int code = 0; code < 256; ++code) {
        const std::uint8_t reply[] = {static_cast<std::uint8_t>(code)};
        const std::string shown = error_cell_text(error_reply_text(reply));
        EXPECT_TRUE(reads_english(shown)) << code << ": " << shown;
    }
    EXPECT_EQ(error_cell_text("Сетевое имя пусто (CHAr)"), "The network name is empty (CHAr)");
    set_text_language(Language::as_written);
    EXPECT_EQ(error_cell_text("Сетевое имя пусто (CHAr)"), "Сетевое имя пусто (CHAr)");
}

// And under Russian no English word is left, but for the names of the module's functions.
TEST_F(TextLanguageTest, EveryModuleErrorReadsRussianInTheErrorColumn) {
    set_text_language(Language::russian);
    for (int code = 0; code < 256; ++code) {
        const std::uint8_t reply[] = {static_cast<std::uint8_t>(code)};
        std::string shown = error_cell_text(error_reply_text(reply));
        for (const std::string_view name : {"Valid", "WhatCOMState", "RunCOMTask", "PrevWriteActions"})
            if (const auto at = shown.find(name); at != std::string::npos) shown.erase(at, name.size());
        const bool english = std::ranges::adjacent_find(shown, [](char a, char b) {
                                 return std::islower(static_cast<unsigned char>(a)) &&
                                        std::islower(static_cast<unsigned char>(b));
                             }) != shown.end();
        EXPECT_FALSE(english) << code << ": " << shown;
    }
}

// The inductance minimum step is built around the module's range: under English no Russian word is left.
TEST_F(TextLanguageTest, InductanceMinimumStepReadsEnglishUnderEnglish) {
    set_text_language(Language::english);
    const std::string text = CalibrationVI::CMinPage().text();
    EXPECT_TRUE(text.starts_with("1) Connect the mutual inductance box")) << text;
    EXPECT_TRUE(reads_english(text)) << text;
}

// What a wizard's error page says for each result the module gives, unknown ones included, and the
// wizards' English lists under Russian.
TEST_F(TextLanguageTest, WizardTextsReadInTheLanguageOnScreen) {
    set_text_language(Language::russian);
    for (const std::string& method : CalibrationVI::CPage1VI::methods())
        EXPECT_FALSE(reads_english(localized(method))) << method;
    set_text_language(Language::english);
    for (const long result : {1L, 2L, 3L, 4L, 5L, 0x1F7L}) {
        CErrorPage page;
        page.set_error(CalibrationWizard::result_error_text(result));
        EXPECT_TRUE(test::shows_english(page.text())) << result;
    }
    EXPECT_EQ(CalibrationWizard::result_error_text(0x1F7), "Unrecognised error (503).");
}

}  // namespace
}  // namespace varda
