#pragma once

#include <string_view>

namespace varda {

// The language of the program's own texts on screen. Until the window picks one, every text stays as
// written in the source (command-line jobs and the tests read them so); descriptions are never translated.
enum class Language { as_written, english, russian };

void set_text_language(Language language);
Language text_language();

// Russian for a Russian locale name ("ru", "ru_RU.UTF-8"), English for any other.
Language language_of_locale(std::string_view locale_name);

// The program's text in the chosen language: a Russian text in English, an English one in Russian. A text
// the tables do not hold (a description, a number, a name) comes back unchanged.
std::string_view localized(std::string_view text);

// The numbered text in Russian, or an empty text when the Russian table does not hold that number.
std::string_view russian_str(int id);

}  // namespace varda
