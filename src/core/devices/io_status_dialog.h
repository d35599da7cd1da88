#pragma once

// What the I/O status dialog offers the device-model object: its two tables, the scanners branch whose
// instances they show, a read of one parameter, and the input lamps.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varda {

class DescBranch;
class Parameter;

enum class IoSide { Inputs, Outputs };

// A table of the dialog: captioned columns with their shares of the width, and one row per parameter
// instance; every cell of a row refers to the row's parameter and carries cell flags (cell_flags).
class IoTable {
  public:
    struct Column {
        std::string caption;
        int share = 1;
        bool operator==(const Column&) const = default;
    };
    struct Row {
        Parameter* parameter = nullptr;
        std::vector<std::string> texts;
        std::vector<std::uint16_t> flags;
        bool operator==(const Row&) const = default;
    };

    void add_column(std::string caption, int share = 1);
    // Appends a row for the parameter, its cells empty and without flags; returns its position.
    int add_row(Parameter& parameter);
    void set_text(int row, int column, std::string text);
    // Changes the bits of `mask` to those of `value`; column -1 means every column of the row.
    void set_flags(int row, int column, std::uint16_t value, std::uint16_t mask);

    const std::vector<Column>& columns() const { return columns_; }
    const std::vector<Row>& rows() const { return rows_; }
    int row_count() const { return static_cast<int>(rows_.size()); }
    bool has_row(int row) const { return row >= 0 && row < row_count(); }
    Parameter* parameter(int row) const { return has_row(row) ? rows_[row].parameter : nullptr; }

  private:
    std::vector<Column> columns_;
    std::vector<Row> rows_;
};

class IoStatusDialog {
  public:
    virtual ~IoStatusDialog() = default;

    virtual IoTable& inputs_table() = 0;
    virtual IoTable& outputs_table() = 0;
    // The document's scanners branch, whose instances the tables show; nullptr when there is none.
    virtual DescBranch* scanners() = 0;
    // Reads the parameter from the module without failure counting; the request's result code.
    virtual int read(Parameter& parameter) = 0;

    // The input lamps: their number, and a state text each that decides the lamp's colour. A changed
    // state shows once the lamp is repainted.
    virtual int input_lamp_count() const = 0;
    virtual std::string input_lamp_state(int lamp) const = 0;
    virtual void set_input_lamp_state(int lamp, std::string state) = 0;
    virtual void repaint_input_lamp(int lamp) = 0;
};

// The instances of the named parameter in the scanners branch, in network-index order (indexes 0, step,
// 2 x step, ... where the step is the distance between the first instances), each with its index.
std::vector<std::pair<Parameter*, int>> io_table_instances(DescBranch* scanners, std::string_view name);

// A row's label from a numbered "... %i" text: the instance's index counted from 1.
std::string io_row_label(int format_id, int index);

// How a table shows a parameter's value: "no data" as "0".
std::string io_cell_value(const Parameter& parameter);

// Sets an input lamp's state and repaints it, only when the state changes.
void update_input_lamp(IoStatusDialog& dialog, int lamp, const std::string& state);

}  // namespace varda
