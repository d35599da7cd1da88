#pragma once

#include <mutex>
#include <string>

namespace varda {

class Parameter;

enum class ExchangeKind { Read, Write, Compare };

// What the group operations of the element tree need of the link: the per-parameter operations, the
// progress window and the cancel state. The device implements it; tests can fake it.
class ElementContext {
  public:
    virtual ~ElementContext() = default;
    virtual int read_parameter(Parameter& parameter, bool count_failures) = 0;
    virtual int write_parameter(Parameter& parameter, int mode) = 0;
    virtual int compare_parameter(Parameter& parameter) = 0;
    virtual void progress_line(const std::string& text) = 0;
    // One more parameter done (the compare walk advances the counter itself).
    virtual void add_done() = 0;
    // Whether the running task was cancelled (Cancel, five failures in a row, shutdown).
    virtual bool aborted() const = 0;
    // A parameter the task would have exchanged, passed over because the task was stopped first.
    virtual void not_reached(Parameter&, ExchangeKind) {}
    // The lock of the line behind the link, held around a reading made outside a task; null: no line.
    virtual std::recursive_mutex* line_lock() { return nullptr; }
};

}  // namespace varda
