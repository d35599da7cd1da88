#pragma once

#include <QString>
#include <string_view>

#include "core/platform/language.h"

namespace varda::gui {

// The core's texts (UTF-8) as Qt strings, in the language chosen for the screen.
inline QString qtext(std::string_view text) {
    text = localized(text);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace varda::gui
