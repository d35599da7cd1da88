#include "sim/console.h"

#include <charconv>
#include <sstream>

#include "core/platform/language.h"
#include "core/platform/numbers.h"

namespace varda::sim {
namespace {

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// "FiLt:2" -> FiLt, 2; "Addr" -> Addr, -1.
std::pair<std::string, std::optional<int>> name_and_index(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return {std::string(text), -1};
    return {std::string(text.substr(0, colon)), number(text.substr(colon + 1))};
}

// The answers the program's simulator panel shows read in the language on screen; the console of
// varda-sim, which never picks a language, keeps them as written.
std::string text_of(std::string_view text) {
    return std::string(localized(text));
}

std::string faults_text(const Faults& f) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (f.always_silent) add(text_of("silent"));
    if (f.bad_checksum) add(text_of("garbling every reply"));
    if (f.garble_next > 0) add(text_of("garbling the next ") + std::to_string(f.garble_next));
    if (f.error_code) add(text_of("error code ") + std::to_string(*f.error_code));
    if (f.reply_delay.count() > 0)
        add(text_of("delay ") + std::to_string(f.reply_delay.count()) + text_of(" ms"));
    if (f.wrong_hash) add(text_of("wrong hash"));
    if (f.late_percent > 0 || f.drop_percent > 0 || f.garble_percent > 0)
        add(text_of("chaos: ") + std::to_string(f.late_percent) + text_of("% up to ") +
            std::to_string(f.late_max.count()) + text_of(" ms late, ") + std::to_string(f.drop_percent) +
            text_of("% lost, ") + std::to_string(f.garble_percent) + text_of("% garbled"));
    return text.empty() ? text_of("no faults") : text;
}

}  // namespace

std::string Console::help() {
    return "commands (each answered with one line):\n"
           "  help                      this list\n"
           "  modules                   the modules on the line and which one the commands change\n"
           "  @ADDRESS                  change the module at that address from now on (on a bus)\n"
           "  status                    the module's address, baud rate and faults\n"
           "  get NAME[:INDEX]          a parameter's value\n"
           "  set NAME[:INDEX] VALUE    set a parameter's value, as the module's own measurement would\n"
           "  silent on|off             stop answering altogether, or answer again\n"
           "  garble N                  the next N replies carry a wrong checksum\n"
           "  error CODE|off            answer every request with this module error code\n"
           "  delay MS                  answer each request MS milliseconds late\n"
           "  chaos SEED LATE% MS LOST% GARBLED%|off  an unkind line: that share of replies up to MS late,\n"
           "                            that share lost, that share garbled (drawn from SEED)\n"
           "  reset                     take every fault back\n"
           "  quantity                  the simulated physical quantities the module measures\n"
           "  quantity NAME VALUE|auto  hold a quantity (input, output, position, box, pH, redox,\n"
           "                            temperature, reference) at VALUE, or let it follow the\n"
           "                            calibration again\n"
           "  meter delay MS            an electrical meter reports each calibration point MS ms after\n"
           "                            the one before (default 3000)\n"
           "  meter error on|off        an electrical meter reports a calibration error\n";
}

