#pragma once

#include <string>

namespace varda {

// The directory of the running program.
std::string program_directory();
// varda.dat beside the program, else in ../share/varda/ (an installed program), else in the build tree's
// program folder; the first that exists, or the one beside the program when none does.
std::string description_archive_path();
// The user guide (guide.html, under Russian guide_ru.html), looked for the same way: beside the program,
// else in ../share/doc/varda/ or ../share/varda/ (installed), else in the build tree's program folder; ""
// when there is none.
std::string user_guide_path();

}  // namespace varda
