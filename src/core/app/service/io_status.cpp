#include "core/app/service/io_status.h"

#include "core/app/document/document.h"
#include "core/app/tree/table_edit.h"
#include "core/devices/models_io.h"
#include "core/link/device.h"
#include "core/model/parameter.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda {

namespace {

constexpr int kParameterWritingError = 193;

// What a polled row shows: the failure of its last read, else its value.
std::string shown_reading(const Parameter& parameter) {
    return parameter.error_text.empty() ? io_cell_value(parameter) : parameter.error_text;
}

}  // namespace

IoStatusController::IoStatusController(Device& device, DescBranch* scanners, CBaseDevice* model)
    : device_(device), scanners_(scanners), model_(model), title_(io_status_title(model)) {
    if (model_) {
        model_->FillInputsTable(*this);
        model_->FillOutputsTable(*this);
        input_grid_ = lamp_grid(*model_, IoSide::Inputs, tables_[0].row_count());
        output_grid_ = lamp_grid(*model_, IoSide::Outputs, tables_[1].row_count());
    }
    for (IoSide side : {IoSide::Inputs, IoSide::Outputs}) {
        lamp_states_[at(side)].resize(lamps(side).lamps.size());
        held_[at(side)].resize(static_cast<std::size_t>(tables_[at(side)].row_count()));
    }
}

IoStatusController::IoStatusController(CTarnDoc& document)
    : IoStatusController(document.device(), document.description().scanners(), document.device_model()) {}

IoStatusController::~IoStatusController() {
    stop();
}

bool IoStatusController::has_side(IoSide side) const {
    if (!model_) return false;
    return side == IoSide::Inputs ? model_->HasInputs() : model_->HasOutputs();
}

IoTable IoStatusController::table(IoSide side) const {
    std::lock_guard lock(mutex_);
    return tables_[at(side)];
}

std::string IoStatusController::lamp_state(IoSide side, int lamp) const {
    std::lock_guard lock(mutex_);
    const auto& states = lamp_states_[at(side)];
    return lamp >= 0 && lamp < static_cast<int>(states.size()) ? states[lamp] : std::string();
}

// ---- polling ------------------------------------------------------------------------------------

void IoStatusController::start(std::chrono::milliseconds interval) {
    if (poller_.joinable() || ended_.is_set()) return;
    poller_ = std::thread([this, interval] { poll_loop(interval); });
}

bool IoStatusController::close_request() {
    if (!poller_.joinable()) ended_.set();  // never started: nothing to wait for
    if (ended_.is_set()) return true;
    stop_.set();
    return false;
}

void IoStatusController::stop() {
    stop_.set();
    if (poller_.joinable()) poller_.join();
    ended_.set();
}

void IoStatusController::poll_loop(std::chrono::milliseconds interval) {
    platform::PeriodicTimer timer;
    timer.start(interval);
    bool inputs_turn = true;
    // The first row is read at once rather than a whole period after opening.
    std::chrono::milliseconds wait{1};
    for (;;) {
        const int signalled = platform::wait_any({&stop_, &timer}, wait);
        wait = std::chrono::milliseconds(-1);
        if (signalled == 0) break;
        if (!model_) continue;
        // A side the model lacks still takes its turn, so each side keeps its pace.
        if (inputs_turn) {
            if (model_->HasInputs()) poll_inputs();
        } else if (model_->HasOutputs()) {
            poll_outputs();
        }
        inputs_turn = !inputs_turn;
    }
    timer.stop();
    ended_.set();
    if (view_) view_->polling_ended();
}

bool IoStatusController::row_held(IoSide side, int row) const {
    const Parameter* parameter = tables_[at(side)].parameter(row);
    return !parameter || parameter->value_modified || held_[at(side)][static_cast<std::size_t>(row)];
}

void IoStatusController::poll_inputs() {
    using cell_flags::kGreen;
    std::vector<Change> changes;
    {
        std::lock_guard lock(mutex_);
        IoTable& table = tables_[0];
        const int count = table.row_count();
        if (count > 0) {
            const int row = input_row_ % count;
            const bool skip = row_held(IoSide::Inputs, row);
            if (!skip) {
                Parameter& parameter = *table.parameter(row);
                device_.read_parameter(parameter, false);
                table.set_text(row, 0, shown_reading(parameter));
            }
            table.set_flags(row, -1, 0, kGreen);
            changes.push_back({IoSide::Inputs, row, table.rows()[row]});
            input_row_ = (row + 1) % count;
            if (!skip) {
                table.set_flags(input_row_, -1, kGreen, kGreen);
                changes.push_back({IoSide::Inputs, input_row_, table.rows()[input_row_]});
            }
        }
    }
    notify(changes, {});
    model_->UpdateInputStates(*this);
}