std::string Console::run(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::string command;
    in >> command;
    if (command.empty() || command[0] == '#') return {};
    if (command == "help") return help();
    if (bus_.empty()) return "error: no module";

    if (command[0] == '@') {
        const auto address = number(std::string_view(command).substr(1));
        for (std::size_t i = 0; address && i < bus_.size(); ++i) {
            if (bus_[i]->address() == *address) {
                selected_ = i;
                return "ok: commands now change the module at address " + std::to_string(*address);
            }
        }
        return "error: no module at " + command.substr(1);
    }
    if (command == "modules") {
        std::string text = "ok:";
        for (std::size_t i = 0; i < bus_.size(); ++i)
            text += " " + std::string(i == selected_ ? "*" : "") + "@" + std::to_string(bus_[i]->address());
        return text;
    }

    if (command == "quantity" || command == "meter")
        return run_physics(selected_ < physics_.size() ? physics_[selected_].get() : nullptr, command, in);

    SimulatedModule& module = *bus_[selected_];
    Faults faults = module.faults();
    std::string argument;
    in >> argument;
    if (command == "status") {
        return text_of("ok: address ") + std::to_string(module.address()) + text_of(", baud rate ") +
               (module.line_baud() ? std::to_string(module.line_baud()) : text_of("any")) + ", " +
               faults_text(faults);
    }
    if (command == "get" || command == "set") {
        const auto [name, index] = name_and_index(argument);
        if (name.empty() || !index) return "error: name a parameter, e.g. " + command + " FiLt:2";
        if (command == "get") {
            const auto value = module.value(name, *index);
            return value ? "ok: " + argument + " = " + *value : "error: no parameter " + argument;
        }
        std::string value;
        std::getline(in >> std::ws, value);
        if (value.empty()) return "error: set " + argument + " needs a value";
        return module.set_value(name, *index, value) ? "ok: " + argument + " = " + value
                                                     : "error: no parameter " + argument;
    }
    if (command == "silent") {
        if (argument != "on" && argument != "off") return "error: silent on or silent off";
        faults.always_silent = argument == "on";
    } else if (command == "garble") {
        const auto count = number(argument);
        if (!count) return "error: garble N: how many replies";
        faults.garble_next = *count;
    } else if (command == "error") {
        if (argument == "off") {
            faults.error_code.reset();
        } else if (const auto code = number(argument); code && *code <= 255) {
            faults.error_code = static_cast<std::uint8_t>(*code);
        } else {
            return "error: error CODE (0 to 255) or error off";
        }
    } else if (command == "delay") {
        const auto ms = number(argument);
        if (!ms) return "error: delay MS: milliseconds";
        faults.reply_delay = std::chrono::milliseconds(*ms);
    } else if (command == "chaos") {
        if (argument == "off") {
            faults.late_percent = faults.drop_percent = faults.garble_percent = 0;
            faults.late_max = std::chrono::milliseconds(0);
        } else {
            std::string late, ms, lost, garbled;
            in >> late >> ms >> lost >> garbled;
            const auto seed = number(argument);
            const auto percent = [](const std::string& text) -> std::optional<int> {
                const auto n = number(text);
                return n && *n <= 100 ? n : std::nullopt;
            };
            const auto late_share = percent(late);
            const auto late_ms = number(ms);
            const auto lost_share = percent(lost);
            const auto garbled_share = percent(garbled);
            if (!seed || !late_share || !late_ms || !lost_share || !garbled_share)
                return "error: chaos SEED LATE% MS LOST% GARBLED%, or chaos off";
            faults.seed = static_cast<unsigned>(*seed);
            faults.late_percent = *late_share;
            faults.late_max = std::chrono::milliseconds(*late_ms);
            faults.drop_percent = *lost_share;
            faults.garble_percent = *garbled_share;
        }
    } else if (command == "reset") {
        faults = Faults{};
    } else {
        return "error: unknown command " + command + " (help lists them)";
    }
    module.set_faults(faults);
    return text_of("ok: ") + faults_text(faults);
}

std::string Console::run_physics(CalibrationPhysics* physics, const std::string& command, std::istream& in) {
    if (!physics) return "error: this module has no simulated calibration";
    std::string first;
    std::string second;
    in >> first >> second;
    if (command == "quantity") {
        if (first.empty()) {
            std::string text = physics->describe();
            if (text.empty()) return "ok: the module measures no simulated quantity";
            text.pop_back();
            for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
                text.replace(at, 1, "; ");
            return "ok: " + text;
        }
        std::optional<double> value;
        if (second != "auto") {
            const auto number = platform::leading_double(second, true);
            if (second.empty() || !number || number->length != second.size())
                return "error: quantity NAME VALUE or quantity NAME auto";
            value = number->value;
        }
        if (!physics->hold(first, value)) {
            std::string names;
            for (const std::string& name : physics->quantity_names())
                names += (names.empty() ? "" : ", ") + name;
            return "error: no quantity " + first + (names.empty() ? "" : " (this module has " + names + ")");
        }
        return "ok: " + first + (value ? " held at " + second : " follows the calibration");
    }
    if (physics->model() < 19 || physics->model() > 22) return "error: the module is no electrical meter";
    if (first == "delay") {
        const auto ms = number(second);
        if (!ms) return "error: meter delay MS: milliseconds";
        physics->set_meter_delay(std::chrono::milliseconds(*ms));
        return "ok: meter delay " + second + " ms";
    }
    if (first == "error" && (second == "on" || second == "off")) {
        physics->set_meter_error(second == "on");
        return "ok: meter error " + second;
    }
    return "error: meter delay MS or meter error on|off";
}

}  // namespace varda::sim
