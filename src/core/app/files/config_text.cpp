#include "core/app/files/config_text.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

#include "core/app/files/paths.h"
#include "core/app/tree/tree_edit.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/json.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

using platform::json_quote;
using platform::JsonValue;
using Version = std::optional<std::pair<int, int>>;

void walk(const DescBranch& branch, const std::string& path,
          const std::function<void(const std::string&, Parameter&)>& visit) {
    for (const auto& p : branch.parameters)
        visit(path, *p);
    for (const auto& child : branch.children)
        walk(*child, path.empty() ? child->name : path + "/" + child->name, visit);
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A value as files and text keep it: "no data" as written, whatever the language on screen.
std::string stored_value(const std::string& value) {
    return means_no_data(value) ? std::string(str_as_written(kNoData)) : value;
}

ParameterRecord record_of(const std::string& path, const Parameter& p) {
    ParameterRecord r;
    r.path = path;
    r.name = p.network_name();
    r.index = p.indexed ? p.network_index : -1;
    r.description = p.description;
    r.type = p.data_type();
    r.value = stored_value(p.value_text());
    r.default_value = p.initial_value_text;
    r.differs_from_default = !r.default_value.empty() && !p.same_value(p.value_text(), r.default_value);
    r.access_attribute = p.access_attribute;
    r.user_attribute = p.user_attribute;
    return r;
}

ParameterRecord record_of(const UnplacedRecord& u) {
    ParameterRecord r;
    r.path = u.path;
    r.name = u.name;
    r.index = u.index;
    r.value = stored_value(u.value);
    r.access_attribute = u.access_attribute;
    r.user_attribute = u.user_attribute;
    r.placed = false;
    return r;
}

// The value of the tree's "ver" parameter; "" when the tree has none.
std::string ver_value(const DescBranch& root) {
    std::string value;
    walk(root, "", [&value](const std::string&, Parameter& p) {
        if (!p.indexed && platform::iequals(p.network_name(), "ver")) value = p.value_text();
    });
    return value;
}

std::string version_words(const Version& version) {
    return version ? std::to_string(version->first) + "." + std::to_string(version->second) : std::string();
}

// What a JSON value is, as the file writes it, for a message.
std::string as_written(const JsonValue& value) {
    switch (value.kind) {
        case JsonValue::Kind::Null:
            return "null";
        case JsonValue::Kind::Bool:
            return value.boolean ? "true" : "false";
        case JsonValue::Kind::Number:
            return value.text;
        case JsonValue::Kind::String:
            return json_quote(value.text);
        case JsonValue::Kind::Array:
            return "a list";
        case JsonValue::Kind::Object:
            return "an object";
    }
    return {};
}

// A whole JSON number within [low, high], checked on the number as read, before any conversion.
std::optional<int> whole_number(const JsonValue& value, int low, int high) {
    if (value.kind != JsonValue::Kind::Number || !std::isfinite(value.number)) return std::nullopt;
    if (value.number != std::trunc(value.number) || value.number < low || value.number > high)
        return std::nullopt;
    return static_cast<int>(value.number);
}

// The model a JSON names: "VK03", its display name, or its number.
std::optional<int> model_named(const JsonValue& value) {
    if (value.kind == JsonValue::Kind::Number) return whole_number(value, 0, kDeviceCount - 1);
    if (value.kind != JsonValue::Kind::String) return std::nullopt;
    for (int model = 0; model < kDeviceCount; ++model)
        if (platform::iequals(value.text, device_row(model)->code) ||
            platform::iequals(value.text, display_name(model)))
            return model;
    return std::nullopt;
}

bool build_tree(DescriptionContext& description, int model, const Version& version, std::string& error) {
    DescriptionArchive archive(description_archive_path(), false);
    const DescriptionText text = ReadModelDescription(archive, model);
    if (!text.ok) {
        error = description_archive_path() + ": no usable description of " + std::string(display_name(model));
        return false;
    }
    description.ClearDescription();
    description.model_index = model;
    description.version_major = version ? version->first : -1;
    description.version_minor = version ? version->second : -1;
    description.LoadDescriptionText(text.text);
    if (!description.root() || description.damaged()) {
        error = description_archive_path() + ": the description of " + std::string(display_name(model)) +
                " is damaged";
        return false;
    }
    return true;
}

// One record of the JSON's parameter list, its fields checked.
struct JsonRecord {
    std::string path;
    std::string name;
    int index = -1;
    std::string value;
    std::optional<bool> access;
    std::optional<bool> user;
};

constexpr int kMaxIndex = 65535;

// An attribute as the export writes it (numbered texts `yes` and `no`, any case), or left out. False
// with `why` for anything else.
bool read_attribute(const JsonValue& item, const char* key, int yes, int no, std::optional<bool>& out,
                    std::string& why) {
    const JsonValue* v = item.find(key);
    if (!v || v->kind == JsonValue::Kind::Null) return true;
    for (const bool meaning : {true, false}) {
        if (v->kind == JsonValue::Kind::String &&
            platform::iequals(v->text, str_as_written(meaning ? yes : no))) {
            out = meaning;
            return true;
        }
    }
    why = "\"" + std::string(key) + "\" is " + as_written(*v) + ", not \"" +
          std::string(str_as_written(yes)) + "\" or \"" + std::string(str_as_written(no)) + "\"";
    return false;
}

// The record, or nothing with `why`.
std::optional<JsonRecord> read_record(const JsonValue& item, std::string& why) {
    if (item.kind != JsonValue::Kind::Object) {
        why = "a record is an object, not " + as_written(item);
        return std::nullopt;
    }
    JsonRecord r;
    const JsonValue* name = item.find("name");
    if (!name || name->kind != JsonValue::Kind::String || name->text.empty()) {
        why = name ? "\"name\" is " + as_written(*name) + ", not a parameter's name" : "no \"name\"";
        return std::nullopt;
    }
    r.name = name->text;
    if (const JsonValue* path = item.find("path"); path && path->kind != JsonValue::Kind::Null) {
        if (path->kind != JsonValue::Kind::String) {
            why = "\"path\" is " + as_written(*path) + ", not a text";
            return std::nullopt;
        }
        r.path = path->text;
    }
    if (const JsonValue* index = item.find("index"); index && index->kind != JsonValue::Kind::Null) {
        const auto whole = whole_number(*index, 0, kMaxIndex);
        if (!whole) {
            why = "\"index\" is " + as_written(*index) + ", not a whole number from 0 to " +
                  std::to_string(kMaxIndex);
            return std::nullopt;
        }
        r.index = *whole;
    }
    const JsonValue* value = item.find("value");
    if (!value) {
        why = "no \"value\"";
        return std::nullopt;
    }
    // A number stands for the text it is written as, so the parameter's own rules read it.
    if (value->kind != JsonValue::Kind::String && value->kind != JsonValue::Kind::Number) {
        why = "\"value\" is " + as_written(*value) + ", not a text or a number";
        return std::nullopt;
    }
    r.value = value->text;
    if (!read_attribute(item, "access", kReadWrite, kReadOnly, r.access, why)) return std::nullopt;
    if (!read_attribute(item, "user", kUserCompany, kUserUnknown, r.user, why)) return std::nullopt;
    return r;
}

// The item names of a list parameter for a message: "Ravelin, Modbus RTU, …".
std::string item_names(const Parameter& p) {
    constexpr std::size_t kMostNamed = 65;
    std::string out;
    const auto choices = ValueType(p.data_type()).choices();
    for (std::size_t k = 0; k < choices.size() && k < kMostNamed; ++k)
        out += (k ? ", " : "") + choices[k].shown;
    return out;
}

std::string one_line(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return text;
}

// Takes the record's value into the parameter as the editor would take it typed, then as a read shows
// it. Returns why not.
std::string take_value(Parameter& p, const std::string& text) {
    if (text.size() > MyConverter::kMaxValueText)
        return "the value is longer than " + std::to_string(MyConverter::kMaxValueText) + " bytes";
    if (!platform::cp1251_holds(text))
        return "the value " + json_quote(text) +
               " holds characters a configuration file cannot keep (its texts are in Windows-1251)";
    if (means_no_data(text)) {
        p.SetValueText(std::string(str(kNoData)));
        return {};
    }
    if (ValueType(p.data_type()).is_enumeration()) {
        if (!p.item_index(text)) return json_quote(text) + " is none of " + item_names(p);
        p.SetValueText(text);
    } else if (!p.writable) {
        // Never written to a module: kept as the JSON says, as a read keeps what the module said.
        p.SetValueText(text);
    } else if (!p.AcceptValue(text, true)) {
        return one_line(value_rejection_text(p, text));
    }
    p.SetValueText(p.read_form(p.value_text()));
    return {};
}

using Place = std::tuple<std::string, std::string, int>;

// A side of a comparison: the record and, when a parameter of the tree holds it, that parameter.
struct Entry {
    ParameterRecord record;
    Parameter* parameter = nullptr;
};

std::vector<Entry> entries_of(const DescBranch& root) {
    std::vector<Entry> entries;
    walk(root, "", [&entries](const std::string& path, Parameter& p) {
        entries.push_back({record_of(path, p), &p});
    });
    return entries;
}

bool same(const Entry& a, const Entry& b) {
    const Parameter* codec = a.parameter ? a.parameter : b.parameter;
    const bool same_value =
        codec ? codec->same_value(a.record.value, b.record.value) : a.record.value == b.record.value;
    return same_value && a.record.access_attribute == b.record.access_attribute &&
           a.record.user_attribute == b.record.user_attribute;
}

std::vector<ConfigDifference> differences_of(const std::vector<Entry>& first,
                                             const std::vector<Entry>& second) {
    std::map<Place, std::size_t> others;
    for (std::size_t k = 0; k < second.size(); ++k) {
        const ParameterRecord& r = second[k].record;
        others.emplace(Place{r.path, r.name, r.index}, k);
    }
    std::vector<bool> matched(second.size(), false);
    std::vector<ConfigDifference> differences;
    for (const Entry& a : first) {
        const ParameterRecord& r = a.record;
        const auto found = others.find({r.path, r.name, r.index});
        if (found != others.end() && !matched[found->second]) {
            matched[found->second] = true;
            const Entry& b = second[found->second];
            if (!same(a, b))
                differences.push_back({r.path, r.name, r.index, r, b.record, a.parameter, b.parameter});
        } else {
            differences.push_back({r.path, r.name, r.index, r, std::nullopt, a.parameter, nullptr});
        }
    }
    for (std::size_t k = 0; k < second.size(); ++k) {
        if (matched[k]) continue;
        const ParameterRecord& r = second[k].record;
        differences.push_back({r.path, r.name, r.index, std::nullopt, r, nullptr, second[k].parameter});
    }
    return differences;
}

}  // namespace

