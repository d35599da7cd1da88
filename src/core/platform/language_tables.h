#pragma once

#include <span>
#include <string_view>

namespace varda {

struct TextPair {
    std::string_view source;
    std::string_view translation;
};

// The program's Russian texts (calibration, messages) with their English translations.
std::span<const TextPair> english_texts();
// The core's own English message texts with their Russian translations.
std::span<const TextPair> russian_texts();

}  // namespace varda
