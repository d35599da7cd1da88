#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/calibration/calibration_wizard.h"
#include "core/platform/language.h"

namespace varda::test {

// Puts the core's texts in English while it lives; the texts are as written again at its end.
struct EnglishScreen {
    EnglishScreen() { set_text_language(Language::english); }
    ~EnglishScreen() { set_text_language(Language::as_written); }
    EnglishScreen(const EnglishScreen&) = delete;
    EnglishScreen& operator=(const EnglishScreen&) = delete;
};

// A Cyrillic letter in UTF-8: U+0400..U+04FF lead with the bytes D0..D3.
inline bool has_cyrillic(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xD0 && byte <= 0xD3) return true;
    }
    return false;
}

// The text as the window shows it (the core's texts go through `localized`) holds no Russian.
inline ::testing::AssertionResult shows_english(std::string_view text) {
    const std::string_view shown = localized(text);
    if (!has_cyrillic(shown)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Russian on an English screen: \"" << shown << '"';
}

// Every text a wizard's window shows, gathered each time the wizard changes.
struct WizardTexts {
    explicit WizardTexts(CalibrationWizard& wizard) : wizard_(wizard) {
        wizard.listen([this] { record(); });
        record();
    }
    void record() {
        if (wizard_.current_index() < 0) return;  // not started yet
        const WizardButtons& b = wizard_.buttons();
        for (const std::string* text : {&wizard_.title(), &wizard_.current_page().title(), &b.back_text,
                                        &b.next_text, &b.finish_text, &b.cancel_text})
            texts.push_back(*text);
        texts.push_back(wizard_.current_page().text());
    }
    std::vector<std::string> texts;

  private:
    CalibrationWizard& wizard_;
};

// The texts, as the window shows them, hold no Russian but in the module's data quoted in them (the items of
// a list parameter, as the model's description names them).
template <class Texts>
void expect_english(const Texts& texts, std::string_view context, const std::vector<std::string>& data = {}) {
    for (const auto& text : texts) {
        std::string shown(localized(text));
        for (const std::string& item : data)
            for (auto at = shown.find(item); !item.empty() && at != std::string::npos; at = shown.find(item))
                shown.erase(at, item.size());
        EXPECT_TRUE(shows_english(shown)) << context;
    }
}

// The items of a list parameter's type ("a:b:c").
inline std::vector<std::string> list_items(std::string_view type) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start <= type.size();) {
        const std::size_t end = std::min(type.find(':', start), type.size());
        items.emplace_back(type.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

}  // namespace varda::test
