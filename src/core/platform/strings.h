#pragma once

#include <string_view>

namespace varda {

// The program's numbered user-interface texts ("string 194" is "no data"). Returns an empty text for a
// number the table does not hold. Texts are UTF-8 and may be printf formats ("%s", "%i", "%.3f").
std::string_view str(int id);
// The numbered text as written in the source, whatever the language on screen: for what is stored.
std::string_view str_as_written(int id);

inline constexpr int kParameterError = 149;
inline constexpr int kReadWrite = 156;
inline constexpr int kReadOnly = 157;
inline constexpr int kUserCompany = 158;
inline constexpr int kUserUnknown = 159;
inline constexpr int kTreeNotSelected = 170;
inline constexpr int kTreeDamaged = 174;
inline constexpr int kTreeRootNotDefined = 175;
inline constexpr int kTreeFileOpeningError = 186;
inline constexpr int kNoData = 194;
inline constexpr int kValueNotInitialized = 195;
inline constexpr int kResponseNotDecoded = 196;
inline constexpr int kTimeoutError = 197;
inline constexpr int kUnknownType = 199;
inline constexpr int kDeviceValue = 200;
inline constexpr int kValue = 211;
inline constexpr int kParameter = 214;
inline constexpr int kProhibitedNetworkCombination = 258;
inline constexpr int kRealNumber = 318;
inline constexpr int kInteger = 319;
inline constexpr int kSignedInt16 = 467;
inline constexpr int kSignedFixedPoint = 468;
inline constexpr int kUnknownParameter = 469;
inline constexpr int kNetworkParameters = 498;
inline constexpr int kWrongIndex = 503;
inline constexpr int kUnknownStringElement = 505;
inline constexpr int kAppTitle = 57344;

}  // namespace varda
