#pragma once

#include <QString>
#include <string_view>

namespace varda::gui {

// The core's texts (UTF-8) as Qt strings.
inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace varda::gui
