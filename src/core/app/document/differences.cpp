#include "core/app/document/differences.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "core/app/document/dialogs.h"
#include "core/app/document/document.h"
#include "core/app/files/config_text.h"
#include "core/app/tree/tree_edit.h"
#include "core/link/device.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

constexpr int kStringComparisonResult = 160;
constexpr const char* kModuleColumn = "Module";
constexpr const char* kTakeFromModuleStep = "Take values from the module";
constexpr const char* kTakeFromFileStep = "Take values from the file";
constexpr const char* kShowAll = "Show all";

// "(read-only, Company)" after the value when a module's attributes differ.
std::string attributes_note(const Difference& d) {
    if (!d.attributes_differ) return {};
    return " (" + std::string(str(d.other_access ? kReadWrite : kReadOnly)) +
           (d.other_user ? ", " + std::string(str(kUserCompany)) : std::string()) + ")";
}

bool in_branch(const std::string& path, const std::string& branch) {
    if (branch.empty()) return path.empty();
    return path == branch ||
           (path.size() > branch.size() && path.starts_with(branch) && path[branch.size()] == '/');
}

std::string access_text(bool access) {
    return std::string(str(access ? kReadWrite : kReadOnly));
}
std::string user_text(bool user) {
    return std::string(str(user ? kUserCompany : kUserUnknown));
}

// The comparison result of a file: the count and the first ten, each with its place and both sides' value
// and attributes; then what only one side holds.
std::string file_report(const std::vector<Difference>& rows, const std::vector<std::string>& not_compared) {
    std::string described;
    for (std::size_t k = 0; k < rows.size() && k < static_cast<std::size_t>(kDescribedDifferences); ++k) {
        const Difference& d = rows[k];
        const Parameter& p = *d.parameter;
        described += platform::format_c(
            std::string(localized("%i. Parameter '%s (%s)\nconfiguration: value = %s, access = %s, user = "
                                  "%s\nfile: value = %s, access = %s, user = %s\n "))
                .c_str(),
            static_cast<int>(k + 1), place_text(d.path, d.name, d.index).c_str(), d.description.c_str(),
            d.document_value.c_str(), access_text(p.access_attribute).c_str(),
            user_text(p.user_attribute).c_str(), d.other_value.c_str(), access_text(d.other_access).c_str(),
            user_text(d.other_user).c_str());
    }
    std::string report = comparison_report_text(static_cast<int>(rows.size()), described);
    if (!not_compared.empty()) {
        report += "\n\n" + std::string(localized("Not compared (no value on one side):"));
        for (const std::string& line : not_compared)
            report += "\n" + line;
    }
    return report;
}

}  // namespace

std::map<const Parameter*, std::string> parameter_places(const DescBranch& root) {
    std::map<const Parameter*, std::string> places;
    visit_parameters(root, [&places](const std::string& path, Parameter& p) {
        places.emplace(&p, place_text(path, p.network_name(), p.indexed ? p.network_index : -1));
    });
    return places;
}

DifferencesController::DifferencesController(CTarnDoc& doc, Source source, std::string other_name,
                                             std::vector<Difference> rows)
    : doc_(doc), source_(source), other_name_(std::move(other_name)), rows_(std::move(rows)) {}

DifferencesController::DifferencesController(CTarnDoc& doc, std::string file_name,
                                             std::vector<Difference> rows,
                                             std::shared_ptr<const LoadedConfiguration> file,
                                             std::vector<std::string> not_compared)
    : doc_(doc),
      source_(Source::File),
      other_name_(std::move(file_name)),
      rows_(std::move(rows)),
      file_(std::move(file)),
      not_compared_(std::move(not_compared)) {}

std::string DifferencesController::cell_text(const Difference& d, DifferenceColumn column) {
    switch (column) {
        case DifferenceColumn::Branch:
            return d.path;
        case DifferenceColumn::Parameter:
            return d.index >= 0 ? d.name + ":" + std::to_string(d.index) : d.name;
        case DifferenceColumn::Description:
            return d.description;
        case DifferenceColumn::Document:
            return d.document_value;
        case DifferenceColumn::Other:
            return d.other_value + attributes_note(d);
    }
    return {};
}

