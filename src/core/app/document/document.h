#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/app/document/edit_history.h"
#include "core/app/files/config_file.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/description.h"
#include "core/model/network_elements.h"

namespace varda {

// The single configuration document: the link to the module, the model's parameter tree and every
// command that acts on the module or the whole tree.
class CTarnDoc {
  public:
    CTarnDoc(Options& options, std::unique_ptr<SerialBackend> backend);
    ~CTarnDoc();
    CTarnDoc(const CTarnDoc&) = delete;
    CTarnDoc& operator=(const CTarnDoc&) = delete;

    // Start-up: connect with the stored settings; when that fails outside command-line mode, the
    // connection dialog decides ("Exit" sets the exit request). A test run always ends afterwards.
    void start(bool command_line_mode, bool test_run);
    // The same after a connection attempt made elsewhere (the start-up window's).
    void start_after_connect(bool connected, bool command_line_mode, bool test_run);
    bool exit_request = false;

    // Builds the tree of the current model (File New).
    bool new_document();
    // Reads the current model's description from the archive and builds its tree.
    bool load_description();
    void clear_tree();
    // Every parameter back to "no data", without errors or modified flags.
    void reset_contents();

    // Whole-tree and branch exchanges; false when nothing ran. Offline (no module identified on the line)
    // they say so instead of failing every parameter.
    bool read_all();
    bool write_all();
    bool write_changes();
    bool compare();
    void set_selected_branch(ObjectWithParameters* branch) { selected_branch_ = branch; }
    bool read_branch();
    bool write_branch();
    bool write_branch_changes();
    bool compare_branch();
    // Writes the value texts of these parameters as one task (the checked rows of the differences window).
    bool write_parameters(const std::vector<Parameter*>& parameters);

    void apply_default_settings();
    // The value back to "no data", without errors or modified flags; one step of the edit history.
    void set_no_data(Parameter& parameter);
    // Value edits of the tree, undone and redone; New and Open clear it, writes keep it.
    EditHistory& history() { return history_; }
    bool undo();
    bool redo();
    // Every parameter of the tree, for an edit that may change any of them.
    std::vector<Parameter*> tree_parameters() const;
    // Asks first; writes "INIT"; waits a second after success.
    void execute_init();
    // After the module took new network settings: follow them (interactive: through the APLY dialog;
    // command line: only with the aply option, writing the model's APLY parameter first).
    void apply_new_settings(bool command_line_mode, bool aply_option);
    // Whether no module has been identified on the line (work offline, or none answered at start).
    bool offline() const;
    // Identification with messages.
    void check_connection();
    // True when the module found last is another model than the tree shows, so the tree must be rebuilt
    // before it is read or written (after the connection dialog or a connection check).
    bool tree_model_differs() const;
    void toggle_show_indexes();
    void toggle_read_automatically();
    void toggle_instant_recording();
    void toggle_do_not_send_attributes();
    // Closing: a last "INIT" read without failure counting; the device model goes.
    void close();

    // Configuration files: opening may change the model and rebuild the tree; saving writes through a
    // temporary file. False after a message.
    bool open_file(const std::string& path);
    bool save_file(const std::string& path);
    // The same with the outcome (the message already shown).
    // Opens a configuration file. Values the editor would refuse (out of range, the broadcast address)
    // are not taken: such a parameter holds "no data" and says why, and result.refused names them.
    LoadResult load_file(const std::string& path);
    SaveResult save_file_reporting(const std::string& path);
    // The model the tree was built for (the module found later may be another); the current model when
    // there is no tree.
    int tree_model_index() const;
    // Why the last load of the model's description failed, in one line ("" after a success).
    std::string description_error;

    Device& device() { return *device_; }
    // What belongs to this document's connection: the model, the outcome word, the line's lock.
    ModuleContext& context() { return context_; }
    DescriptionContext& description() { return description_; }
    // The device-model object of the tree's model; nullptr before a description is loaded.
    CBaseDevice* device_model() const { return device_model_of(description_.device_model().get()); }
    DescBranch* root() const { return description_.root(); }
    Elements::CommonParams& common_parameters() { return *common_; }
    // The element holding the module's network settings: the tree's, or one a configuration file brought.
    ObjectWithParameters* module_network() const;
    void set_file_network(std::unique_ptr<Elements::NetRS485> network) { file_network_ = std::move(network); }
    Options& options() { return options_; }

    // Values edited in the tree and not written to the module.
    bool has_unwritten_edits() const;
    // Before the tree goes (New, Open, Exit): true when nothing unwritten is lost or the user lets it go;
    // the safe answer keeps the tree.
    bool may_drop_unwritten_edits();

    std::string path_name;
    // Set by reads on the worker and the I/O status polling thread while the window reads it.
    std::atomic<bool> modified{false};
    std::string archive_path;
    // Redraws every view from the tree (the window sets it).
    std::function<void()> refresh_views;

  private:
    void refuse_file_values(LoadResult& result);
    bool exchange_on(ObjectWithParameters* target, bool (Device::*task)(ObjectWithParameters&),
                     const char* missing_message, std::string_view task_name);
    void refresh();

    Options& options_;
    ModuleContext context_;
    std::unique_ptr<Device> device_;
    DescriptionContext description_;
    std::unique_ptr<Elements::CommonParams> common_;
    std::unique_ptr<Elements::NetRS485> file_network_;
    ObjectWithParameters* selected_branch_ = nullptr;
    EditHistory history_;
    // Where each parameter sits, for the comparison text: made when a compare starts.
    std::map<const Parameter*, std::string> places_;
};

}  // namespace varda
