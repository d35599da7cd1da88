#include "core/app/document/document.h"

#include <chrono>
#include <thread>

#include "core/app/document/apply_settings.h"
#include "core/app/document/dialogs.h"
#include "core/app/document/differences.h"
#include "core/app/files/config_file.h"
#include "core/app/files/paths.h"
#include "core/app/tree/tree_edit.h"
#include "core/devices/models.h"
#include "core/devices/module_restore.h"
#include "core/link/exit_status.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/value_rules.h"
#include "core/platform/language.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda {

namespace {

constexpr int kStringDefaultsWarning = 173;
constexpr int kStringInitQuestion = 183;
constexpr int kStringInitError = 179;
constexpr int kStringIgnoreAttributes = 182;
constexpr const char* kBranchNotSelected = "Branch is not selected";
// Names of edits in the Edit menu.
constexpr const char* kApplyDefaultsStep = "Apply default settings";
constexpr const char* kNoDataStep = "Set to no data";

std::string offline_message(std::string_view task_name) {
    return std::string(localized(task_name)) +
           std::string(localized(" cannot work offline: no module is connected.\nConnect to the module first "
                                 "with Device > Serial port settings... or Check connection..."));
}

constexpr const char* kUnwrittenEditsQuestion =
    "Some edited values have not been written to the module and will be lost. Continue?";

}  // namespace

CTarnDoc::CTarnDoc(Options& options, std::unique_ptr<SerialBackend> backend)
    : options_(options),
      device_(std::make_unique<Device>(context_, std::move(backend), options)),
      common_(std::make_unique<Elements::CommonParams>()) {
    archive_path = description_archive_path();
    description_.model_factory = create_device_model;
    device_->on_document_modified = [this] { modified = true; };
    device_->parameter_place = [this](const Parameter& p) {
        const auto found = places_.find(&p);
        return found != places_.end() ? found->second : p.network_name();
    };
    device_->on_show_all_differences = [this] { show_module_differences(*this); };
    settings_store().set_string(kDevicesGroup, "devices", "Varda");
}

CTarnDoc::~CTarnDoc() {
    device_->stop_threads();
    clear_tree();
}

void CTarnDoc::start(bool command_line_mode, bool test_run) {
    start_after_connect(device_->connect(), command_line_mode, test_run);
}

void CTarnDoc::start_after_connect(bool connected, bool command_line_mode, bool test_run) {
    if (!connected && device_->identify_result == Identification::UnknownModel)
        context_.status.set(kStatusUnknownModel);
    if (!connected && !command_line_mode &&
        dialogs().run_connection_dialog(true) == Dialogs::ConnectionChoice::Exit)
        exit_request = true;
    if (test_run) exit_request = true;
}

bool CTarnDoc::new_document() {
    device_->stop_threads();  // the scanner must not outlive the tree it polls
    clear_tree();
    if (exit_request) return false;
    path_name.clear();
    modified = false;
    if (!load_description()) return false;
    device_->program_network().ClearModified();
    device_->open_with_settings(true);
    return true;
}

bool CTarnDoc::load_description() {
    description_error.clear();
    const int model = context_.model.load();
    if (model < 0 || model >= kDeviceCount) return false;
    DescriptionArchive archive(archive_path, false);
    const DescriptionText text = ReadModelDescription(archive, model);
    if (!text.ok) {
        if (text.message) ui().message(str(text.message), MessageIcon::Error);
        description_error = !archive.failure_message().empty()
                                ? archive.failure_message()
                                : archive_path + ": no description of " + std::string(display_name(model));
        return false;
    }
    description_.model_index = model;
    description_.version_major = device_->version_major;
    description_.version_minor = device_->version_minor;
    description_.LoadDescriptionText(text.text);
    device_->set_device_model(device_model());
    if (description_.damaged())
        description_error =
            archive_path + ": the description of " + std::string(display_name(model)) + " is damaged";
    return true;
}

bool CTarnDoc::open_file(const std::string& path) {
    return load_file(path).opened();
}

LoadResult CTarnDoc::load_file(const std::string& path) {
    device_->stop_threads();
    LoadOptions options;
    options.rebuild_after_format_error = !ui().has_main_window();
    LoadResult result = load_configuration(
        path, description_, context_.model,
        [this] {
            clear_tree();
            load_description();
        },
        options);
    device_->set_device_model(device_model());
    if (!result.opened()) return result;
    history_.clear();
    path_name = path;
    modified = false;
    refuse_file_values(result);
    return result;
}

