#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varda {

class CBaseDevice;
class DescBranch;
class Parameter;
struct ScanResult;

// What one scanner reading shows in the scanner's row and in the fixed child rows below it.
struct ScanDisplay {
    std::string value_text;  // value column
    std::string error_text;  // error column; the row is red while it is set
    // Value column of the child rows, first child first; rows beyond the list are left alone.
    std::vector<std::string> child_texts;
    // A new description for the row (the pH/ORP reading names what it measures).
    std::optional<std::string> description;
};

// Reads one parameter from the module; true on success.
using ModuleRead = std::function<bool(Parameter&)>;

// Turns a scanner reading into its display. Some scanners carry codes rather than values: bit masks of
// inputs and outputs ("r.cn", "s.do"), status words ("rd.st", "stat") whose items the device model names,
// and the measurement result code ("srd"). The reduction-potential reading ("rd.rs") looks at the sensor
// type "sen.t" of the root element, read from the module through `read` unless the user changed it.
// `child_rows` is how many child rows the scanner row has.
ScanDisplay decode_scan_result(const ScanResult& result, const DescBranch* root, const CBaseDevice* model,
                               const ModuleRead& read, int child_rows);

// The text of a measurement result code ("srd").
std::string measurement_result_text(long code);

}  // namespace varda