std::vector<std::size_t> DifferencesController::shown() const {
    std::vector<std::size_t> out;
    for (std::size_t k = 0; k < rows_.size(); ++k)
        if (!filter_ || in_branch(rows_[k].path, *filter_)) out.push_back(k);
    return out;
}

std::vector<std::string> DifferencesController::branches() const {
    std::vector<std::string> out;
    for (const Difference& d : rows_)
        if (std::find(out.begin(), out.end(), d.path) == out.end()) out.push_back(d.path);
    std::sort(out.begin(), out.end(),
              [](const std::string& a, const std::string& b) { return natural_compare(a, b) < 0; });
    return out;
}

void DifferencesController::sort_by(DifferenceColumn column, bool ascending) {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [column, ascending](const Difference& a, const Difference& b) {
                         int order = natural_compare(cell_text(a, column), cell_text(b, column));
                         // Rows of one parameter name keep their indexes in number order.
                         if (order == 0 && column == DifferenceColumn::Branch)
                             order = natural_compare(cell_text(a, DifferenceColumn::Parameter),
                                                     cell_text(b, DifferenceColumn::Parameter));
                         return ascending ? order < 0 : order > 0;
                     });
}

void DifferencesController::check_shown(bool checked) {
    for (const std::size_t k : shown())
        rows_[k].checked = checked;
}

int DifferencesController::checked_count() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const Difference& d) { return d.checked; }));
}

std::vector<Parameter*> DifferencesController::checked_parameters() const {
    std::vector<Parameter*> out;
    for (const Difference& d : rows_)
        if (d.checked && d.parameter) out.push_back(d.parameter);
    return out;
}

int DifferencesController::take_checked() {
    const std::vector<Parameter*> parameters = checked_parameters();
    if (parameters.empty()) return 0;
    const bool from_module = source_ == Source::Module;
    EditHistory::Recording recording(from_module ? kTakeFromModuleStep : kTakeFromFileStep, parameters);
    for (const Difference& d : rows_) {
        if (!d.checked || !d.parameter) continue;
        Parameter& p = *d.parameter;
        if (from_module) {
            // Now as the module holds it, as after a read: nothing left to write.
            p.SetValueText(d.other_value);
            p.access_attribute = d.other_access;
            p.user_attribute = d.other_user;
            p.value_modified = p.access_modified = p.user_modified = false;
            p.clear_failure();
        } else {
            // What the file holds is an edit still to be written to the module.
            if (!p.same_value(p.value_text(), d.other_value)) {
                p.SetValueText(d.other_value);
                p.value_modified = true;
            }
            if (p.access_attribute != d.other_access) {
                p.access_attribute = d.other_access;
                p.access_modified = true;
            }
            if (p.user_attribute != d.other_user) {
                p.user_attribute = d.other_user;
                p.user_modified = true;
            }
        }
    }
    doc_.history().finish(recording);
    doc_.modified = true;
    std::erase_if(rows_, [](const Difference& d) { return d.checked && d.parameter; });
    if (doc_.refresh_views) doc_.refresh_views();
    return static_cast<int>(parameters.size());
}

bool DifferencesController::write_checked() {
    std::vector<Parameter*> parameters;
    if (source_ == Source::File) {
        for (const Difference& d : rows_)
            if (d.checked && d.file_parameter) parameters.push_back(d.file_parameter);
    } else {
        parameters = checked_parameters();
    }
    if (parameters.empty() || !doc_.write_parameters(parameters)) return false;
    if (source_ == Source::Module) {
        // A written parameter now holds in the module what the document says.
        std::erase_if(rows_, [](const Difference& d) {
            return d.checked && d.parameter && d.parameter->writable && d.parameter->error_text.empty();
        });
    }
    return true;
}