void visit_parameters(const DescBranch& root,
                      const std::function<void(const std::string&, Parameter&)>& visit) {
    walk(root, "", visit);
}

std::string place_text(const std::string& path, const std::string& name, int index) {
    return (path.empty() ? "" : path + "/") + name + (index >= 0 ? ":" + std::to_string(index) : "");
}

std::string access_word(bool access_attribute) {
    return std::string(str_as_written(access_attribute ? kReadWrite : kReadOnly));
}

std::string user_word(bool user_attribute) {
    return std::string(str_as_written(user_attribute ? kUserCompany : kUserUnknown));
}

std::vector<ParameterRecord> parameter_records(const DescBranch& root) {
    std::vector<ParameterRecord> records;
    walk(root, "",
         [&records](const std::string& path, Parameter& p) { records.push_back(record_of(path, p)); });
    return records;
}

std::string records_json(int model, const std::vector<ParameterRecord>& records) {
    const std::string code = device_row(model) ? std::string(device_row(model)->code) : std::string();
    std::string out = "{\n  \"model\": " + json_quote(code) + ",\n  \"parameters\": [";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ParameterRecord& r = records[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        out += "\"path\": " + json_quote(r.path) + ", \"name\": " + json_quote(r.name) +
               ", \"index\": " + (r.index >= 0 ? std::to_string(r.index) : std::string("null")) +
               ", \"description\": " + json_quote(r.description) + ", \"type\": " + json_quote(r.type) +
               ", \"value\": " + json_quote(r.value) + ", \"default\": " + json_quote(r.default_value) +
               ", \"differs_from_default\": " + (r.differs_from_default ? "true" : "false") +
               ", \"access\": " + json_quote(access_word(r.access_attribute)) +
               ", \"user\": " + json_quote(user_word(r.user_attribute)) +
               (r.placed ? "" : ", \"placed\": false") + "}";
    }
    return out + (records.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string records_csv(const std::vector<ParameterRecord>& records) {
    std::string out = "path,name,index,description,type,value,default,differs_from_default,access,user\n";
    for (const ParameterRecord& r : records) {
        out += csv_field(r.path) + "," + csv_field(r.name) + "," +
               (r.index >= 0 ? std::to_string(r.index) : "") + "," + csv_field(r.description) + "," +
               csv_field(r.type) + "," + csv_field(r.value) + "," + csv_field(r.default_value) + "," +
               (r.differs_from_default ? "yes" : "no") + "," + access_word(r.access_attribute) + "," +
               user_word(r.user_attribute) + "\n";
    }
    return out;
}

std::optional<std::pair<int, int>> version_of(const std::string& ver_value) {
    if (ver_value.empty() || ver_value[0] < '0' || ver_value[0] > '9') return std::nullopt;
    const auto version = module_version(ver_value);
    if (version.first < 0) return std::nullopt;
    return version;
}

std::vector<ParameterRecord> LoadedConfiguration::records() const {
    std::vector<ParameterRecord> out;
    if (description.root()) out = parameter_records(*description.root());
    for (const UnplacedRecord& u : result.unplaced)
        out.push_back(record_of(u));
    return out;
}

std::vector<std::string> LoadedConfiguration::unplaced_notes() const {
    std::vector<std::string> notes;
    const std::string model_name(display_name(model));
    const Version v = version_of(version);
    for (const UnplacedRecord& u : result.unplaced) {
        notes.push_back(place_text(u.path, u.name, u.index) + " = " + stored_value(u.value) + ": " +
                        (v ? "no parameter of " + model_name + " at module version " + version_words(v) +
                                 " is in that place"
                           : "the file does not say the module's version (its \"ver\" is " +
                                 json_quote(stored_value(version)) + "), and without it " + model_name +
                                 " has no parameter in that place"));
    }
    return notes;
}

std::unique_ptr<LoadedConfiguration> load_configuration_file(const std::string& path) {
    auto loaded = std::make_unique<LoadedConfiguration>();
    std::string build_error;
    const auto load = [&](const Version& version) {
        // No module: the file's own model decides the tree, and nothing asks about another model.
        std::atomic<int> model{kNoModel};
        build_error.clear();
        loaded->result = load_configuration(path, loaded->description, model, [&] {
            loaded->model = model;
            build_tree(loaded->description, loaded->model, version, build_error);
        });
    };
    load(std::nullopt);
    // What "#if ver" declares is only in the tree of a known version: read the file again into the tree
    // of the version it was read with.
    if (build_error.empty() && loaded->result.status == LoadStatus::Loaded && loaded->description.root()) {
        loaded->version = ver_value(*loaded->description.root());
        if (const Version version = version_of(loaded->version)) load(version);
    }
    if (!build_error.empty()) {
        loaded->error = build_error;
    } else if (loaded->result.status != LoadStatus::Loaded) {
        loaded->error =
            path + ": " +
            (loaded->result.message.empty() ? std::string("not a configuration file this program can read")
                                            : loaded->result.message);
    } else if (!loaded->description.root()) {
        loaded->error = path + ": the file holds no configuration";
    }
    return loaded;
}

ImportResult import_json(const std::string& json_text, const std::string& out_path) {
    ImportResult result;
    std::string error;
    const auto json = platform::parse_json(json_text, error);
    if (!json) {
        result.error = "not JSON (" + error + ")";
        return result;
    }
    if (json->kind != JsonValue::Kind::Object) {
        result.error =
            "the JSON is " + as_written(*json) + ", not an object with \"model\" and \"parameters\"";
        return result;
    }
    const JsonValue* model_value = json->find("model");
    if (!model_value) {
        result.error = "the JSON names no model (\"model\": \"VK03\")";
        return result;
    }
    const auto model = model_named(*model_value);
    if (!model) {
        result.error = "\"model\" is " + as_written(*model_value) +
                       ", which names no model this program knows (VK00 to VK" +
                       std::to_string(kDeviceCount - 1) + ", or a model's name such as " +
                       std::string(display_name(3)) + ")";
        return result;
    }
    const JsonValue* parameters = json->find("parameters");
    if (!parameters || parameters->kind != JsonValue::Kind::Array) {
        result.error = parameters ? "\"parameters\" is " + as_written(*parameters) + ", not a list"
                                  : "the JSON has no \"parameters\" list";
        return result;
    }
    if (parameters->items.empty()) {
        result.error =
            "the \"parameters\" list is empty: a configuration file made from it would hold no value";
        return result;
    }

    // Every record checked first, so that one run names every fault.
    std::vector<JsonRecord> records;
    std::map<Place, std::size_t> first_seen;
    Version version;
    for (std::size_t k = 0; k < parameters->items.size(); ++k) {
        const std::string number = "record " + std::to_string(k + 1);
        std::string why;
        auto record = read_record(parameters->items[k], why);
        if (!record) {
            result.refused.push_back(number + ": " + why);
            continue;
        }
        const std::string place = place_text(record->path, record->name, record->index);
        const auto [seen, fresh] =
            first_seen.emplace(Place{record->path, platform::to_lower(record->name), record->index}, k);
        if (!fresh) {
            result.refused.push_back(number + " (" + place + "): the same parameter as record " +
                                     std::to_string(seen->second + 1));
            continue;
        }
        if (record->index < 0 && platform::iequals(record->name, "ver")) version = version_of(record->value);
        records.push_back(std::move(*record));
    }

    DescriptionContext description;
    if (!build_tree(description, *model, version, result.error)) return result;

    std::map<Place, Parameter*> by_place;
    walk(*description.root(), "", [&by_place](const std::string& path, Parameter& p) {
        by_place.emplace(Place{path, platform::to_lower(p.network_name()), p.indexed ? p.network_index : -1},
                         &p);
    });
    const std::string model_name(display_name(*model));
    for (const JsonRecord& r : records) {
        const std::string place = place_text(r.path, r.name, r.index);
        const auto found = by_place.find({r.path, platform::to_lower(r.name), r.index});
        if (found == by_place.end()) {
            result.skipped.push_back(
                place + ": no such parameter in " + model_name +
                (version ? " at module version " + version_words(version)
                         : " while the module's version is unknown (no \"ver\" record names it)"));
            continue;
        }
        Parameter& p = *found->second;
        if (const std::string why = take_value(p, r.value); !why.empty()) {
            result.refused.push_back(place + ": " + why);
            continue;
        }
        if (r.access) p.access_attribute = *r.access;
        if (r.user) p.user_attribute = *r.user;
        // As the file a read makes: nothing in it waits to be written.
        p.value_modified = p.access_modified = p.user_modified = false;
        p.clear_failure();
        ++result.applied;
    }
    if (!result.refused.empty()) {
        result.error = std::to_string(result.refused.size()) +
                       " of the records cannot be taken (listed above); " + out_path + " was not written";
        result.skipped.clear();
        return result;
    }
    if (result.applied == 0) {
        // Every record skipped: a file of nothing but the description's defaults is no import of this JSON.
        result.error =
            "none of the records names a parameter of " + model_name + "; " + out_path + " was not written";
        result.refused = std::move(result.skipped);
        result.skipped.clear();
        return result;
    }
    const SaveResult saved = save_configuration(out_path, *model, description.root());
    if (!saved.ok) result.error = one_line(saved.message);
    return result;
}

std::vector<ConfigDifference> config_differences(const DescBranch& first, const DescBranch& second) {
    return differences_of(entries_of(first), entries_of(second));
}

std::vector<ConfigDifference> config_differences(const LoadedConfiguration& first,
                                                 const LoadedConfiguration& second) {
    const auto entries = [](const LoadedConfiguration& c) {
        std::vector<Entry> out = entries_of(*c.description.root());
        for (const UnplacedRecord& u : c.result.unplaced)
            out.push_back({record_of(u), nullptr});
        return out;
    };
    return differences_of(entries(first), entries(second));
}

std::string difference_text(const ConfigDifference& d) {
    const bool attributes_differ = d.first && d.second &&
                                   (d.first->access_attribute != d.second->access_attribute ||
                                    d.first->user_attribute != d.second->user_attribute);
    const auto side = [attributes_differ](const std::optional<ParameterRecord>& r) {
        if (!r) return std::string("(missing)");
        if (!attributes_differ) return r->value;
        return r->value + " (" + access_word(r->access_attribute) + ", " + user_word(r->user_attribute) + ")";
    };
    return place_text(d.path, d.name, d.index) + ": " + side(d.first) + " -> " + side(d.second);
}

}  // namespace varda
