#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/tree_sink.h"

namespace varda {

class CTarnDoc;
class ObjectWithParameters;
class Parameter;

// ---- committing an in-place edit

// What the tree has to show after a commit.
struct EditResult {
    struct Row {
        Parameter* parameter = nullptr;
        // Colour after the row was rewritten from its parameter; nothing: the row's own rule.
        std::optional<Rgb> colour;
    };
    // The edited cell shows its old text again.
    bool restore = false;
    // The edited cell shows this text (the value as the parameter stored it).
    std::optional<std::string> cell_text;
    // Colour and error column of the edited row, for rows that are not rewritten.
    std::optional<Rgb> colour;
    std::optional<std::string> error_text;
    // Rows to rewrite from their parameters, in order.
    std::vector<Row> rows;
    // Every view is redrawn from the document.
    bool refresh_views = false;
};

// The rules that decide what a typed value does: range and format checks with their messages, the
// consistency of a module's network settings, pairing of "Log" parameters, instant recording, scanner
// periods and the configurator's own port settings. Messages go through ui().
class TreeEdit {
  public:
    explicit TreeEdit(CTarnDoc& document) : document_(document) {}

    // The user changed column `column` of the row of `parameter` (nullptr: a row without a parameter)
    // from `old_text` to `new_text`.
    EditResult commit(Parameter* parameter, int column, const std::string& old_text,
                      const std::string& new_text);

  private:
    EditResult commit_column(Parameter* parameter, int column, const std::string& new_text);
    EditResult commit_scanner(Parameter& parameter, int column, const std::string& new_text);
    EditResult commit_value(Parameter& parameter, const std::string& new_text);
    // Writes the parameter now; on failure shows the error with `caption` and puts the old value back.
    bool write_now(Parameter& parameter, std::string_view caption, const std::string& previous,
                   bool previous_modified);
    ObjectWithParameters* owner_of(const Parameter& parameter) const;

    CTarnDoc& document_;
};

}  // namespace varda
