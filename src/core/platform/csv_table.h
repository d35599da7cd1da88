#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace varda {

// One row of a CSV table: its cells and the line of the file it starts on.
struct CsvRow {
    int source_line = 0;
    std::vector<std::string> cells;
};

// A CSV table as a spreadsheet saves it: cells split by commas, or by semicolons when the first line has
// semicolons and no comma (spreadsheets under a comma-decimal locale save so), quotes as RFC 4180 has them.
// Blank rows are left out. `error` is "FILE:LINE: why" when the file cannot be read or parsed.
struct CsvTable {
    std::vector<CsvRow> rows;
    std::string error;
};

CsvTable read_csv_table(const std::filesystem::path& file);

}  // namespace varda
