#include "core/calibration/wizard_reading_thread.h"

#include "core/model/element_context.h"
#include "core/platform/ui.h"

namespace varda {

WizardReadingThread::WizardReadingThread(ElementContext& link, Sink sink)
    : link_(link), sink_(std::move(sink)), self_(std::make_shared<WizardReadingThread*>(this)) {}

WizardReadingThread::~WizardReadingThread() {
    stop();
}

void WizardReadingThread::add(int field, std::string network_name, std::string data_type) {
    auto parameter = std::make_unique<Parameter>(std::move(network_name));
    parameter->set_data_type(std::move(data_type));
    readings_.push_back(Reading{field, std::move(parameter)});
}

void WizardReadingThread::add(int field, const Parameter& like) {
    auto parameter = std::make_unique<Parameter>(like.network_name());
    parameter->set_data_type(like.data_type());
    parameter->indexed = like.indexed;
    parameter->network_index = like.network_index;
    parameter->address_offset = like.address_offset;
    readings_.push_back(Reading{field, std::move(parameter)});
}

void WizardReadingThread::clear() {
    readings_.clear();
}

std::vector<std::string> WizardReadingThread::names() const {
    std::vector<std::string> names;
    for (const Reading& reading : readings_)
        names.push_back(reading.parameter->network_name());
    return names;
}

void WizardReadingThread::start() {
    if (running_) return;
    running_ = true;
    ++generation_;
    if (!threaded_) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
    }
    thread_ = std::thread([this, generation = generation_] { loop(generation); });
}

void WizardReadingThread::stop() {
    if (!running_) return;
    running_ = false;
    ++generation_;  // what is still on its way belongs to the run that ends here
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WizardReadingThread::read_once() {
    if (running_ && !threaded_) read_round(generation_);
}

void WizardReadingThread::loop(unsigned generation) {
    while (read_round(generation)) {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, interval_, [this] { return stop_; })) return;
    }
}

bool WizardReadingThread::read_round(unsigned generation) {
    for (Reading& reading : readings_) {
        if (threaded_ && stop_requested()) return false;
        Delivered delivered;
        delivered.field = reading.field;
        delivered.ok = link_.read_parameter(*reading.parameter, false) == 0;
        delivered.value_text = reading.parameter->value_text();
        delivered.error = reading.parameter->error_text;
        if (delivered.ok && reading.parameter->is_type("float"))
            delivered.number = reading.parameter->cached_float();
        ui().post([self = std::weak_ptr(self_), generation, delivered = std::move(delivered)] {
            if (auto alive = self.lock()) (*alive)->deliver(generation, delivered);
        });
    }
    return true;
}

bool WizardReadingThread::stop_requested() {
    std::lock_guard lock(mutex_);
    return stop_;
}

void WizardReadingThread::deliver(unsigned generation, const Delivered& reading) {
    if (running_ && generation == generation_ && sink_) sink_(reading);
}

}  // namespace varda