void CTarnDoc::refuse_file_values(LoadResult& result) {
    if (!root()) return;
    AddressValidator validator;
    if (CBaseDevice* model = device_model())
        validator = [model](long address, std::string_view length) {
            return model->IsValidAddress(address, length);
        };
    // A value the editor would refuse is never written: the tree holds "no data" in its place and says why.
    for (const RefusedValue& refused : refused_values(*root(), validator)) {
        refused.parameter->SetValueText(std::string(str(kNoData)));
        refused.parameter->set_failure(
            FailureKind::Described,
            std::string(localized("Refused from the file: ")) + refused.value + " (" + refused.why + ")");
        result.refused.push_back(refused_value_text(refused));
    }
    if (result.refused.empty() || !ui().has_main_window()) return;
    std::string list;
    for (const std::string& line : result.refused)
        list += "\n" + line;
    ui().message(
        std::string(localized("The file holds values outside what the parameters allow; they were not "
                              "loaded and will not be written:")) +
            list,
        MessageIcon::Warning);
}

bool CTarnDoc::save_file(const std::string& path) {
    return save_file_reporting(path).ok;
}

SaveResult CTarnDoc::save_file_reporting(const std::string& path) {
    const SaveResult result = save_configuration(path, tree_model_index(), root());
    if (!result.ok) {
        ui().message(result.message, MessageIcon::Error);
        return result;
    }
    path_name = path;
    modified = false;
    return result;
}

int CTarnDoc::tree_model_index() const {
    const ModelHooks* shown = description_.device_model().get();
    return root() && shown ? shown->model_index() : context_.model.load();
}

void CTarnDoc::clear_tree() {
    history_.clear();
    device_->set_device_model(nullptr);
    description_.ClearDescription();
    description_.device_model().reset();
    selected_branch_ = nullptr;
    file_network_.reset();
}

void CTarnDoc::reset_contents() {
    if (root()) root()->ResetValues();
}

ObjectWithParameters* CTarnDoc::module_network() const {
    if (description_.network_parameters()) return description_.network_parameters();
    return file_network_.get();
}

void CTarnDoc::refresh() {
    if (ui().has_main_window() && refresh_views) refresh_views();
}

bool CTarnDoc::offline() const {
    return device_->identify_result != Identification::KnownModel;
}

bool CTarnDoc::exchange_on(ObjectWithParameters* target, bool (Device::*task)(ObjectWithParameters&),
                           const char* missing_message, std::string_view task_name) {
    if (!target) {
        ui().message(missing_message, MessageIcon::Error, str(kAppTitle));
        return false;
    }
    if (offline()) {
        ui().message(offline_message(task_name), MessageIcon::Warning, str(kAppTitle));
        return false;
    }
    const bool ran = ((*device_).*task)(*target);
    if (ran) refresh();
    return ran;
}

bool CTarnDoc::read_all() {
    return exchange_on(root(), &Device::read_all, std::string(str(kTreeNotSelected)).c_str(), "Read all");
}
bool CTarnDoc::write_all() {
    return exchange_on(root(), &Device::write_all, std::string(str(kTreeNotSelected)).c_str(), "Write all");
}
bool CTarnDoc::write_changes() {
    return exchange_on(root(), &Device::write_changes, std::string(str(kTreeNotSelected)).c_str(),
                       "Write changes");
}
bool CTarnDoc::compare() {
    places_ = root() ? parameter_places(*root()) : std::map<const Parameter*, std::string>{};
    return exchange_on(root(), &Device::compare, std::string(str(kTreeNotSelected)).c_str(), "Compare");
}

namespace {
ObjectWithParameters* as_branch(ObjectWithParameters* selected) {
    return dynamic_cast<DescBranch*>(selected) ? selected : nullptr;
}
}  // namespace

bool CTarnDoc::read_branch() {
    return exchange_on(as_branch(selected_branch_), &Device::read_all, kBranchNotSelected,
                       "Read selected branch");
}
bool CTarnDoc::write_branch() {
    return exchange_on(as_branch(selected_branch_), &Device::write_all, kBranchNotSelected,
                       "Write selected branch");
}
bool CTarnDoc::write_branch_changes() {
    return exchange_on(as_branch(selected_branch_), &Device::write_changes, kBranchNotSelected,
                       "Write branch changes");
}
bool CTarnDoc::compare_branch() {
    places_ = root() ? parameter_places(*root()) : std::map<const Parameter*, std::string>{};
    return exchange_on(as_branch(selected_branch_), &Device::compare, kBranchNotSelected,
                       "Compare in branch");
}

bool CTarnDoc::write_parameters(const std::vector<Parameter*>& parameters) {
    if (offline()) {
        ui().message(offline_message("Write checked to the module"), MessageIcon::Warning, str(kAppTitle));
        return false;
    }
    const bool ran = device_->write_parameters(parameters);
    if (ran) refresh();
    return ran;
}

