#include "core/app/config_text.h"

#include <functional>
#include <map>
#include <tuple>

#include "core/app/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/json.h"
#include "core/platform/text.h"

namespace varda {
namespace {

using platform::json_quote;

void walk(const DescBranch& branch, const std::string& path,
          const std::function<void(const std::string&, Parameter&)>& visit) {
    for (const auto& p : branch.parameters) visit(path, *p);
    for (const auto& child : branch.children)
        walk(*child, path.empty() ? child->name : path + "/" + child->name, visit);
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The model a JSON names: "VK03", its display name, or its number.
std::optional<int> model_named(const platform::JsonValue& value) {
    if (value.kind == platform::JsonValue::Kind::Number) {
        const int n = static_cast<int>(value.number);
        if (n >= 0 && n < kDeviceCount && n == value.number) return n;
        return std::nullopt;
    }
    if (value.kind != platform::JsonValue::Kind::String) return std::nullopt;
    for (int model = 0; model < kDeviceCount; ++model)
        if (platform::iequals(value.text, device_row(model)->code) || platform::iequals(value.text, display_name(model)))
            return model;
    return std::nullopt;
}

bool build_tree(DescriptionContext& description, int model, std::string& error) {
    DescriptionArchive archive(description_archive_path(), false);
    const DescriptionText text = ReadModelDescription(archive, model);
    if (!text.ok) {
        error = description_archive_path() + ": no usable description of " + std::string(display_name(model));
        return false;
    }
    description.ClearDescription();
    description.LoadDescriptionText(text.text);
    if (!description.root() || description.damaged()) {
        error = description_archive_path() + ": the description of " + std::string(display_name(model)) + " is damaged";
        return false;
    }
    return true;
}

}  // namespace

void visit_parameters(const DescBranch& root,
                      const std::function<void(const std::string&, Parameter&)>& visit) {
    walk(root, "", visit);
}

std::string place_text(const std::string& path, const std::string& name, int index) {
    return (path.empty() ? "" : path + "/") + name + (index >= 0 ? ":" + std::to_string(index) : "");
}

std::vector<ParameterRecord> parameter_records(const DescBranch& root) {
    std::vector<ParameterRecord> records;
    walk(root, "", [&records](const std::string& path, Parameter& p) {
        ParameterRecord r;
        r.path = path;
        r.name = p.network_name();
        r.index = p.indexed ? p.network_index : -1;
        r.description = p.description;
        r.type = p.data_type();
        r.value = p.value_text();
        r.default_value = p.initial_value_text;
        r.differs_from_default = !r.default_value.empty() && !platform::iequals(r.value, r.default_value);
        records.push_back(std::move(r));
    });
    return records;
}

std::string records_json(int model, const std::vector<ParameterRecord>& records) {
    const std::string code = device_row(model) ? std::string(device_row(model)->code) : std::string();
    std::string out = "{\n  \"model\": " + json_quote(code) +
                      ",\n  \"parameters\": [";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ParameterRecord& r = records[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        out += "\"path\": " + json_quote(r.path) + ", \"name\": " + json_quote(r.name) +
               ", \"index\": " + (r.index >= 0 ? std::to_string(r.index) : std::string("null")) +
               ", \"description\": " + json_quote(r.description) + ", \"type\": " + json_quote(r.type) +
               ", \"value\": " + json_quote(r.value) + ", \"default\": " + json_quote(r.default_value) +
               ", \"differs_from_default\": " + (r.differs_from_default ? "true" : "false") + "}";
    }
    return out + (records.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string records_csv(const std::vector<ParameterRecord>& records) {
    std::string out = "path,name,index,description,type,value,default,differs_from_default\n";
    for (const ParameterRecord& r : records) {
        out += csv_field(r.path) + "," + csv_field(r.name) + "," + (r.index >= 0 ? std::to_string(r.index) : "") +
               "," + csv_field(r.description) + "," + csv_field(r.type) + "," + csv_field(r.value) + "," +
               csv_field(r.default_value) + "," + (r.differs_from_default ? "yes" : "no") + "\n";
    }
    return out;
}

std::unique_ptr<LoadedConfiguration> load_configuration_file(const std::string& path) {
    auto loaded = std::make_unique<LoadedConfiguration>();
    // No module: the file's own model decides the tree, and nothing asks about another model.
    const int before = current_model_index();
    set_current_model_index(kNoModel);
    std::string build_error;
    loaded->result = load_configuration(path, loaded->description, [&] {
        loaded->model = current_model_index();
        build_tree(loaded->description, loaded->model, build_error);
    });
    set_current_model_index(before);
    if (!build_error.empty()) {
        loaded->error = build_error;
    } else if (loaded->result.status != LoadStatus::Loaded) {
        loaded->error = path + ": " + (loaded->result.message.empty() ? std::string("not a configuration file this program can read")
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
    const platform::JsonValue* model_value = json->find("model");
    const platform::JsonValue* parameters = json->find("parameters");
    const auto model = model_value ? model_named(*model_value) : std::nullopt;
    if (!model) {
        result.error = "the JSON names no known model (\"model\": \"VK03\")";
        return result;
    }
    if (!parameters || parameters->kind != platform::JsonValue::Kind::Array) {
        result.error = "the JSON has no \"parameters\" list";
        return result;
    }
    DescriptionContext description;
    const int before = current_model_index();
    set_current_model_index(*model);
    const bool built = build_tree(description, *model, result.error);
    set_current_model_index(before);
    if (!built) return result;

    std::map<std::tuple<std::string, std::string, int>, Parameter*> by_place;
    walk(*description.root(), "", [&by_place](const std::string& path, Parameter& p) {
        by_place.emplace(std::tuple{path, platform::to_lower(p.network_name()), p.indexed ? p.network_index : -1}, &p);
    });
    for (const platform::JsonValue& item : parameters->items) {
        const auto text_of = [&item](const char* key) {
            const platform::JsonValue* v = item.find(key);
            return v && v->kind == platform::JsonValue::Kind::String ? v->text : std::string();
        };
        const platform::JsonValue* index_value = item.find("index");
        const int index = index_value && index_value->kind == platform::JsonValue::Kind::Number
                              ? static_cast<int>(index_value->number)
                              : -1;
        const std::string path = text_of("path");
        const std::string name = text_of("name");
        const std::string place = place_text(path, name, index);
        const auto found = by_place.find({path, platform::to_lower(name), index});
        if (found == by_place.end()) {
            result.skipped.push_back(place + ": no such parameter in " + std::string(display_name(*model)));
            continue;
        }
        Parameter& p = *found->second;
        const platform::JsonValue* value = item.find("value");
        if (!value || value->kind != platform::JsonValue::Kind::String) {
            result.skipped.push_back(place + ": no value");
            continue;
        }
        if (value->text == p.value_text()) {
            ++result.applied;
            continue;
        }
        const bool listed = p.data_type().find(':') != std::string::npos;
        if ((listed && !p.item_index(value->text)) || (!listed && !p.AcceptValue(value->text, true))) {
            result.skipped.push_back(place + ": the value \"" + value->text + "\" is refused");
            continue;
        }
        if (listed) p.SetValueText(value->text);
        ++result.applied;
    }
    const SaveResult saved = save_configuration(out_path, *model, description.root());
    if (!saved.ok) result.error = out_path + ": " + saved.message;
    return result;
}

std::vector<ConfigDifference> config_differences(const DescBranch& first, const DescBranch& second) {
    const auto a = parameter_records(first);
    const auto b = parameter_records(second);
    std::map<std::tuple<std::string, std::string, int>, const ParameterRecord*> others;
    for (const auto& r : b) others.emplace(std::tuple{r.path, r.name, r.index}, &r);
    std::vector<ConfigDifference> differences;
    for (const auto& r : a) {
        const auto found = others.find({r.path, r.name, r.index});
        const std::string other = found == others.end() ? std::string("(missing)") : found->second->value;
        if (other != r.value) differences.push_back({r.path, r.name, r.index, r.value, other});
        if (found != others.end()) others.erase(found);
    }
    for (const auto& [place, r] : others) differences.push_back({r->path, r->name, r->index, "(missing)", r->value});
    return differences;
}

std::string difference_text(const ConfigDifference& d) {
    return place_text(d.path, d.name, d.index) + ": " + d.first + " -> " + d.second;
}

}  // namespace varda
