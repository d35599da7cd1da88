#pragma once

// The I/O status dialog's logic: the model fills the tables, the lamps are laid out, and a polling thread
// reads one table row every tick, alternating between the inputs and the outputs side, while the window
// lets the user reset an input counter or write an output value.

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/devices/io_lamps.h"
#include "core/devices/io_status_dialog.h"
#include "core/platform/events.h"

namespace varda {

class CBaseDevice;
class CTarnDoc;
class Device;

// What the dialog's window shows. Called on the polling thread as well as on the thread that drives the
// controller, so a window hands each call over to its own thread.
class IoStatusView {
  public:
    virtual ~IoStatusView() = default;
    // The row's cells now: texts and flags (cell_flags::kGreen marks the row being polled).
    virtual void row_changed(IoSide side, int row, const IoTable::Row& cells) = 0;
    virtual void lamp_changed(IoSide side, int lamp, const std::string& state) = 0;
    // The polling thread has ended: a close request now ends the dialog.
    virtual void polling_ended() = 0;
};

class IoStatusController final : public IoStatusDialog {
  public:
    static constexpr std::chrono::milliseconds kPollInterval{100};

    // Lets the model fill the tables and lays out the lamps; polling starts with start().
    IoStatusController(Device& device, DescBranch* scanners, CBaseDevice* model);
    explicit IoStatusController(CTarnDoc& document);
    ~IoStatusController() override;
    IoStatusController(const IoStatusController&) = delete;
    IoStatusController& operator=(const IoStatusController&) = delete;

    const std::string& title() const { return title_; }
    bool has_side(IoSide side) const;
    // The side's lamps in dialog units (the outputs already shifted when both sides show).
    const LampGrid& lamps(IoSide side) const { return side == IoSide::Inputs ? input_grid_ : output_grid_; }
    // A copy of the side's table as it is now.
    IoTable table(IoSide side) const;
    std::string lamp_state(IoSide side, int lamp) const;

    // The window that shows the dialog; set before start().
    void set_view(IoStatusView* view) { view_ = view; }
    void start(std::chrono::milliseconds interval = kPollInterval);
    // The close step of OK, Cancel, Escape and the close box: true when the dialog may end now. Otherwise
    // the polling thread is asked to stop; it finishes its current row and reports polling_ended().
    bool close_request();
    bool polling_ended() const { return ended_.is_set(); }
    // Stops the polling thread and waits for it.
    void stop();

    // A click on "Reset" of an inputs row: writes 0 to the counter.
    void reset_counter(int row);
    // Editing an output value: polling leaves the row alone from the opening of the editor (waiting for
    // a read of the row in progress) until the text is committed and written, or the editor is closed.
    void begin_edit(IoSide side, int row);
    void commit_edit(IoSide side, int row, const std::string& text);
    void end_edit(IoSide side, int row);
    // A click on an output's lamp: a dark output is switched on (1), a lit one off (0), written at once.
    void toggle_output(int lamp);

    // ---- IoStatusDialog, for the device-model object
    IoTable& inputs_table() override { return tables_[0]; }
    IoTable& outputs_table() override { return tables_[1]; }
    DescBranch* scanners() override { return scanners_; }
    int read(Parameter& parameter) override;
    int input_lamp_count() const override;
    std::string input_lamp_state(int lamp) const override;
    void set_input_lamp_state(int lamp, std::string state) override;
    void repaint_input_lamp(int lamp) override;

  private:
    struct Change {
        IoSide side;
        int row;
        IoTable::Row cells;
    };
    struct LampChange {
        IoSide side;
        int lamp;
        std::string state;
    };

    static int at(IoSide side) { return side == IoSide::Inputs ? 0 : 1; }
    void poll_loop(std::chrono::milliseconds interval);
    void poll_inputs();
    void poll_outputs();
    // Under the lock: whether polling must leave the row's parameter alone.
    bool row_held(IoSide side, int row) const;
    // Marks the row as being changed by the user; the parameter, or nullptr when there is no such row.
    Parameter* hold(IoSide side, int row);
    void release(IoSide side, int row);
    void write_value(IoSide side, int row, Parameter& parameter);
    void show_write_failure(const Parameter& parameter) const;
    void notify(const std::vector<Change>& rows, const std::vector<LampChange>& lamps) const;

    Device& device_;
    DescBranch* scanners_;
    CBaseDevice* model_;
    std::string title_;
    LampGrid input_grid_;
    LampGrid output_grid_;
    IoStatusView* view_ = nullptr;

    // Guards the tables, the lamp states and the held rows, and is held by the polling thread while it
    // reads a row, so the user's changes to a row wait for that read.
    mutable std::mutex mutex_;
    IoTable tables_[2];
    std::vector<std::string> lamp_states_[2];
    std::vector<bool> held_[2];

    // Polling state: the input row, the output row and the output row highlighted last.
    int input_row_ = 0;
    int output_row_ = 0;
    int highlighted_output_ = 0;

    platform::Event stop_{platform::Event::Reset::Manual};
    platform::Event ended_{platform::Event::Reset::Manual};
    std::thread poller_;
};

}  // namespace varda
