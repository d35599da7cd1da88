#include "core/calibration/meter_calibration.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "core/devices/models_volt.h"
#include "core/link/device.h"
#include "core/model/element_context.h"
#include "core/model/parameter.h"
#include "core/platform/events.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::CalibrationVolt {
namespace {

constexpr int kCalibrationError = 298;  // "Calibration error. You can try it later."
constexpr unsigned kErrorBit = 0x01;
constexpr const char* kModeName = "Mode";

bool parse_status(const std::string& text, unsigned& status) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0') return false;
    status = static_cast<unsigned>(value);
    return true;
}

}  // namespace

// Reads "Mode" on a thread of its own, one reading per period, and hands each successful reading with
// the number of its run to `deliver`. A failed read delivers nothing: the time-out judges a silent module.
class StatusReader {
  public:
    using Deliver = std::function<void(unsigned run, std::string value)>;

    StatusReader(ElementContext& link, std::chrono::milliseconds period, Deliver deliver)
        : link_(link), period_(period), deliver_(std::move(deliver)) {}
    ~StatusReader() { stop(); }

    bool running() const { return thread_.joinable(); }
    unsigned run() const { return run_; }

    void start() {
        stop();
        stop_.reset();
        thread_ = std::thread([this, run = ++run_] { loop(run); });
    }

    // Waits for a reading in progress to end.
    void stop() {
        stop_.set();
        if (thread_.joinable()) thread_.join();
    }

  private:
    void loop(unsigned run) {
        Parameter mode(kModeName);
        mode.set_data_type("int");
        while (!stop_.is_set()) {
            int result = 0;
            {
                // As the scanner does: one reading at a time on the line.
                std::unique_lock<std::recursive_mutex> line;
                if (std::recursive_mutex* lock = link_.line_lock()) line = std::unique_lock(*lock);
                result = link_.read_parameter(mode, false);
            }
            if (result == 0) deliver_(run, mode.value_text());
            if (stop_.wait(period_)) break;
        }
    }

    ElementContext& link_;
    std::chrono::milliseconds period_;
    Deliver deliver_;
    platform::Event stop_{platform::Event::Reset::Manual};
    unsigned run_ = 0;  // changed only on the user-interface thread, while no thread runs
    std::thread thread_;
};

// ---- pages

PointPage::PointPage(CSheetVolt& sheet, std::string title, int point)
    : WizardPage(std::move(title)), sheet_(sheet), point_(point) {}

std::string PointPage::text() const {
    return sheet_.model().CalibrationInstruction(point_);
}

void PointPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void PointPage::on_leave(CalibrationWizard& wizard) {
    sheet_.stop_progress();
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void PointPage::on_next(CalibrationWizard&) {
    sheet_.start_progress();
}

CCodePage::CCodePage(CSheetVolt& sheet) : PointPage(sheet, "Шаг 1", 1) {}

void CCodePage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kNext);
}

void CCodePage::on_next(CalibrationWizard&) {
    // Without the start the module never reports a point; waiting would only end in the time-out.
    if (!sheet_.write_start_value()) return;
    sheet_.start_progress();
}

CEndPage::CEndPage() : TextPage("Завершение калибровки", "Калибровка завершена!") {}

void CEndPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kFinish);
}

// ---- the sheet

CSheetVolt::CSheetVolt(ElementContext& link, const CDeviceVolt& model,
                       std::chrono::milliseconds reading_period)
    : CalibrationWizard(link, "Юстировка"), model_(model), self_(std::make_shared<CSheetVolt*>(this)) {
    std::weak_ptr<CSheetVolt*> self = self_;
    reader_ = std::make_unique<StatusReader>(link, reading_period, [self](unsigned run, std::string value) {
        ui().post([self, run, value = std::move(value)] {
            if (auto sheet = self.lock()) (*sheet)->on_reading(run, value);
        });
    });
    add_page(std::make_unique<CCodePage>(*this));
    add_page(std::make_unique<CStep1Page>(*this));
    add_page(std::make_unique<CStep2Page>(*this));
    if (model_.CalibrationPoints() >= 4) add_page(std::make_unique<CStep3Page>(*this));
    add_page(std::make_unique<CEndPage>());
}

CSheetVolt::~CSheetVolt() {
    reader_->stop();
}

bool CSheetVolt::reading() const {
    return reader_->running();
}

bool CSheetVolt::write_start_value() {
    Parameter mode(kModeName);
    mode.set_data_type("int");
    mode.SetValueText(std::to_string(model_.CalibrationStartValue()));
    return write_or_report(mode);
}

void CSheetVolt::start_progress() {
    reader_->start();
    in_progress_ = true;
    set_wizard_buttons(buttons().back_enabled ? kBack : 0);
    start_timer(kTimeoutTimer, kTimeout);
}

void CSheetVolt::stop_progress() {
    stop_timer(kTimeoutTimer);
    reader_->stop();
    if (!in_progress_) return;
    in_progress_ = false;
    set_wizard_buttons((buttons().back_enabled ? kBack : 0) | kNext);
}

void CSheetVolt::on_reading(unsigned run, const std::string& value) {
    if (outcome() != Outcome::Running || !in_progress_ || run != reader_->run()) return;
    unsigned status = 0;
    if (!parse_status(value, status)) return;
    // An error ends the point whatever else the status word says: the point's bit beside it does not make
    // the measurement good, so the wizard stays on the error page.
    if ((status & kErrorBit) != 0) {
        show_error(std::string(str(kCalibrationError)));
        return;
    }
    auto* page = dynamic_cast<PointPage*>(&current_page());
    if (!page || !model_.GetCalibrationFlag(status, page->point())) return;
    set_wizard_buttons(kBack | kNext);
    advance();
}

void CSheetVolt::on_timer(int id) {
    if (id != kTimeoutTimer) return CalibrationWizard::on_timer(id);
    stop_progress();
    show_error(std::string(str(kCalibrationError)));
}

}  // namespace varda::CalibrationVolt
