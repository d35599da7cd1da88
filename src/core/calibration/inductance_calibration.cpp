#include "core/calibration/inductance_calibration.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/model/element_context.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::CalibrationVI {
namespace {

using wizard_button::kFinishText;
using wizard_button::kSaveText;
constexpr const char* kMinInstruction =
    "1) Подключите ко входу прибора магазин взаимной индуктивности P5017.\r\n\r\n2) Установите на магазине "
    "Р5017 значение взаимной индуктивности, соответствующее минимальному значению диапазона измерения "
    "прибора  %s.\r\n\r\n3) Нажмите кнопку «Продолжить», чтобы выполнить юстировку минимального значения.";
constexpr const char* kUnknownMinimum = "(зависит от исполнения, ВИ1: -10 мГн, ВИ2: 0 мГн)";
constexpr const char* kMaxInstruction =
    "1) Установите на магазине P5017 значение взаимной индуктивности, соответствующее 10 мГн "
    "(максимальный уровень измеряемой взаимной индуктивности).\r\n\r\n2) Нажмите кнопку «Продолжить», "
    "чтобы выполнить юстировку максимального значения.";
constexpr const char* kVariantType = "-10 мГн:0 мГн";
constexpr const char* kCalibrationFailed = "Ошибка калибровки!";
constexpr const char* kNodeCountRange = "Введите значение от 2 до 21.";
constexpr const char* kNoSpline =
    "Не удается рассчитать градуировочную характеристику: значения индуктивности в соседних узлах "
    "совпадают.";
constexpr unsigned kStatusCalibrationError = 0x80;

std::unique_ptr<Parameter> make_parameter(std::string name, const char* type, std::string value,
                                          int index = -1) {
    auto p = std::make_unique<Parameter>(std::move(name));
    p->set_data_type(type);
    p->SetValueText(std::move(value));
    if (index >= 0) {
        p->indexed = true;
        p->network_index = index;
    }
    return p;
}

std::string read_failed_caption(const Parameter& p) {
    return std::string(localized("Ошибка чтения \"")) + p.network_name() + "\"";
}

// The number a value text holds; the table keeps only numbers in its cells.
double number_of(const Parameter& p) {
    const auto number = platform::leading_double(p.value_text());
    return number ? number->value : 0.0;
}

// The command of a factory step and "U.Apl": a "void" parameter with an empty value.
int send_command(ElementContext& link, const char* name) {
    const auto command = make_parameter(name, "void", {});
    const int result = link.write_parameter(*command, 1);
    // The module acts on a command even when its reply cannot be decoded.
    if (result != 0 && command->failure_kind() != FailureKind::NotDecodable) {
        ui().message(command->error_text, MessageIcon::Warning, CalibrationWizard::kErrorCaption);
        return result;
    }
    return 0;
}

bool write_or_report(ElementContext& link, Parameter& p) {
    if (link.write_parameter(p, 1) == 0) return true;
    ui().message(p.error_text, MessageIcon::Warning,
                 std::string(localized("Ошибка записи параметра ")) + p.network_name() + ".");
    return false;
}

}  // namespace

// ---- the spline

