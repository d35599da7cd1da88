#include "core/platform/csv_table.h"

#include <csv.h>

#include <fstream>

namespace varda {

namespace {

struct Collector {
    std::vector<CsvRow> rows;
    CsvRow row;
    int line = 0;  // the physical line being fed to the parser
};

void on_field(void* data, std::size_t length, void* context) {
    auto& collector = *static_cast<Collector*>(context);
    if (collector.row.cells.empty()) collector.row.source_line = collector.line;
    collector.row.cells.emplace_back(data ? static_cast<const char*>(data) : "", length);
}

void on_row_end(int, void* context) {
    auto& collector = *static_cast<Collector*>(context);
    const bool blank = collector.row.cells.size() == 1 && collector.row.cells[0].empty();
    if (!collector.row.cells.empty() && !blank) collector.rows.push_back(std::move(collector.row));
    collector.row = {};
}

}  // namespace

CsvTable read_csv_table(const std::filesystem::path& file) {
    CsvTable table;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        table.error = file.string() + ": cannot be read";
        return table;
    }
    std::string first;
    std::getline(in, first);
    in.clear();
    in.seekg(0);
    const bool semicolons = first.find(';') != std::string::npos && first.find(',') == std::string::npos;

    csv_parser parser;
    csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL | CSV_EMPTY_IS_NULL);
    csv_set_delim(&parser, semicolons ? ';' : ',');
    Collector collector;
    std::string line;
    // Fed a physical line at a time, so that a row knows the line it starts on.
    while (std::getline(in, line)) {
        ++collector.line;
        line += '\n';
        if (collector.line == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);  // a spreadsheet's BOM
        if (csv_parse(&parser, line.data(), line.size(), on_field, on_row_end, &collector) != line.size()) {
            table.error = file.string() + ":" + std::to_string(collector.line) + ": " +
                          csv_strerror(csv_error(&parser)) + " — check the quotes of this row";
            csv_free(&parser);
            return table;
        }
    }
    if (csv_fini(&parser, on_field, on_row_end, &collector) != 0)
        table.error = file.string() + ":" + std::to_string(collector.row.source_line) +
                      ": a quoted cell is never closed — add the closing quote";
    csv_free(&parser);
    table.rows = std::move(collector.rows);
    return table;
}

}  // namespace varda