void CTarnDoc::apply_default_settings() {
    CBaseDevice* model = device_model();
    if (model && !model->ModuleRestoreWrites().empty()) {
        const auto failure = run_module_restore(model->ModuleRestoreWrites(), [this](Parameter& p) {
            return device_->request(false, &p) == RequestResult::Done;
        });
        if (failure) {
            ui().message(*failure, MessageIcon::Warning, str(kRestoreErrorCaption));
        } else if (ui().ask(str(kRestoreDoneQuestion), Buttons::YesNo, MessageIcon::Information) ==
                   Answer::Yes) {
            ui().post([this] { read_all(); });
        }
        return;
    }
    if (!root()) {
        ui().message(str(kTreeNotSelected), MessageIcon::Error, str(kAppTitle));
        return;
    }
    if (ui().ask(str(kStringDefaultsWarning), Buttons::YesNoSafeNo, MessageIcon::Warning) != Answer::Yes)
        return;
    EditHistory::Recording recording(std::string(kApplyDefaultsStep), tree_parameters());
    const bool applied = device_->apply_defaults(*root());
    history_.finish(recording);
    if (applied) refresh();
    execute_init();
}

namespace {
void collect_parameters(const DescBranch& branch, std::vector<Parameter*>& out) {
    for (const auto& p : branch.parameters)
        if (!p->is_scanner()) out.push_back(p.get());
    for (const auto& child : branch.children)
        collect_parameters(*child, out);
}
}  // namespace

std::vector<Parameter*> CTarnDoc::tree_parameters() const {
    std::vector<Parameter*> out;
    if (root()) collect_parameters(*root(), out);
    return out;
}

void CTarnDoc::set_no_data(Parameter& parameter) {
    EditHistory::Recording recording(std::string(kNoDataStep), {&parameter});
    parameter.SetValueText(std::string(str(kNoData)));
    parameter.clear_failure();
    parameter.value_modified = parameter.access_modified = parameter.user_modified = false;
    history_.finish(recording);
}

bool CTarnDoc::undo() {
    if (!history_.undo()) return false;
    modified = true;
    refresh();
    return true;
}

bool CTarnDoc::redo() {
    if (!history_.redo()) return false;
    modified = true;
    refresh();
    return true;
}

bool CTarnDoc::has_unwritten_edits() const {
    return root() && varda::has_unwritten_edits(*root());
}

bool CTarnDoc::may_drop_unwritten_edits() {
    if (!has_unwritten_edits()) return true;
    return ui().ask(kUnwrittenEditsQuestion, Buttons::YesNoSafeNo, MessageIcon::Warning) == Answer::Yes;
}

void CTarnDoc::execute_init() {
    if (ui().ask(str(kStringInitQuestion), Buttons::YesNoSafeNo, MessageIcon::Question) != Answer::Yes)
        return;
    std::string error;
    if (device_->execute_init(error)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    } else {
        ui().message(std::string(str(kStringInitError)) + error, MessageIcon::None);
    }
}

void CTarnDoc::apply_new_settings(bool command_line_mode, bool aply_option) {
    ObjectWithParameters* network = module_network();
    if (!command_line_mode) {
        // The dialog sends APLY and, when asked, takes the settings over and reopens the port itself.
        ApplyController dialog(device_.get(), network);
        dialogs().run_apply_dialog(dialog);
    } else if (aply_option) {
        if (CBaseDevice* model = device_model()) device_->request(false, &model->GetApplyParameter());
        if (network) follow_module_network(*device_, *network);
    }
    refresh();
}

void CTarnDoc::check_connection() {
    device_->identify(true);
}

bool CTarnDoc::tree_model_differs() const {
    const int model = context_.model.load();
    if (model == kNoModel) return false;
    const CBaseDevice* shown = device_model();
    return !shown || shown->model_index() != model;
}

void CTarnDoc::toggle_show_indexes() {
    options_.show_indexes = !options_.show_indexes;
    refresh();
}
void CTarnDoc::toggle_read_automatically() {
    options_.read_automatically = !options_.read_automatically;
}
void CTarnDoc::toggle_instant_recording() {
    options_.instant_recording = !options_.instant_recording;
}
void CTarnDoc::toggle_do_not_send_attributes() {
    if (options_.do_not_send_attributes) {
        options_.do_not_send_attributes = false;
        return;
    }
    options_.do_not_send_attributes = true;
    ui().message(str(kStringIgnoreAttributes), MessageIcon::Information);
}

void CTarnDoc::close() {
    device_->stop_threads();
    Parameter init("INIT");
    init.set_data_type("void");
    // The last INIT read is a courtesy to the module: its outcome is no part of the run's result.
    const StatusCheckpoint courtesy(context_.status);
    if (device_->sio().is_open()) device_->request(true, &init);
    courtesy.rewind();
    device_->set_device_model(nullptr);
    description_.device_model().reset();
    reset_contents();
}

}  // namespace varda