std::optional<std::vector<float>> spline_coefficients(const std::vector<double>& x,
                                                      const std::vector<double>& y) {
    const int n = static_cast<int>(std::min(x.size(), y.size()));
    if (n < 2) return std::nullopt;
    const int m = 4 * (n - 1);
    // Unknowns a_i, b_i, c_i, e_i of segment i at columns 4i .. 4i+3; column m is the right-hand side. The
    // rows are ordered so that each diagonal element is non-zero while the inductances differ, since the
    // elimination does not exchange rows.
    std::vector<std::vector<double>> a(static_cast<std::size_t>(m), std::vector<double>(m + 1, 0.0));
    auto at = [&](int row, int column) -> double& {
        return a[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    };
    for (int i = 0; i + 1 < n; ++i) {
        const double h = x[i + 1] - x[i];
        const int r = 4 * i;
        at(r, r) = 1.0;  // a_i = y_i
        at(r, m) = y[i];
        at(r + 1, r) = 1.0;  // the segment ends at the next point
        at(r + 1, r + 1) = h;
        at(r + 1, r + 2) = h * h;
        at(r + 1, r + 3) = h * h * h;
        at(r + 1, m) = y[i + 1];
        if (i == 0) {
            at(r + 2, r + 2) = 1.0;  // no curvature at the first point
        } else {
            const double hp = x[i] - x[i - 1];  // the curvature goes on from the segment before
            at(r + 2, r - 2) = 2.0;
            at(r + 2, r - 1) = 6.0 * hp;
            at(r + 2, r + 2) = -2.0;
        }
        if (i + 2 < n) {
            at(r + 3, r + 1) = 1.0;  // the slope goes on into the next segment
            at(r + 3, r + 2) = 2.0 * h;
            at(r + 3, r + 3) = 3.0 * h * h;
            at(r + 3, r + 5) = -1.0;
        } else {
            at(r + 3, r + 2) = 1.0;  // no curvature at the last point
            at(r + 3, r + 3) = 3.0 * h;
        }
    }
    for (int k = 0; k < m; ++k) {
        const double pivot = at(k, k);
        if (pivot == 0.0 || !std::isfinite(pivot)) return std::nullopt;
        for (int c = k; c <= m; ++c)
            at(k, c) /= pivot;
        for (int r = k + 1; r < m; ++r) {
            const double factor = at(r, k);
            if (factor == 0.0) continue;
            for (int c = k; c <= m; ++c)
                at(r, c) -= factor * at(k, c);
        }
    }
    std::vector<double> solution(static_cast<std::size_t>(m));
    for (int k = m - 1; k >= 0; --k) {
        double value = at(k, m);
        for (int c = k + 1; c < m; ++c)
            value -= at(k, c) * solution[static_cast<std::size_t>(c)];
        solution[static_cast<std::size_t>(k)] = value;
    }
    std::vector<float> coefficients;
    coefficients.reserve(solution.size());
    for (const double value : solution) {
        const auto single = static_cast<float>(value);
        if (!std::isfinite(single)) return std::nullopt;
        coefficients.push_back(single);
    }
    return coefficients;
}

bool check_calibration_status(ElementContext& link) {
    const auto status = make_parameter("Rd.St", "int", {});
    // A status that cannot be read leaves the outcome unknown; saying nothing would pass it as success.
    if (link.read_parameter(*status, false) != 0) {
        ui().message(status->error_text, MessageIcon::Warning, read_failed_caption(*status));
        return false;
    }
    const unsigned long value = std::strtoul(status->value_text().c_str(), nullptr, 10);
    if ((value & 0xFF) >= kStatusCalibrationError) {
        ui().message(kCalibrationFailed, MessageIcon::Warning);
        return false;
    }
    return true;
}

// ---- step 1

const std::vector<std::string>& CPage1VI::types() {
    static const std::vector<std::string> list{"заводская", "пользовательская"};
    return list;
}

const std::vector<std::string>& CPage1VI::methods() {
    static const std::vector<std::string> list{"Tabular form", "According to sensor readings"};
    return list;
}

CPage1VI::CPage1VI() : AccessCodePage("Шаг 1") {}

void CPage1VI::on_next(CalibrationWizard& wizard) {
    if (!CalibrationWizard::check_access_code(code, kAccessCode)) return;
    if (!types_shown_ || type < 0) {
        types_shown_ = true;
        wizard.notify_changed();
        return;
    }
    if (type == kFactory) return wizard.go_to(InductanceCalibration::kMinPage);
    if (method == kTabular) return wizard.go_to(InductanceCalibration::kTablePage);
    if (method == kMeasured) return wizard.go_to(InductanceCalibration::kMeasuringPage);
}

// ---- factory steps

CFactoryStepPage::CFactoryStepPage(std::string title, std::string command)
    : WizardPage(std::move(title)), command_(std::move(command)) {}

void CFactoryStepPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void CFactoryStepPage::on_next(CalibrationWizard& wizard) {
    if (send_command(wizard.link(), command_.c_str()) == 0) wizard.advance();
}

CMinPage::CMinPage() : CFactoryStepPage("Шаг 2", "zU.Sh") {}

void CMinPage::on_activate(CalibrationWizard& wizard) {
    const auto variant = make_parameter("tdev", kVariantType, {});
    minimum_ = wizard.link().read_parameter(*variant, false) == 0 ? variant->value_text() : kUnknownMinimum;
    CFactoryStepPage::on_activate(wizard);
}

std::string CMinPage::text() const {
    // The instruction reads in the language on screen around the minimum the module gave.
    const std::string format(localized(kMinInstruction));
    const auto at = format.find("%s");
    return format.substr(0, at) + std::string(localized(minimum_)) + format.substr(at + 2);
}

CMaxPage::CMaxPage() : CFactoryStepPage("Шаг 3", "zU.Sc") {}

std::string CMaxPage::text() const {
    return kMaxInstruction;
}

void CSaveVIPage::on_finish(CalibrationWizard& wizard) {
    send_command(wizard.link(), "U.Apl");
    check_calibration_status(wizard.link());
    wizard.close(CalibrationWizard::Outcome::Finished);
}

// ---- the user's table

CUserTablePage::CUserTablePage() : WizardPage("Шаг 2") {
    for (int row = 0; row < kMaxNodes; ++row) {
        Row& r = rows_[static_cast<std::size_t>(row)];
        r.inductance = make_parameter("uU.Pn", "float", "0.000", row);
        r.inductance->description = kInductanceCaption;
        r.physical = make_parameter("FV", "float", "0.000");
        r.physical->description = kPhysicalCaption;
    }
}

bool CUserTablePage::apply_node_count() {
    const char* text = node_count_text.c_str();
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(text, &end, 10);
    while (end && *end == ' ')
        ++end;
    if (end == text || !end || *end != '\0' || errno != 0 || count < kMinNodes || count > kMaxNodes) {
        ui().message(kNodeCountRange, MessageIcon::Warning);
        return false;
    }
    node_count_ = static_cast<int>(count);
    return true;
}

void CUserTablePage::on_activate(CalibrationWizard& wizard) {
    apply_node_count();
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kFinish);
    wizard.set_finish_text(kSaveText);
}