void IoStatusController::poll_outputs() {
    using cell_flags::kGreen;
    std::vector<Change> changes;
    std::vector<LampChange> lamps;
    {
        std::lock_guard lock(mutex_);
        IoTable& table = tables_[1];
        const int count = table.row_count();
        if (count == 0) return;
        if (table.has_row(highlighted_output_)) {
            table.set_flags(highlighted_output_, -1, 0, kGreen);
            changes.push_back({IoSide::Outputs, highlighted_output_, table.rows()[highlighted_output_]});
        }
        const int row = output_row_ % count;
        highlighted_output_ = row;
        if (!row_held(IoSide::Outputs, row)) {
            Parameter& parameter = *table.parameter(row);
            table.set_flags(row, -1, kGreen, kGreen);
            device_.read_parameter(parameter, false);
            table.set_text(row, 0, shown_reading(parameter));
            changes.push_back({IoSide::Outputs, row, table.rows()[row]});
            auto& states = lamp_states_[1];
            if (row < static_cast<int>(states.size())) {
                // A failed read leaves the lamp dark rather than showing a stale state.
                std::string state = parameter.error_text.empty() ? parameter.value_text() : std::string();
                if (states[row] != state) {
                    states[row] = state;
                    lamps.push_back({IoSide::Outputs, row, std::move(state)});
                }
            }
        }
        output_row_ = (row + 1) % count;
    }
    notify(changes, lamps);
}

void IoStatusController::notify(const std::vector<Change>& rows, const std::vector<LampChange>& lamps) const {
    if (!view_) return;
    for (const Change& change : rows)
        view_->row_changed(change.side, change.row, change.cells);
    for (const LampChange& change : lamps)
        view_->lamp_changed(change.side, change.lamp, change.state);
}

// ---- the user's changes -------------------------------------------------------------------------

Parameter* IoStatusController::hold(IoSide side, int row) {
    std::lock_guard lock(mutex_);
    Parameter* parameter = tables_[at(side)].parameter(row);
    if (!parameter) return nullptr;
    parameter->value_modified = true;
    held_[at(side)][static_cast<std::size_t>(row)] = true;
    return parameter;
}

void IoStatusController::release(IoSide side, int row) {
    std::lock_guard lock(mutex_);
    Parameter* parameter = tables_[at(side)].parameter(row);
    if (!parameter) return;
    parameter->value_modified = false;
    held_[at(side)][static_cast<std::size_t>(row)] = false;
}

void IoStatusController::reset_counter(int row) {
    Parameter* parameter = hold(IoSide::Inputs, row);
    if (!parameter) return;
    parameter->SetValueText("0");
    if (device_.write_parameter(*parameter, 1) != 0) show_write_failure(*parameter);
    // The cell keeps its text: the next poll shows the counter as the module reports it.
    release(IoSide::Inputs, row);
}

void IoStatusController::begin_edit(IoSide side, int row) {
    hold(side, row);
}

void IoStatusController::commit_edit(IoSide side, int row, const std::string& text) {
    Parameter* parameter = hold(side, row);
    if (!parameter) return;
    parameter->SetValueText(text);
    write_value(side, row, *parameter);
    release(side, row);
}

void IoStatusController::toggle_output(int lamp) {
    const bool lit = lamp_colour(IoSide::Outputs, lamp_state(IoSide::Outputs, lamp)) != LampColour::Default;
    // commit_edit ignores a lamp without an output row.
    commit_edit(IoSide::Outputs, lamp, lit ? "0" : "1");
}

void IoStatusController::end_edit(IoSide side, int row) {
    // An editor closed without a commit gives the row back to polling.
    release(side, row);
}

void IoStatusController::write_value(IoSide side, int row, Parameter& parameter) {
    if (device_.write_parameter(parameter, 1) != 0) {
        show_write_failure(parameter);
        return;
    }
    IoTable::Row cells;
    std::vector<LampChange> lamps;
    {
        std::lock_guard lock(mutex_);
        // The request replaced the value text with the module's reply.
        tables_[at(side)].set_text(row, 0, io_cell_value(parameter));
        cells = tables_[at(side)].rows()[row];
        // An output's lamp follows the written value at once, not only at the next poll.
        auto& states = lamp_states_[at(side)];
        if (side == IoSide::Outputs && row < static_cast<int>(states.size())) {
            states[row] = parameter.value_text();
            lamps.push_back({side, row, states[row]});
        }
    }
    notify({{side, row, std::move(cells)}}, lamps);
}

void IoStatusController::show_write_failure(const Parameter& parameter) const {
    const std::string caption = std::string(str(kParameterError)) + " \"" + parameter.network_name() + "\"";
    // The VK11 reports a refused output value with one fixed text.
    const bool fixed_text = dynamic_cast<const CVK11*>(model_) != nullptr;
    ui().message(fixed_text ? std::string(str(kParameterWritingError)) : parameter.error_text,
                 MessageIcon::Warning, caption);
}

// ---- IoStatusDialog -----------------------------------------------------------------------------

int IoStatusController::read(Parameter& parameter) {
    return device_.read_parameter(parameter, false);
}

int IoStatusController::input_lamp_count() const {
    return static_cast<int>(input_grid_.lamps.size());
}

std::string IoStatusController::input_lamp_state(int lamp) const {
    return lamp_state(IoSide::Inputs, lamp);
}

void IoStatusController::set_input_lamp_state(int lamp, std::string state) {
    std::lock_guard lock(mutex_);
    auto& states = lamp_states_[0];
    if (lamp >= 0 && lamp < static_cast<int>(states.size())) states[lamp] = std::move(state);
}

void IoStatusController::repaint_input_lamp(int lamp) {
    if (lamp < 0 || lamp >= input_lamp_count()) return;
    notify({}, {{IoSide::Inputs, lamp, lamp_state(IoSide::Inputs, lamp)}});
}

}  // namespace varda
