#include "core/platform/text.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace varda::platform {
namespace {

TEST(PlatformText, Cp1251RoundTripsEveryAssignedByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        if (b != 0x98) all += static_cast<char>(b);
    }
    ASSERT_EQ(all.size(), 255u);
    const std::string utf8 = cp1251_to_utf8(all);
    EXPECT_EQ(utf8_to_cp1251(utf8), all);

    // Every byte stands for a different character.
    std::set<std::string> seen;
    for (const char c : all)
        seen.insert(cp1251_to_utf8(std::string(1, c)));
    EXPECT_EQ(seen.size(), all.size());
}

TEST(PlatformText, Cp1251KnownCharacters) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    };
    for (const auto& c :
         {Case{0x41, "A"}, Case{0x80, "Ђ"}, Case{0x81, "Ѓ"}, Case{0x88, "€"}, Case{0x96, "–"},
          Case{0x98, "\uFFFD"}, Case{0x99, "™"}, Case{0xA0, "\u00A0"}, Case{0xA5, "Ґ"}, Case{0xA8, "Ё"},
          Case{0xAB, "«"}, Case{0xB4, "ґ"}, Case{0xB8, "ё"}, Case{0xB9, "№"}, Case{0xBF, "ї"},
          Case{0xC0, "А"}, Case{0xDF, "Я"}, Case{0xE0, "а"}, Case{0xFF, "я"}}) {
        EXPECT_EQ(cp1251_to_utf8(std::string(1, static_cast<char>(c.byte))), c.utf8) << int{c.byte};
    }
    EXPECT_EQ(cp1251_to_utf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(utf8_to_cp1251("Параметр"), "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0");
}

TEST(PlatformText, Utf8ToCp1251ReplacesWhatItCannotEncode) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string cp1251;
    };
    const Case cases[] = {
        {"not in the code page", "日本 x", "?? x"},
        {"replacement character", "\uFFFD", "?"},
        {"character above the BMP", "a\U0001F600b", "a?b"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"lone continuation bytes", "\x80\xBF", "??"},
        {"overlong encoding", "\xC0\x80", "??"},
        {"overlong three-byte form", "\xE0\x80\x80", "???"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"truncated at the end", "\xD0", "?"},
        {"truncated three-byte sequence is one character",
         "\xE2\x82"
         "A",
         "?A"},
        {"truncated sequence before a good one", "\xD0\xD1\x91", "?\xB8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8_to_cp1251(c.utf8), c.cp1251) << c.name;
}

TEST(PlatformText, UpperAndLowerCase) {
    EXPECT_EQ(to_upper("Название abc 123"), "НАЗВАНИЕ ABC 123");
    EXPECT_EQ(to_lower("НАЗВАНИЕ ABC 123"), "название abc 123");
    EXPECT_EQ(to_upper("ёж"), "ЁЖ");
    EXPECT_EQ(to_lower("ЁЖ"), "ёж");
    EXPECT_EQ(to_upper("addr"), "ADDR");
    EXPECT_EQ(to_lower(""), "");

    // Every Cyrillic pair of the code page, including the letters outside А..я.
    const std::string upper = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯЁЂЃЄЅІЇЈЉЊЋЌЎЏҐ";
    const std::string lower = "абвгдежзийклмнопрстуфхцчшщъыьэюяёђѓєѕіїјљњћќўџґ";
    EXPECT_EQ(to_upper(lower), upper);
    EXPECT_EQ(to_lower(upper), lower);
    EXPECT_EQ(to_upper(upper), upper);
    EXPECT_EQ(to_lower(lower), lower);

    // Other characters, and bytes that are not UTF-8, stay as they are.
    EXPECT_EQ(to_upper("№ 5 «x» € é α"), "№ 5 «X» € é α");
    EXPECT_EQ(to_lower("№ 5 «X» € É Α"), "№ 5 «x» € É Α");
    EXPECT_EQ(to_upper("a\xFF"
                       "б\xD0"),
              "A\xFF"
              "Б\xD0");
}

TEST(PlatformText, EqualityWithoutCase) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    for (const auto& c :
         {Case{"Название", "НАЗВАНИЕ", true}, Case{"ёж", "ЁЖ", true}, Case{"Addr", "aDDR", true},
          Case{"", "", true}, Case{"Network_parameters", "NETWORK_PARAMETERS", true},
          Case{"vk13-dev", "VK13-DEV", true}, Case{"Ґанок", "ґАНОК", true}, Case{"Ввод ёЖ", "ВВОД ЁЖ", true},
          Case{"Addr", "Add", false}, Case{"Add", "Addr", false}, Case{"ёж", "еж", false},
          Case{"a", "b", false}, Case{"Вход", "Выход", false}, Case{"abc\xFF", "ABC\xFF", true},
          Case{"a\xFF", "a\xFE", false}, Case{"я", "z", false}, Case{"_", "\x7F", false}}) {
        EXPECT_EQ(iequals(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(iequals(c.b, c.a), c.equal) << c.b << " / " << c.a;
        EXPECT_EQ(icompare(c.a, c.b) == 0, c.equal) << c.a << " / " << c.b;
    }
}

TEST(PlatformText, OrderWithoutCase) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    for (const auto& c :
         {Case{"abc", "ABD", -1}, Case{"b", "A", 1}, Case{"a", "", 1}, Case{"", "a", -1}, Case{"Ab", "aB", 0},
          Case{"_", "a", 1},   // on upper case: '_' > 'A'
          Case{"z", "а", -1},  // Latin before Cyrillic
          Case{"Б", "а", 1}, Case{"ё", "Ё", 0}, Case{"Ж", "ё", 1}, Case{"Tree ё", "TREE Ж", -1},
          Case{"Вход 2", "вход 10", 1}, Case{"abc", "abcd", -1}}) {
        const int r = icompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " / " << c.b;
        const int back = icompare(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " / " << c.a;
    }
}

}  // namespace
}  // namespace varda::platform