void CUserTablePage::on_leave(CalibrationWizard& wizard) {
    wizard.set_finish_text(kFinishText);
}

void CUserTablePage::on_back(CalibrationWizard& wizard) {
    wizard.go_to(InductanceCalibration::kCodePage);
}

void CUserTablePage::on_finish(CalibrationWizard& wizard) {
    std::vector<double> x;
    std::vector<double> y;
    for (int row = 0; row < node_count_; ++row) {
        x.push_back(number_of(inductance(row)));
        y.push_back(number_of(physical(row)));
    }
    // Checked before anything is written, so that a table without a spline leaves the module as it was.
    const auto coefficients = spline_coefficients(x, y);
    if (!coefficients) {
        ui().message(kNoSpline, MessageIcon::Warning, CalibrationWizard::kErrorCaption);
        return;
    }
    ElementContext& link = wizard.link();
    for (int row = 0; row < node_count_; ++row)
        if (!write_or_report(link, inductance(row))) return;
    for (std::size_t k = 0; k < coefficients->size(); ++k) {
        const auto coefficient =
            make_parameter("uU.Kf", "float", platform::fixed((*coefficients)[k], 6), static_cast<int>(k));
        if (!write_or_report(link, *coefficient)) return;
    }
    send_command(link, "U.Apl");
    check_calibration_status(link);
    wizard.close(CalibrationWizard::Outcome::Finished);
}

CUserMeasuringPage::CUserMeasuringPage(ElementContext& link) : link_(link) {
    for (auto& reading : readings_)
        reading = make_parameter("Rd.fH", "float", {});
}

bool CUserMeasuringPage::measure(int row) {
    if (!row_enabled(row)) return false;
    Parameter& p = reading(row);
    // Each reading halves the weight of those before it, so the last ones count most.
    std::optional<double> average;
    for (int i = 0; i < kMeasureReadings; ++i) {
        if (link_.read_parameter(p, false) != 0) {
            ui().message(p.error_text, MessageIcon::Warning, read_failed_caption(p));
            return false;
        }
        const auto value = p.cached_float();
        if (!p.is_type("float") || !value || !std::isfinite(*value)) continue;  // "Invalid value"
        average = average ? (*average + *value) / 2.0 : *value;
    }
    if (!average) {
        // Every reading was invalid: what the module showed is all there is to tell.
        ui().message(p.value_text(), MessageIcon::Warning, read_failed_caption(p));
        return false;
    }
    inductance(row).SetValueText(platform::fixed(*average, 6));
    return true;
}

}  // namespace varda::CalibrationVI

namespace varda {

InductanceCalibration::InductanceCalibration(ElementContext& link) : CalibrationWizard(link, "Юстировка") {
    using namespace CalibrationVI;
    code_page_ = static_cast<CPage1VI*>(&add_page(std::make_unique<CPage1VI>()));
    add_page(std::make_unique<CMinPage>());
    add_page(std::make_unique<CMaxPage>());
    add_page(std::make_unique<CSaveVIPage>());
    table_page_ = static_cast<CUserTablePage*>(&add_page(std::make_unique<CUserTablePage>()));
    measuring_page_ = static_cast<CUserMeasuringPage*>(&add_page(std::make_unique<CUserMeasuringPage>(link)));
}

}  // namespace varda
