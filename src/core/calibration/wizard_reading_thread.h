#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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

    // Called on the user-interface thread: where the reading goes (the caller's own number), the value text
    // read, and whether the read succeeded.
    using Sink = std::function<void(int field, const std::string& value_text, bool ok)>;

    WizardReadingThread(ElementContext& link, Sink sink);
    ~WizardReadingThread();
    WizardReadingThread(const WizardReadingThread&) = delete;
    WizardReadingThread& operator=(const WizardReadingThread&) = delete;

    // ---- the list, while stopped
    void add(int field, std::string network_name, std::string data_type);
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
    void deliver(unsigned generation, int field, const std::string& text, bool ok);

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