std::unique_ptr<DifferencesController> module_differences(CTarnDoc& doc) {
    std::vector<Difference> rows;
    if (doc.root()) {
        std::map<const Parameter*, std::string> paths;
        visit_parameters(*doc.root(),
                         [&paths](const std::string& path, Parameter& p) { paths.emplace(&p, path); });
        for (const ModuleDifference& m : doc.device().module_differences) {
            const auto path = paths.find(m.parameter);
            if (path == paths.end()) continue;  // no longer in the tree
            const Parameter& p = *m.parameter;
            Difference d;
            d.path = path->second;
            d.name = p.network_name();
            d.index = p.indexed ? p.network_index : -1;
            d.description = p.description;
            d.document_value = p.value_text();
            d.other_value = m.value;
            d.attributes_differ =
                p.access_attribute != m.access_attribute || p.user_attribute != m.user_attribute;
            d.other_access = m.access_attribute;
            d.other_user = m.user_attribute;
            d.parameter = m.parameter;
            rows.push_back(std::move(d));
        }
    }
    return std::make_unique<DifferencesController>(doc, DifferencesController::Source::Module, kModuleColumn,
                                                   std::move(rows));
}

std::unique_ptr<DifferencesController> file_differences(CTarnDoc& doc, const std::string& path,
                                                        std::string& error) {
    if (!doc.root()) {
        error = "There is no configuration to compare the file with.";
        return nullptr;
    }
    const std::shared_ptr<const LoadedConfiguration> loaded = load_configuration_file(path);
    if (!loaded->ok()) {
        error = loaded->error;
        return nullptr;
    }
    if (loaded->model != doc.tree_model_index()) {
        error = path + ": a configuration of " + std::string(display_name(loaded->model)) + ", not of " +
                std::string(display_name(doc.tree_model_index()));
        return nullptr;
    }
    std::vector<Difference> rows;
    std::vector<std::string> not_compared;
    const auto only = [&not_compared](const ConfigDifference& c, const char* which) {
        not_compared.push_back(place_text(c.path, c.name, c.index) + std::string(localized(which)));
    };
    for (const ConfigDifference& c : config_differences(*doc.root(), *loaded->description.root())) {
        // Live readings are no configuration.
        if ((c.first_parameter && c.first_parameter->is_scanner()) ||
            (c.second_parameter && c.second_parameter->is_scanner()))
            continue;
        // A parameter only one side holds, or the file holds no value of, has nothing to take or write:
        // named, never offered.
        const bool file_value = c.second && !means_no_data(c.second->value);
        if (!c.first) {
            if (file_value) only(c, ": only the file holds it");
            continue;
        }
        if (!file_value) {
            only(c, c.second ? ": the file holds no value for it" : ": the file does not hold it");
            continue;
        }
        Difference d;
        d.path = c.path;
        d.name = c.name;
        d.index = c.index;
        d.description = c.first->description;
        d.document_value = c.first->value;
        d.other_value = c.second->value;
        d.attributes_differ = c.first->access_attribute != c.second->access_attribute ||
                              c.first->user_attribute != c.second->user_attribute;
        d.other_access = c.second->access_attribute;
        d.other_user = c.second->user_attribute;
        d.parameter = c.first_parameter;
        d.file_parameter = c.second_parameter;
        rows.push_back(std::move(d));
    }
    // Records the file's tree had no place for (its module version unknown) hold nothing to compare either.
    for (const UnplacedRecord& u : loaded->result.unplaced)
        not_compared.push_back(place_text(u.path, u.name, u.index) +
                               std::string(localized(": only the file holds it")));
    return std::make_unique<DifferencesController>(doc, std::filesystem::path(path).filename().string(),
                                                   std::move(rows), loaded, std::move(not_compared));
}

bool compare_with_file(CTarnDoc& doc, const std::string& path) {
    std::string error;
    const auto differences = file_differences(doc, path, error);
    if (!differences) {
        ui().message(error, MessageIcon::Error, str(kStringComparisonResult));
        return false;
    }
    const std::string report = file_report(differences->rows(), differences->not_compared());
    if (differences->rows().empty()) {
        ui().message(report, MessageIcon::Information, str(kStringComparisonResult));
    } else if (ui().message_offering(report, MessageIcon::Information, str(kStringComparisonResult),
                                     kShowAll)) {
        dialogs().show_differences(*differences);
    }
    return true;
}

void show_module_differences(CTarnDoc& doc) {
    const auto differences = module_differences(doc);
    dialogs().show_differences(*differences);
}

}  // namespace varda
