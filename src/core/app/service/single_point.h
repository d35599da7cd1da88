#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/link/device_io.h"

namespace varda {

class CTarnDoc;
class DescriptionContext;
class Parameter;
struct DescParameter;

// The "Single parameter" service tool: reads or writes any parameter the current description declares,
// one at a time, with full control over indexing and a byte-level trace of the request and the reply.
// The fields are what the dialog shows; the view copies its controls into them before Execute and shows
// them again afterwards.
class SinglePointController {
  public:
    enum class IndexKind { Data = 0, Address = 1 };
    enum class Function { Read = 0, Write = 1 };

    SinglePointController(const DescriptionContext& description, DeviceIO& io);
    explicit SinglePointController(CTarnDoc& doc);

    // Names of every parameter declaration, in declaration order ("!" kept).
    std::vector<std::string> parameter_names() const;

    // After the name changed: hash text, description text, the indexed flag and the write-data items.
    void update_for_name();

    // Reads or writes the named parameter; the trace receives what happened. A name without a declaration
    // is refused with a message and nothing is sent.
    void execute();

    // The index-kind choice only means something for an indexed request.
    bool index_kind_enabled() const { return indexed; }
    bool write_data_shown() const { return function == Function::Write; }

    std::string name = "!vEr";
    std::string hash_text;
    std::string description_text = "Parameter description";
    bool indexed = false;
    IndexKind index_kind = IndexKind::Data;
    std::string index_text = "0";
    Function function = Function::Read;
    std::string write_data;
    std::vector<std::string> write_items;
    DumpList trace;

  private:
    // The short-lived request object for a declaration.
    static std::unique_ptr<Parameter> make_parameter(const DescParameter& declaration);
    // False (with a trace line) when the index text cannot be used.
    bool apply_index(Parameter& parameter);

    const DescriptionContext& description_;
    DeviceIO& io_;
};

}  // namespace varda
