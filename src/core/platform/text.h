#pragma once

#include <string>
#include <string_view>

// Text inside the program is UTF-8. Windows-1251 exists only at the edges where stored formats use it.
namespace varda::platform {

// Windows-1251 bytes to UTF-8. Every byte has a meaning (0x98 becomes U+FFFD).
std::string cp1251_to_utf8(std::string_view cp1251);

// UTF-8 to Windows-1251. A character the code page lacks, and a malformed UTF-8 sequence, become '?'.
std::string utf8_to_cp1251(std::string_view utf8);
// Whether utf8_to_cp1251 keeps every character of the text: valid UTF-8 of characters the code page has.
bool cp1251_holds(std::string_view utf8);

// Upper/lower case of UTF-8 text for Latin (ASCII) and Cyrillic letters (including Ё/ё and the other
// Windows-1251 Cyrillic letters); every other character is kept as it is.
std::string to_upper(std::string_view utf8);
std::string to_lower(std::string_view utf8);

// Comparison "without regard to case" wherever the program needs it (names, enumeration items, archive
// members): Latin and Cyrillic letters compare equal to their other case.
bool iequals(std::string_view a, std::string_view b);
// Texts of descriptions and value lists write a space as "_".
std::string underscores_to_spaces(std::string_view text);

// <0, 0, >0 like strcmp, on the upper-cased texts.
int icompare(std::string_view a, std::string_view b);

}  // namespace varda::platform
