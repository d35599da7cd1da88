#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/app/files/config_file.h"

namespace varda {

class DescBranch;
class Parameter;

// The parameter list of a model as an HTML page: group by group, every parameter of the tree with its
// network name, hash, description, type, index range, value range and attribute kind, then a note on the
// data formats. Numbered copies of a group ("Вход №1", "Вход №2", ...) are listed once, as "Вход №...".

// The page in UTF-8 with "\n" line ends.
std::string parameter_list_page(DescBranch& root, std::string_view model_name);

// One parameter's table row; `row` is its running number on the page.
std::string parameter_list_row(const Parameter& parameter, int row, std::string_view index_text);

// Writes the page as readers of the list expect it: Windows-1251 with CR LF line ends, through a
// temporary file so a failed export leaves an earlier list whole.
SaveResult export_parameter_list(DescBranch& root, std::string_view model_name,
                                 const std::filesystem::path& path);

}  // namespace varda
