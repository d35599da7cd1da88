#include "core/app/command_line/text_jobs.h"

#include <fstream>
#include <sstream>

#include "core/app/command_line/headless_ui.h"
#include "core/app/files/config_text.h"
#include "core/platform/json.h"

namespace varda {
namespace {

constexpr int kDiffer = 1;
constexpr int kSkipped = 1;  // the file was written without some of the records
constexpr int kError = 2;

TextJobResult failed(std::string why) {
    // One line on standard error: a message meant for a box may span several.
    for (char& c : why)
        if (c == '\n') c = ' ';
    TextJobResult result;
    result.exit_code = kError;
    result.failure = std::move(why);
    return result;
}

// Reading files may want to tell the user something: without a window it goes nowhere, the job says why.
struct Quiet {
    Quiet() { set_ui(&ui); }
    ~Quiet() { set_ui(nullptr); }
    HeadlessUi ui{false};
};

}  // namespace

bool asks_for_text_job(const std::vector<std::string>& args) {
    for (const auto& arg : args)
        if (arg.rfind("--export:", 0) == 0 || arg.rfind("--import:", 0) == 0 || arg == "--diff") return true;
    return false;
}

TextJobResult run_text_job(const std::vector<std::string>& args) {
    std::string mode;
    std::vector<std::string> files;
    bool changed_only = false;
    bool json = false;
    for (const auto& arg : args) {
        if (arg.rfind("--export:", 0) == 0 || arg.rfind("--import:", 0) == 0 || arg == "--diff") {
            if (!mode.empty()) return failed(arg + ": one of --export, --import and --diff at a time");
            mode = arg;
        } else if (arg == "--changed") {
            changed_only = true;
        } else if (arg == "--json") {
            json = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return failed(arg + ": not an option of " + mode.substr(0, mode.find(':')));
        } else {
            files.push_back(arg);
        }
    }
    Quiet quiet;
    TextJobResult result;

    if (mode.rfind("--export:", 0) == 0) {
        const std::string format = mode.substr(9);
        if (format != "json" && format != "csv") return failed(mode + ": the format is json or csv");
        if (files.size() != 1) return failed(mode + " takes one configuration file");
        const auto loaded = load_configuration_file(files[0]);
        if (!loaded->ok()) return failed(loaded->error);
        auto records = loaded->records();
        if (changed_only)
            std::erase_if(records,
                          [](const ParameterRecord& r) { return r.placed && !r.differs_from_default; });
        result.output = format == "json" ? records_json(loaded->model, records) : records_csv(records);
        // Exported all the same, marked, so that nothing the file holds is lost on the way.
        for (const auto& note : loaded->unplaced_notes())
            result.warnings.push_back(files[0] + ": " + note);
        return result;
    }

    if (mode.rfind("--import:", 0) == 0) {
        if (mode != "--import:json") return failed(mode + ": only json can be imported");
        if (files.size() != 2)
            return failed("--import:json takes the JSON file and the configuration file to write");
        std::ifstream in(files[0], std::ios::binary);
        if (!in) return failed(files[0] + ": cannot be read");
        std::ostringstream text;
        text << in.rdbuf();
        const ImportResult imported = import_json(text.str(), files[1]);
        if (!imported.error.empty()) {
            TextJobResult refused = failed(files[0] + ": " + imported.error);
            for (const auto& line : imported.refused)
                refused.errors.push_back(files[0] + ": " + line);
            return refused;
        }
        for (const auto& line : imported.skipped)
            result.warnings.push_back(files[0] + ": skipped " + line);
        if (!imported.skipped.empty()) {
            result.exit_code = kSkipped;
            result.failure = files[1] + " was written without " + std::to_string(imported.skipped.size()) +
                             " of the parameters (listed above)";
        }
        return result;
    }

    if (files.size() != 2) return failed("--diff takes two configuration files");
    const auto first = load_configuration_file(files[0]);
    if (!first->ok()) return failed(first->error);
    const auto second = load_configuration_file(files[1]);
    if (!second->ok()) return failed(second->error);
    if (first->model != second->model) {
        result.exit_code = kDiffer;
        result.output = json ? "{\"models\": [" + platform::json_quote(std::to_string(first->model)) + ", " +
                                   platform::json_quote(std::to_string(second->model)) +
                                   "], \"differences\": null}\n"
                             : "the files are of different models\n";
        return result;
    }
    const auto differences = config_differences(*first, *second);
    for (const auto* loaded : {first.get(), second.get()})
        for (const auto& note : loaded->unplaced_notes())
            result.warnings.push_back(files[loaded == first.get() ? 0 : 1] + ": " + note);
    if (json) {
        const auto side = [](const char* key, const std::optional<ParameterRecord>& r) {
            const std::string k(key);
            if (!r) return ", \"" + k + "\": null";
            return ", \"" + k + "\": " + platform::json_quote(r->value) + ", \"" + k +
                   "_access\": " + platform::json_quote(access_word(r->access_attribute)) + ", \"" + k +
                   "_user\": " + platform::json_quote(user_word(r->user_attribute));
        };
        result.output = "[";
        for (std::size_t i = 0; i < differences.size(); ++i) {
            const ConfigDifference& d = differences[i];
            result.output += (i == 0 ? "\n  {" : ",\n  {");
            result.output +=
                "\"path\": " + platform::json_quote(d.path) + ", \"name\": " + platform::json_quote(d.name) +
                ", \"index\": " + (d.index >= 0 ? std::to_string(d.index) : std::string("null")) +
                side("first", d.first) + side("second", d.second) + "}";
        }
        result.output += differences.empty() ? "]\n" : "\n]\n";
    } else {
        for (const auto& d : differences)
            result.output += difference_text(d) + "\n";
    }
    result.exit_code = differences.empty() ? 0 : kDiffer;
    return result;
}

}  // namespace varda
