#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/model/parameter.h"

namespace varda {

class ElementContext;

// The live readings of a calibration wizard: a thread reads a list of parameters over and over, pausing
// between rounds, and hands every reading to the user-interface thread (Ui::post), where the sink gets it.
// The list is changed only while the thread is stopped. Readings still on their way when the thread is
// stopped are dropped, so a page never sees a value read for the page or step before it.
class WizardReadingThread {
  public:
    static constexpr std::chrono::milliseconds kInterval{200};

    // One reading, handed to the sink on the user-interface thread.
    struct Delivered {
        int field = 0;                // where the reading goes (the caller's own number)
        std::string value_text;       // the value text read
        bool ok = false;              // whether the read succeeded
        std::string error;            // why it failed
        std::optional<float> number;  // for a float read well, the module's own single-precision value
    };
    using Sink = std::function<void(const Delivered& reading)>;

    WizardReadingThread(ElementContext& link, Sink sink);
    ~WizardReadingThread();
    WizardReadingThread(const WizardReadingThread&) = delete;
    WizardReadingThread& operator=(const WizardReadingThread&) = delete;

    // ---- the list, while stopped
    void add(int field, std::string network_name, std::string data_type);
    // A parameter addressed as `like` is (index, address offset), such as one channel's.
    void add(int field, const Parameter& like);
    void clear();
    // The network names in the list, in reading order.
    std::vector<std::string> names() const;

    void start();
    // Ends the thread and waits for it (a read under way finishes first).
    void stop();
    bool running() const { return running_; }

    // Without a thread, start() only arms the list and read_once() reads it once on the caller's thread;
    // tests step the readings that way. Set while stopped.
    void set_threaded(bool threaded) { threaded_ = threaded; }
    void read_once();
    void set_interval(std::chrono::milliseconds interval) { interval_ = interval; }

  private:
    struct Reading {
        int field;
        std::unique_ptr<Parameter> parameter;
    };

    void loop(unsigned generation);
    // Reads every parameter once; false when asked to stop on the way.
    bool read_round(unsigned generation);
    bool stop_requested();
    void deliver(unsigned generation, const Delivered& reading);

    ElementContext& link_;
    Sink sink_;
    std::vector<Reading> readings_;
    bool threaded_ = true;
    bool running_ = false;
    unsigned generation_ = 0;  // counts the starts; a reading carries the one it was read in
    std::chrono::milliseconds interval_ = kInterval;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    // Posted readings reach the object through this, or nothing once it is gone.
    std::shared_ptr<WizardReadingThread*> self_;
};

}  // namespace varda
