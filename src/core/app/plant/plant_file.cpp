#include "core/app/plant/plant_file.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <string_view>
#include <system_error>
#include <toml++/toml.h>

#include "core/model/device_table.h"
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
    return !index.empty() && std::all_of(index.begin(), index.end(), [](char c) { return c >= '0' && c <= '9'; });
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
            if (key.str() != "line")
                fail(line_of(node), "unknown key \"" + std::string(key.str()) +
                                        "\" — a plant file holds [[line]] tables only");
        }
        const toml::array* lines = root["line"].as_array();
        if (!lines || lines->empty()) {
            if (!root.contains("line") || lines)
                read_.errors.push_back(file_.string() +
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
        check_lines_apart();
        return std::move(read_);
    }

  private:
    static int line_of(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

    void fail(int line, const std::string& what) {
        read_.errors.push_back(file_.string() + ":" + number_text(static_cast<long long>(line)) + ": " + what);
    }

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
                fail(line_of(node), "unknown key \"" + key + "\" in a line — the keys are " + std::string(kLineKeys));
            }
        }
        line.settings = parse_command_line(options);
        if (line.name.empty()) fail(line.source_line, "a line without a name — add name = \"Cabinet A\"");
        if (line.settings.port.empty())
            fail(line.source_line, "line \"" + line.name +
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
        if (line.modules.empty())
            fail(line.source_line, "line \"" + line.name + "\" has no modules — add a [[line.module]] table with "
                                                           "its address and model");
        read_.plant.lines.push_back(std::move(line));
    }

    void read_module(const toml::table& table, int address_length, PlantLine& line) {
        PlantModule module;
        module.source_line = line_of(table);
        bool has_address = false;
        for (auto&& [key_name, node] : table) {
            const std::string key(key_name.str());
            if (key == "address") {
                const auto* whole = node.as_integer();
                if (!whole || whole->get() < 0 || whole->get() > 2047) {
                    fail(line_of(node), "the address must be a whole number, 0 to 2047");
                } else if (const char* problem = address_problem(static_cast<long>(whole->get()), address_length)) {
                    fail(line_of(node), "address " + number_text(static_cast<long long>(whole->get())) + ": " +
                                            problem);
                } else {
                    module.address = static_cast<int>(whole->get());
                    has_address = true;
                }
            } else if (key == "model") {
                const auto* text = node.as_string();
                const std::optional<int> index = text ? model_by_code(text->get()) : std::nullopt;
                if (index)
                    module.model_index = *index;
                else
                    fail(line_of(node), "unknown model" + (text ? " \"" + text->get() + "\"" : std::string()) +
                                            " — write the model's code, VK00 to VK22");
            } else if (key == "tag") {
                if (const auto* text = node.as_string())
                    module.tag = text->get();
                else
                    fail(line_of(node), "the tag must be a text in quotes");
            } else if (key == "template") {
                read_template(node, module);
            } else if (key == "set") {
                read_values(node, module);
            } else {
                fail(line_of(node),
                     "unknown key \"" + key + "\" in a module — the keys are " + std::string(kModuleKeys));
            }
        }
        if (!has_address && !table.contains("address"))
            fail(module.source_line, "a module without an address — add address = 16");
        if (module.model_index < 0 && !table.contains("model"))
            fail(module.source_line, "a module without a model — add model = \"VK03\"");
        if (has_address) {
            for (const PlantModule& other : line.modules)
                if (other.address == module.address)
                    fail(module.source_line, "address " + number_text(static_cast<long long>(module.address)) +
                                                 " is already planned at line " +
                                                 number_text(static_cast<long long>(other.source_line)) +
                                                 " — two modules on one line need two addresses");
        }
        line.modules.push_back(std::move(module));
    }

    void read_template(const toml::node& node, PlantModule& module) {
        const auto* text = node.as_string();
        if (!text || text->get().empty()) {
            fail(line_of(node), "the template must be the path of a .vdc or .json file, in quotes");
            return;
        }
        fs::path path(text->get());
        if (path.is_relative()) path = folder_ / path;
        const std::string extension = platform::to_lower(path.extension().string());
        std::error_code error;
        if (extension != ".vdc" && extension != ".json")
            fail(line_of(node), "template \"" + text->get() +
                                    "\": not a configuration — give a .vdc file or the .json of --export:json");
        else if (!fs::is_regular_file(path, error))
            fail(line_of(node), "template \"" + text->get() + "\" not found (looked for " + path.string() +
                                    ") — paths are relative to the plant file");
        else
            module.template_file = path;
    }

    void read_values(const toml::node& node, PlantModule& module) {
        const toml::table* values = node.as_table();
        if (!values) {
            fail(line_of(node), "set must be a table: set = { \"t.out\" = \"5\" }");
            return;
        }
        // toml++ keeps a table's keys sorted; the values are written in the order the file gives them.
        std::vector<std::pair<std::string, const toml::node*>> in_file_order;
        for (auto&& [key_name, value] : *values) in_file_order.emplace_back(std::string(key_name.str()), &value);
        std::stable_sort(in_file_order.begin(), in_file_order.end(), [](const auto& a, const auto& b) {
            const toml::source_position x = a.second->source().begin, y = b.second->source().begin;
            return x.line != y.line ? x.line < y.line : x.column < y.column;
        });
        for (const auto& [key, node_pointer] : in_file_order) {
            const toml::node& value = *node_pointer;
            const std::optional<std::string> text = scalar_text(value);
            if (!parameter_key(key))
                fail(line_of(value), "\"" + key + "\" is not a parameter — write its network name, and \":N\" "
                                                  "for an index (\"FiLt:0\")");
            else if (!text)
                fail(line_of(value), "\"" + key + "\": the value must be a number or a text");
            else
                module.values.emplace_back(key, *text);
        }
    }

    // Lines run at once, so two of them cannot share a port; their names name their backup folders.
    void check_lines_apart() {
        const std::vector<PlantLine>& lines = read_.plant.lines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (!lines[i].name.empty() && platform::to_lower(lines[i].name) == platform::to_lower(lines[j].name))
                    fail(lines[i].source_line, "a second line named \"" + lines[i].name +
                                                   "\" — give each line a name of its own");
                if (!lines[i].settings.port.empty() && lines[i].settings.port == lines[j].settings.port)
                    fail(lines[i].source_line, "port " + lines[i].settings.port + " is already the port of line \"" +
                                                   lines[j].name + "\" — one port carries one line");
            }
        }
    }

    fs::path file_;
    fs::path folder_;
    PlantRead read_;
};

}  // namespace

PlantRead read_plant_file(const fs::path& file) { return PlantReader(file).read(); }

}  // namespace varda
