#include "sim/model_module.h"

#include <cmath>

#include "core/model/description.h"
#include "core/model/device_table.h"
#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"
#include "sim/calibration_task.h"
#include "sim/ph_calibration_task.h"

namespace varda::sim {
namespace {

// What a module holds before anyone wrote to it: the description's default, else the type's zero.
std::string default_value(const Parameter& p) {
    if (!p.initial_value_text.empty()) return p.initial_value_text;
    if (p.is_type("float") || p.is_type("STORED_DOT")) return "0.000";
    if (p.is_type("CLK_frm")) return "00:00";
    if (p.is_type("void")) return "";
    // A module answers a text with at least one character (an empty reply cannot be decoded).
    if (p.is_type("string") || p.is_type("ASCI")) return "0001";
    if (p.is_type("name")) return "AI1";
    if (ValueType(p.data_type()).is_enumeration()) return platform::underscores_to_spaces(p.item_text(0));
    return "0";
}

// The models whose "rEAd", "iRDt" and "iRD" replies are a status byte or a value.
bool reports_measured_values(int model) {
    return model == 0 || model == 7 || model == 8 || model == 12 || model == 17;
}

bool is_measured_name(std::string_view name) {
    return platform::iequals(name, "rEAd") || platform::iequals(name, "iRDt") ||
           platform::iequals(name, "iRD");
}

void add_tree(SimulatedModule& module, const DescBranch& element, int& span, int model) {
    for (const auto& p : element.parameters) {
        const std::string& name = p->network_name();
        if (name.empty() || name.find_first_not_of(' ') == std::string::npos) continue;
        if (platform::iequals(name, "CHAr*")) {
            // The composite name lives in four "CHAr" indexes.
            const NameCodes codes = *name_to_codes("AI1").codes;
            for (int k = 0; k < 4; ++k)
                module.add({.name = "CHAr",
                            .index = p->network_index + k,
                            .type = "int",
                            .value = std::to_string(codes[static_cast<std::size_t>(k)]),
                            .has_attributes = p->attributes_flag != 0});
            continue;
        }
        Entry e;
        e.name = name;
        e.index = p->indexed ? p->network_index : -1;
        e.address_offset = p->is_scanner() ? p->address_offset : 0;
        e.type = p->data_type();
        e.value = default_value(*p);
        e.read_only = !p->writable;
        e.has_attributes = p->attributes_flag != 0 && !p->is_scanner();
        e.measured = reports_measured_values(model) && is_measured_name(name);
        if (e.address_offset + 1 > span) span = e.address_offset + 1;
        module.add(std::move(e));
    }
    for (const auto& child : element.children)
        add_tree(module, *child, span, model);
}

// The offset and scale calibration commands of the models that have them; the module reports every
// operation done ("JuRD" 0) unless a test sets another result.
void add_offset_scale_calibration(SimulatedModule& module, int model) {
    if (model != 7 && model != 17) return;
    for (const char* start : {"JuSh", "JuSc", "Prmn"})
        module.add({.name = start, .type = "int", .value = "0", .has_attributes = false});
    module.add({.name = "JuRD", .type = "int", .value = "0", .read_only = true, .has_attributes = false});
    module.add({.name = "UApl", .type = "void", .value = "", .has_attributes = false});
}

// The electrical meters: the tree shows "Mode" read-only, but the module takes the calibration's start
// value in it. The status word then holds what was written until a test sets the points' bits.
void add_meter_calibration(SimulatedModule& module, int model) {
    if (model < 19 || model > 22) return;
    std::optional<Entry> mode = module.entry("Mode");
    if (!mode) return;
    mode->read_only = false;
    module.add(std::move(*mode));
}

// The mutual-inductance calibration commands, the user's points and the spline coefficients of VK12.
void add_inductance_calibration(SimulatedModule& module, int model) {
    if (model != 12) return;
    for (const char* command : {"zU.Sh", "zU.Sc", "U.Apl"})
        module.add({.name = command, .type = "void", .value = "", .has_attributes = false});
    for (int point = 0; point < 21; ++point)
        module.add(
            {.name = "uU.Pn", .index = point, .type = "float", .value = "0.000", .has_attributes = false});
    for (int coefficient = 0; coefficient < 4 * 20; ++coefficient)
        module.add({.name = "uU.Kf",
                    .index = coefficient,
                    .type = "float",
                    .value = "0.000",
                    .has_attributes = false});
}

// The strain-gauge commands and live values the calibration wizard and the tare-weight dialog address by
// channel. A one-channel module answers them with and without the channel index.
void add_strain_gauge_calibration(SimulatedModule& module, int model) {
    if (model != 13 && model != 14) return;
    const int channels = model == 14 ? 4 : 1;
    for (int channel = 0; channel < channels; ++channel) {
        for (const char* command : {"zU.Sh", "zU.Sc", "U.Apl", "U.Wgh"})
            module.add(
                {.name = command, .index = channel, .type = "void", .value = "", .has_attributes = false});
        for (const char* live : {"Rd.fV", "Rd.fF"})
            module.add({.name = live,
                        .index = channel,
                        .type = "float",
                        .value = "0.000",
                        .read_only = true,
                        .has_attributes = false});
    }
    if (model == 13)
        for (const char* command : {"zU.Sh", "zU.Sc", "U.Apl", "U.Wgh"})
            module.add({.name = command, .type = "void", .value = "", .has_attributes = false});
}

}  // namespace

bool serve_model(SimulatedModule& module, int model_index, std::string_view description_text,
                 std::string& error) {
    const DeviceRow* row = device_row(model_index);
    if (!row) {
        error = "no such model";
        return false;
    }
    int span = 1;
    bool built = false;
    // Both sides of every "#if ver": what an old and what the simulated firmware declare.
    for (const bool known_version : {false, true}) {
        DescriptionContext description;
        if (known_version) {
            description.version_major = 2;
            description.version_minor = 10;
        }
        description.LoadDescriptionText(description_text);
        if (description.root()) {
            add_tree(module, *description.root(), span, model_index);
            built = true;
        }
        if (description.scanners()) add_tree(module, *description.scanners(), span, model_index);
    }
    if (!built) {
        error = "the description of " + std::string(row->code) + " builds no tree";
        return false;
    }
    module.set_address_span(span);
    // A module's address is never the type's zero: without a default from the description it holds the
    // address it answers at.
    if (auto address = module.entry("Addr"); address && address->value == "0") {
        address->value = std::to_string(module.address());
        module.add(std::move(*address));
    }
    module.add({.name = "dev",
                .type = "string",
                .value = std::string(row->identification),
                .read_only = true,
                .has_attributes = false});
    module.add({.name = "ver",
                .type = "string",
                .value = std::string(kModelVersion),
                .read_only = true,
                .has_attributes = false});
    module.add({.name = "INIT", .type = "void", .value = "", .has_attributes = false});
    // The models with the generic calibration run its task.
    if (model_index == 0 || model_index == 8) serve_calibration(module);
    add_offset_scale_calibration(module, model_index);
    // The analog-output models drive an output at a calibration point ("CLB.I", the coefficient number)
    // and end output calibration ("CLB.A"); the coefficients "CLB.K" come from the description.
    if (model_index == 1 || model_index == 2) {
        module.add({.name = "CLB.I", .type = "int", .value = "0", .has_attributes = false});
        module.add({.name = "CLB.A", .type = "void", .value = "", .has_attributes = false});
    }
    if (model_index == 18) serve_ph_calibration(module);
    add_meter_calibration(module, model_index);
    add_inductance_calibration(module, model_index);
    add_strain_gauge_calibration(module, model_index);
    if (model_index == 13 || model_index == 14)
        module.add({.name = "tdev",
                    .type = "1 канал:4 канала",
                    .value = model_index == 13 ? "1 канал" : "4 канала",
                    .read_only = true,
                    .has_attributes = false});
    return true;
}

void tick_live_values(SimulatedModule& module, int step) {
    for (const Entry& e : module.entries()) {
        std::string value;
        const ValueKind kind = ValueType(e.type).kind();
        const bool numeric_int = kind == ValueKind::Int || kind == ValueKind::Sint;
        const int channel = std::max(e.index, 0) + e.address_offset;
        if (platform::iequals(e.name, "r.Cou")) {
            value =
                std::to_string(std::stoul("0" + e.value.substr(0, e.value.find_first_not_of("0123456789"))) +
                               static_cast<unsigned>(1 + channel));
        } else if (platform::iequals(e.name, "r.cn") || platform::iequals(e.name, "s.do")) {
            value = std::to_string((step * 5 + channel) % 16);
        } else if (platform::iequals(e.name, "rEAd") && (numeric_int || e.measured) && channel % 2 == 0) {
            value = std::to_string((step + channel / 2) % 2);  // discrete inputs switch
        } else if (e.measured) {
            value = platform::fixed(20.0 + channel + 2.5 * std::sin(step * 0.3 + channel), 3);
        } else if (e.type == "float" &&
                   (platform::iequals(e.name, "rEAd") || platform::iequals(e.name, "Rd.Rs") ||
                    platform::iequals(e.name, "iRD") || platform::iequals(e.name, "iRDt"))) {
            value = platform::fixed(20.0 + channel + 2.5 * std::sin(step * 0.3 + channel), 3);
        } else {
            continue;
        }
        module.set_value(e.name, e.index, value, e.address_offset);
    }
}

}  // namespace varda::sim
