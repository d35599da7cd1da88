#include <gtest/gtest.h>

#include "core/platform/language.h"
#include "core/platform/strings.h"

namespace varda {
namespace {

// The language is process-wide; every case puts back the texts as written.
struct TextLanguageTest : ::testing::Test {
    void TearDown() override { set_text_language(Language::as_written); }
};

TEST_F(TextLanguageTest, LocaleNamesChooseRussianOnlyForRussian) {
    const std::pair<const char*, Language> cases[] = {
        {"ru_RU.UTF-8", Language::russian}, {"ru", Language::russian},   {"ru_UA", Language::russian},
        {"C", Language::english},           {"en_US.UTF-8", Language::english},
        {"rus", Language::english},         {"", Language::english},
    };
    for (const auto& [name, language] : cases) EXPECT_EQ(language_of_locale(name), language) << name;
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
    EXPECT_EQ(localized("Network parameters"), "Сетевые параметры");
}

}  // namespace
}  // namespace varda
