#include "core/app/plant/plant_file.h"

#include <toml++/toml.h>
#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

#include "core/model/device_table.h"
#include "core/platform/csv_table.h"
#include "core/platform/text.h"

namespace varda {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineKeys = "name, port, baud, prty, len, sbit, alen, rs485, module";
constexpr std::string_view kModuleKeys = "address, model, tag, template, set";

std::string number_text(long long value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string number_text(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// A scalar as the text a parameter or an option takes; nothing for tables, arrays and dates.
std::optional<std::string> scalar_text(const toml::node& node) {
    if (const auto* text = node.as_string()) return text->get();
    if (const auto* whole = node.as_integer()) return number_text(static_cast<long long>(whole->get()));
    if (const auto* real = node.as_floating_point()) return number_text(real->get());
    return std::nullopt;
}

std::optional<int> model_by_code(std::string_view code) {
    for (const DeviceRow& row : device_table())
        if (platform::to_lower(row.code) == platform::to_lower(code)) return row.index;
    return std::nullopt;
}

// "FiLt", "t.out" or "FiLt:0": a parameter's network name, with an index after a colon for an indexed one.
bool parameter_key(std::string_view key) {
    const std::size_t colon = key.find(':');
    if (colon == 0 || key.empty()) return false;
    if (colon == std::string_view::npos) return true;
    const std::string_view index = key.substr(colon + 1);
    return !index.empty() &&
           std::all_of(index.begin(), index.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class PlantReader {
  public:
    explicit PlantReader(const fs::path& file) : file_(file), folder_(file.parent_path()) {
        read_.plant.file = file;
    }

    PlantRead read() {
        std::error_code error;
        if (!fs::is_regular_file(file_, error)) {
            read_.errors.push_back(file_.string() + ": no such plant file — give the path of a .toml file");
            return std::move(read_);
        }
        toml::table root;
        try {
            root = toml::parse_file(file_.string());
        } catch (const toml::parse_error& failure) {
            fail(static_cast<int>(failure.source().begin.line),
                 std::string(failure.description()) + " — correct the TOML at column " +
                     number_text(static_cast<long long>(failure.source().begin.column)));
            return std::move(read_);
        }
        for (auto&& [key, node] : root) {
            if (key.str() != "line" && key.str() != "modules")
                fail(line_of(node), "unknown key \"" + std::string(key.str()) +
                                        "\" — a plant file holds [[line]] tables and a modules table");
        }
        const toml::array* lines = root["line"].as_array();
        if (!lines || lines->empty()) {
            if (!root.contains("line") || lines)
                read_.errors.push_back(
                    file_.string() +
                    ": no [[line]] — list each RS-485 line as a [[line]] table with its port "
                    "and its [[line.module]] tables");
            else
                fail(line_of(*root.get("line")), "\"line\" must be [[line]] tables");
            return std::move(read_);
        }
        for (const toml::node& node : *lines) {
            if (const toml::table* line = node.as_table())
                read_line(*line);
            else
                fail(line_of(node), "\"line\" must be [[line]] tables");
        }
        if (const toml::node* table = root.get("modules")) read_module_table(*table);
        for (const PlantLine& line : read_.plant.lines)
            if (line.modules.empty() && read_.errors.empty())
                fail(line.source_line,
                     "line \"" + line.name +
                         "\" has no modules — add a [[line.module]] table with its address and "
                         "model, or rows in the modules table");
        check_lines_apart();
        return std::move(read_);
    }

  private:
    static int line_of(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

    void fail(int line, const std::string& what) { fail(Place{&file_, line}, what); }

    void read_line(const toml::table& table) {
        PlantLine line;
        line.source_line = line_of(table);
        std::vector<std::string> options;
        for (auto&& [key_name, node] : table) {
            const std::string key(key_name.str());
            if (key == "name") {
                if (const auto* text = node.as_string())
                    line.name = text->get();
                else
                    fail(line_of(node), "the line's name must be a text in quotes");
            } else if (key == "module") {
                continue;
            } else if (key == "baud" || key == "bps" || key == "port" || key == "prty" || key == "len" ||
                       key == "sbit" || key == "alen" || key == "rs485") {
                const std::optional<std::string> value = scalar_text(node);
                if (!value) {
                    fail(line_of(node), key + " must be a number or a text");
                    continue;
                }
                const std::string option = key == "baud" ? "bps" : key;
                const CommandLine one = parse_command_line({"-" + option + ":" + *value});
                for (const std::string& why : one.errors)
                    fail(line_of(node), key + " = " + *value + ": " + why.substr(why.find(": ") + 2));
                if (one.errors.empty()) options.push_back("-" + option + ":" + *value);
            } else {
                fail(line_of(node),
                     "unknown key \"" + key + "\" in a line — the keys are " + std::string(kLineKeys));
            }
        }
        line.settings = parse_command_line(options);
        if (line.name.empty()) fail(line.source_line, "a line without a name — add name = \"Cabinet A\"");
        if (line.settings.port.empty())
            fail(line.source_line,
                 "line \"" + line.name +
                     "\" has no port — add port = \"/dev/ttyUSB0\" (or \"tcp://host:port\")");
        const int address_length = line.settings.address_length ? line.settings.address_length : 8;
        if (const toml::node* modules = table.get("module")) {
            if (const toml::array* list = modules->as_array()) {
                for (const toml::node& node : *list) {
                    if (const toml::table* module = node.as_table())
                        read_module(*module, address_length, line);
                    else
                        fail(line_of(node), "\"module\" must be [[line.module]] tables");
                }
            } else {
                fail(line_of(*modules), "\"module\" must be [[line.module]] tables");
            }
        }
        read_.plant.lines.push_back(std::move(line));
    }

    // Where a fact stands: the plant file or its module table, and the line in it.
    struct Place {
        const fs::path* file;
        int line;
    };
    Place at(const toml::node& node) const { return {&file_, line_of(node)}; }

    void fail(const Place& place, const std::string& what) {
        read_.errors.push_back(place.file->string() + ":" + number_text(static_cast<long long>(place.line)) +
                               ": " + what);
    }

    void accept_address(long long address, int address_length, const Place& place, PlantModule& module) {
        if (address < 0 || address > 2047)
            fail(place, "the address must be a whole number, 0 to 2047");
        else if (const char* problem = address_problem(static_cast<long>(address), address_length))
            fail(place, "address " + number_text(address) + ": " + problem);
        else
            module.address = static_cast<int>(address);
    }

    void accept_model(const std::string& code, const Place& place, PlantModule& module) {
        if (const std::optional<int> index = model_by_code(code))
            module.model_index = *index;
        else
            fail(place, "unknown model \"" + code + "\" — write the model's code, VK00 to VK22");
    }

    void accept_template(const std::string& text, const Place& place, PlantModule& module) {
        fs::path path(text);
        if (path.is_relative()) path = folder_ / path;
        const std::string extension = platform::to_lower(path.extension().string());
        std::error_code error;
        if (extension != ".vdc" && extension != ".json")
            fail(place, "template \"" + text +
                            "\": not a configuration — give a .vdc file or the .json of "
                            "--export:json");
        else if (!fs::is_regular_file(path, error))
            fail(place, "template \"" + text + "\" not found (looked for " + path.string() +
                            ") — paths are relative to the plant file");
        else
            module.template_file = path;
    }

    void accept_value(const std::string& key, const std::string& text, const Place& place,
                      PlantModule& module) {
        if (!parameter_key(key))
            fail(place, "\"" + key +
                            "\" is not a parameter — write its network name, and \":N\" for an index "
                            "(\"FiLt:0\")");
        else
            module.values.emplace_back(key, text);
    }

    // Adds a module whose address and model were accepted; says what is missing otherwise.
    void add_module(PlantModule module, bool address_given, bool model_given, const Place& place,
                    PlantLine& line) {
        if (!address_given) fail(place, "a module without an address — add address = 16");
        if (!model_given) fail(place, "a module without a model — add model = \"VK03\"");
        if (module.address < 0 || module.model_index < 0) return;
        for (const PlantModule& other : line.modules)
            if (other.address == module.address)
                fail(place, "address " + number_text(static_cast<long long>(module.address)) +
                                " is already planned at line " +
                                number_text(static_cast<long long>(other.source_line)) +
                                " — two modules on one line need two addresses");
        line.modules.push_back(std::move(module));
    }

    void read_module(const toml::table& table, int address_length, PlantLine& line) {
        PlantModule module;
        module.address = -1;
        module.source_line = line_of(table);
        for (auto&& [key_name, node] : table) {
            const std::string key(key_name.str());
            if (key == "address") {
                if (const auto* whole = node.as_integer())
                    accept_address(whole->get(), address_length, at(node), module);
                else
                    fail(at(node), "the address must be a whole number, 0 to 2047");
            } else if (key == "model") {
                if (const auto* text = node.as_string())
                    accept_model(text->get(), at(node), module);
                else
                    fail(at(node), "the model must be a text in quotes: model = \"VK03\"");
            } else if (key == "tag") {
                if (const auto* text = node.as_string())
                    module.tag = text->get();
                else
                    fail(at(node), "the tag must be a text in quotes");
            } else if (key == "template") {
                if (const auto* text = node.as_string(); text && !text->get().empty())
                    accept_template(text->get(), at(node), module);
                else
                    fail(at(node), "the template must be the path of a .vdc or .json file, in quotes");
            } else if (key == "set") {
                read_values(node, module);
            } else {
                fail(at(node),
                     "unknown key \"" + key + "\" in a module — the keys are " + std::string(kModuleKeys));
            }
        }
        add_module(std::move(module), table.contains("address"), table.contains("model"), at(table), line);
    }

    void read_values(const toml::node& node, PlantModule& module) {
        const toml::table* values = node.as_table();
        if (!values) {
            fail(at(node), "set must be a table: set = { \"t.out\" = \"5\" }");
            return;
        }
        // toml++ keeps a table's keys sorted; the values are written in the order the file gives them.
        std::vector<std::pair<std::string, const toml::node*>> in_file_order;
        for (auto&& [key_name, value] : *values)
            in_file_order.emplace_back(std::string(key_name.str()), &value);
        std::stable_sort(in_file_order.begin(), in_file_order.end(), [](const auto& a, const auto& b) {
            const toml::source_position x = a.second->source().begin, y = b.second->source().begin;
            return x.line != y.line ? x.line < y.line : x.column < y.column;
        });
        for (const auto& [key, value] : in_file_order) {
            if (const std::optional<std::string> text = scalar_text(*value))
                accept_value(key, *text, at(*value), module);
            else
                fail(at(*value), "\"" + key + "\": the value must be a number or a text");
        }
    }

    // The module table a spreadsheet keeps: a header row naming line, address, model, tag, template and one
    // column per parameter, then a row per module; an empty cell sets nothing.
    void read_module_table(const toml::node& node) {
        const auto* name = node.as_string();
        if (!name || name->get().empty()) {
            fail(at(node), "modules must be the path of a .csv file, in quotes");
            return;
        }
        fs::path path(name->get());
        if (path.is_relative()) path = folder_ / path;
        const CsvTable table = read_csv_table(path);
        if (!table.error.empty()) {
            read_.errors.push_back(table.error);
            return;
        }
        if (table.rows.empty()) {
            fail(at(node),
                 "the module table " + path.string() + " is empty — its first row names the columns");
            return;
        }
        table_file_ = path;
        const CsvRow& header = table.rows.front();
        const Place header_place{&table_file_, header.source_line};
        std::map<std::string, std::size_t> fixed;
        for (std::size_t column = 0; column < header.cells.size(); ++column) {
            const std::string title = platform::to_lower(header.cells[column]);
            if (title == "line" || title == "address" || title == "model" || title == "tag" ||
                title == "template")
                fixed.emplace(title, column);
            else if (!parameter_key(header.cells[column]))
                fail(header_place, "column \"" + header.cells[column] +
                                       "\" is not a parameter — name the columns line, address, model, tag, "
                                       "template and then the parameters (\"FiLt:0\")");
        }
        for (const char* needed : {"line", "address", "model"})
            if (!fixed.count(needed))
                fail(header_place,
                     std::string("no \"") + needed + "\" column — the first row names the columns");
        if (fixed.size() < 3 || !read_.errors.empty()) return;

        for (std::size_t r = 1; r < table.rows.size(); ++r) {
            const CsvRow& row = table.rows[r];
            const Place place{&table_file_, row.source_line};
            const auto cell = [&](std::size_t column) {
                return column < row.cells.size() ? row.cells[column] : std::string();
            };
            const auto fixed_cell = [&](const char* title) {
                const auto found = fixed.find(title);
                return found == fixed.end() ? std::string() : cell(found->second);
            };
            PlantLine* line = nullptr;
            for (PlantLine& candidate : read_.plant.lines)
                if (platform::to_lower(candidate.name) == platform::to_lower(fixed_cell("line")))
                    line = &candidate;
            if (!line) {
                fail(place, "line \"" + fixed_cell("line") +
                                "\" is not a [[line]] of the plant — correct the name or add the line");
                continue;
            }
            PlantModule module;
            module.address = -1;
            module.source_line = row.source_line;
            const std::string address = fixed_cell("address");
            long long number = -1;
            const auto parsed = std::from_chars(address.data(), address.data() + address.size(), number);
            if (address.empty() || parsed.ec != std::errc() || parsed.ptr != address.data() + address.size())
                fail(place, "the address must be a whole number, 0 to 2047");
            else
                accept_address(number, line->settings.address_length ? line->settings.address_length : 8,
                               place, module);
            if (!fixed_cell("model").empty()) accept_model(fixed_cell("model"), place, module);
            module.tag = fixed_cell("tag");
            if (!fixed_cell("template").empty()) accept_template(fixed_cell("template"), place, module);
            for (std::size_t column = 0; column < header.cells.size(); ++column) {
                const std::string title = platform::to_lower(header.cells[column]);
                if (fixed.count(title) || cell(column).empty()) continue;
                accept_value(header.cells[column], cell(column), place, module);
            }
            add_module(std::move(module), !address.empty(), !fixed_cell("model").empty(), place, *line);
        }
    }

    // Lines run at once, so two of them cannot share a port; their names name their backup folders.
    void check_lines_apart() {
        const std::vector<PlantLine>& lines = read_.plant.lines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (!lines[i].name.empty() &&
                    platform::to_lower(lines[i].name) == platform::to_lower(lines[j].name))
                    fail(lines[i].source_line,
                         "a second line named \"" + lines[i].name + "\" — give each line a name of its own");
                if (!lines[i].settings.port.empty() && lines[i].settings.port == lines[j].settings.port)
                    fail(lines[i].source_line, "port " + lines[i].settings.port +
                                                   " is already the port of line \"" + lines[j].name +
                                                   "\" — one port carries one line");
            }
        }
    }

    fs::path file_;
    fs::path folder_;
    fs::path table_file_;
    PlantRead read_;
};

}  // namespace

PlantRead read_plant_file(const fs::path& file) {
    return PlantReader(file).read();
}

}  // namespace varda
