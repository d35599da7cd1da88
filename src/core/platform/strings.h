#pragma once

#include <string_view>

namespace varda {

// The program's numbered user-interface texts ("string 194" is "no data"). Returns an empty text for a
// number the table does not hold.
std::string_view str(int id);

}  // namespace varda
