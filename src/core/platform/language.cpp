#include "core/platform/language.h"

#include <atomic>
#include <string>
#include <unordered_map>

#include "core/platform/language_tables.h"

namespace varda {

namespace {

std::atomic<Language> g_language{Language::as_written};

using Table = std::unordered_map<std::string_view, std::string_view>;

Table make_table(std::span<const TextPair> pairs) {
    Table table;
    for (const auto& [source, translation] : pairs)
        table.emplace(source, translation);
    return table;
}

}  // namespace

void set_text_language(Language language) {
    g_language = language;
}

Language text_language() {
    return g_language;
}

Language language_of_locale(std::string_view locale_name) {
    return locale_name.substr(0, 2) == "ru" && (locale_name.size() == 2 || locale_name[2] == '_' ||
                                                locale_name[2] == '.' || locale_name[2] == '-')
               ? Language::russian
               : Language::english;
}

std::string_view localized(std::string_view text) {
    static const Table to_english = make_table(english_texts());
    static const Table to_russian = make_table(russian_texts());
    const Language language = g_language;
    if (language == Language::as_written) return text;
    const Table& table = language == Language::english ? to_english : to_russian;
    const auto it = table.find(text);
    return it != table.end() ? it->second : text;
}

}  // namespace varda
