#include "core/calibration/output_calibration.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda::calibration {
namespace {

constexpr const char* kOutputType = "out.t";
constexpr const char* kDiscrete = "Дискретный";

// The output codes of the calibration points, kept by the module with their access attributes.
std::unique_ptr<Parameter> coefficient(int number) {
    auto p = std::make_unique<Parameter>("CLB.K");
    p->set_data_type("int");
    p->indexed = true;
    p->network_index = number;
    p->attributes_flag = 1;
    return p;
}

std::unique_ptr<Parameter> command(const char* name, const char* type) {
    auto p = std::make_unique<Parameter>(name);
    p->set_data_type(type);
    return p;
}

void report(const char* what, const Parameter& p, MessageIcon icon = MessageIcon::Error) {
    ui().message(std::string(localized(what)) + std::string(localized(p.error_text)), icon);
}

// A whole number, spaces around it allowed.
std::optional<long> parse_code(std::string_view text) {
    const std::string s(text);
    const char* begin = s.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno != 0) return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0') return std::nullopt;
    return v;
}

}  // namespace

OutputCalibration::OutputCalibration(Device& device, const Options& options, ModelContext* tree, int outputs)
    : wait([](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }),
      device_(device),
      options_(options),
      tree_(tree),
      outputs_(outputs) {}

OutputCalibration::OutputCalibration(Device& device, const Options& options, CBaseDevice& model)
    : OutputCalibration(device, options, model.context(), output_count(model.model_index())) {}

int OutputCalibration::output_count(int model_index) {
    switch (model_index) {
        case 1:
            return 8;
        case 2:
            return 6;
        default:
            return 0;
    }
}

void OutputCalibration::open() {
    entries_.clear();
    current_.reset();
    if (!tree_) return;
    for (int output = 1; output <= outputs_; ++output) {
        Parameter* type = tree_->find_parameter(kOutputType, output - 1);
        if (!type) continue;
        if (type->value_text() == str(kNoData) && options_.read_automatically)
            device_.read_parameter(*type, false);
        if (platform::iequals(type->value_text(), kDiscrete)) continue;
        const int first = 2 * (output - 1);
        entries_.push_back({std::string(localized("K4  выхода №")) + std::to_string(output), first});
        entries_.push_back({std::string(localized("K20 выхода №")) + std::to_string(output), first + 1});
    }
}

int OutputCalibration::current_entry() const {
    if (!current_) return -1;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].coefficient == *current_) return static_cast<int>(i);
    return -1;
}

void OutputCalibration::choose(int entry) {
    if (closed_ || entry < 0 || entry >= static_cast<int>(entries_.size())) return;
    const int number = entries_[static_cast<std::size_t>(entry)].coefficient;
    if (current_) write_current();

    auto k = coefficient(number);
    if (device_.request(true, k.get()) != RequestResult::Done) {
        report("Комманда чтения CLB.K вернула ошибку:\n", *k);
        return;
    }
    const auto code = parse_code(k->value_text());
    const int value = code ? static_cast<int>(*code) : 0;
    const bool access = k->access_attribute;
    const bool user = k->user_attribute;
    if (!access) {
        const std::string question =
            std::string(localized("Предупреждение:\nУ параметра ")) + k->network_name() + ":" +
            std::to_string(number) +
            std::string(localized(" установлен атрибут 'Нередактируемый'.\n\nПродолжить юстировку?"));
        if (ui().ask(question, Buttons::YesNo, MessageIcon::Question) != Answer::Yes) {
            end_calibration();
            current_.reset();
            closed_ = true;
            return;
        }
        if (device_.request(false, k.get(), nullptr, true) != RequestResult::Done)
            report("Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n", *k);
    }
    auto start = command("CLB.I", "int");
    start->SetValueText(std::to_string(number));
    if (device_.request(false, start.get()) != RequestResult::Done)
        report("Комманда CLB.I вернула ошибку:\n", *start);

    value_ = value;
    access_attribute_ = access;
    user_attribute_ = user;
    current_ = number;
}

void OutputCalibration::step(int delta) {
    if (!current_ || closed_) return;
    const int next = value_ + delta;
    if (next < kMinCode || next > kMaxCode) return;
    value_ = next;
    write_current();
}

bool OutputCalibration::edit(std::string_view text) {
    if (!current_ || closed_) return false;
    const auto code = parse_code(text);
    if (!code || *code < kMinCode || *code > kMaxCode) return false;
    value_ = static_cast<int>(*code);
    write_current();
    return true;
}

void OutputCalibration::finish() {
    if (closed_) return;
    closed_ = true;
    if (!current_) return;
    write_current();
    if (end_calibration()) wait(kEndDelay);
}

void OutputCalibration::write_current() {
    // The module may refuse writes to a coefficient it holds read-only: it is made editable for the
    // write, and the attributes it had are restored afterwards.
    auto k = coefficient(*current_);
    device_.request(true, k.get());
    if (!access_attribute_) device_.request(false, k.get(), nullptr, true);

    k->SetValueText(std::to_string(value_));
    k->attributes_flag = 0;
    if (device_.request(false, k.get()) != RequestResult::Done)
        report("Комманда записи CLB.K вернула ошибку:\n", *k, MessageIcon::Warning);

    k->attributes_flag = 1;
    k->SetValueText(std::to_string(value_));
    k->access_attribute = access_attribute_;
    k->user_attribute = user_attribute_;
    device_.request(false, k.get());
}

bool OutputCalibration::end_calibration() {
    auto end = command("CLB.A", "void");
    if (device_.request(true, end.get()) == RequestResult::Done) return true;
    report("Комманда CLB.A вернула ошибку:\n", *end);
    return false;
}

}  // namespace varda::calibration
