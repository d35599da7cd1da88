#include "core/calibration/calibration_run.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::calibration {
namespace {

constexpr int kMaxPolls = 12;
constexpr int kStoreAttempts = 4;
constexpr std::string_view kContinueHint = "Нажмите на кнопку «Продолжить»";
constexpr std::string_view kSucceeded = "Юстировка прошла успешно";
constexpr std::string_view kPollTimeout = "CLB.S: ошибка: таймаут";
constexpr std::string_view kRepeatQuestion =
    "Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.";

// A piece of a composed text, in the language on screen.
std::string in_language(std::string_view piece) {
    return std::string(localized(piece));
}

std::string closing_text(int type) {
    switch (type) {
        case 3:
            return "Комплексная юстировка НСХ преобразования завершена. ";
        case 4:
            return "Аналогичным образом произведите юстировку датчиков положения, подключенных к другим "
                   "каналам "
                   "(если такие имеются). ";
        default:
            return "Юстировка НСХ преобразования успешно завершена. ";
    }
}

// Marks the run busy while exchanges run, so the window shows the wait cursor.
class Busy {
  public:
    Busy(bool& flag, const std::function<void()>& changed) : flag_(flag), changed_(changed) {
        flag_ = true;
        if (changed_) changed_();
    }
    ~Busy() { flag_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    bool& flag_;
    const std::function<void()>& changed_;
};

}  // namespace

CalibrationRun::CalibrationRun(DeviceIO& io, RunSetup setup)
    : io_(io),
      setup_(std::move(setup)),
      status_line_("Добро пожаловать в утилиту юстировки!"),
      message_(setup_.opening_text) {}

CalibrationRun::~CalibrationRun() {
    end_task();
}

void CalibrationRun::press_continue() {
    if (closed() || !continue_visible_ || !continue_enabled_) return;
    switch (step_) {
        case 0:
            start();
            break;
        case 1:
            check();
            break;
        case 2:
        case 3:
            store();
            break;
        case 4:
            finish();
            break;
        case 5:
            after_faulty_coefficient();
            break;
        default:
            break;
    }
    changed();
}

void CalibrationRun::cancel() {
    close(RunEnd::Cancelled);
}

void CalibrationRun::start() {
    if (setup_.type == 4) {
        message_ = valve_ == 0 ? "Проводится юстировка датчика положения в закрытом положении"
                               : "Проводится юстировка датчика положения в открытом положении";
    } else {
        message_ =
            platform::format_c(std::string(localized("Проводится юстировка Тип %1i ")).c_str(), setup_.type);
    }
    status_line_ = "Старт процесса юстировки (CLB.I)";
    continue_visible_ = false;
    engine_error_.clear();
    changed();

    task_ended_ = false;
    const auto started =
        with_repeat([this] { return start_calibration(io_, setup_.type, setup_.channel, valve_); },
                    "(Запуск процессa юстировки)");
    if (!started) return;
    decode(task_state(started->reply));

    status_line_ = "Старт процесса юстировки (CLB.S)";
    Busy busy(busy_, on_change);
    pause(1000);
    Bytes last;
    bool finished = false;
    for (int counter = 1;;) {
        pause(1000);
        const Exchange polled = read_status(io_);
        if (polled.ok) {
            last = polled.reply;
        } else {
            engine_error_ = polled.error;
        }
        finished = polled.ok && (task_state(polled.reply).flags & kMeasurementsDone) != 0;
        if (counter >= kMaxPolls) break;
        ++counter;
        status_line_ = platform::format_c(
            std::string(localized("CLB.S: Флаг процесса=0x%02X. Ждем %i секунд...")).c_str(),
            task_state(last).flags, counter);
        changed();
        if (finished) break;
    }

    decode(task_state(last));
    continue_visible_ = true;
    if (!finished) {
        // Measurements that never finished are a failure, whatever the last status said.
        status_line_ = engine_error_ = std::string(kPollTimeout);
        error_ = true;
        status_text_ = in_language(kPollTimeout);
    }
    if (error_) {
        show_failure(in_language("Процесс поиска измерения юстировки завершен неудачно: ") + status_text_);
        return;
    }
    message_ =
        "Юстировочные коэффициенты найдены и сохранены в приборе. Сейчас программа считает найденные "
        "коэффициенты из прибора и осуществит их проверку.\nНажмите на кнопку «Продолжить»";
    status_line_ = "Измерения завершены...";
    step_ = 1;
}

void CalibrationRun::check() {
    status_line_ = "Прием измеренных коэф-тов с прибора...";
    {
        Busy busy(busy_, on_change);
        pause(500);
    }
    message_.clear();

    const auto checked =
        with_repeat([this] { return check_coefficients(io_); }, "(поиск ошибочных коэффициентов)");
    if (!checked) return;
    decode(task_state(checked->reply, 1));
    const int faulty = checked->reply.empty() ? 0 : checked->reply[0];

    if (faulty != 0) {
        const auto value = read_value(faulty, "(определение ошибочного знач-я)");
        if (!value) return;
        message_ = in_language("Значение ошибочного коэффициента: ") + *value + "\n\n" +
                   in_language(kContinueHint) + "\n\n" +
                   in_language("Коэффициент юстировки не соответствует заданным требованиям. ");
        message_ += in_language(
            setup_.type == 2
                ? "Возможные причны:\n  1) Подключенная термопара не соответствует заданному типу "
                  "датчика;\n  2) Температура воздуха окружающего модуль (прибор) не соответствует "
                  "условиям юстировки (15..30C)\n"
                : "Проверьте величину сигнала на контактах.Вход 1, а также правильность подключения "
                  "источника сигналов. После устранения замечаний юстировку повторите.");
        step_ = 5;
        return;
    }

    // The warning stays above the coefficients, which are still shown for the user to judge.
    const std::string warning =
        error_ ? in_language("Номер и значение ошибочного коэф-та неопределены.\n") : "";
    const int count = setup_.type == 2 ? 2 : setup_.type == 3 ? 4 : 1;
    static constexpr std::string_view kContexts[] = {
        "(Тип №1. Определение значения коэф-та)", "(Тип №2. Определение значения коэф-та)",
        "(Тип №3. Определение значения коэф-та)", "Тип №4. Определение значения коэф-та"};
    std::vector<std::string> values;
    for (int number = 1; number <= count; ++number) {
        const auto value = read_value(number, kContexts[setup_.type - 1]);
        if (!value) return;
        values.push_back(*value);
    }

    // The report reads in the language on screen around the values the module gave.
    const auto text = in_language;
    std::string shown;
    switch (setup_.type) {
        case 2:
            shown = text("Значение первого коэффициента:  ") + values[0] +
                    text(" \n Значение второго коэффициента:  ") + values[1] + "\n\n" + text(kSucceeded) +
                    "\n\n";
            break;
        case 3:
            shown = text("Значение первого коэффициента:\n  K1= ") + values[0] +
                    text("\n\nЗначение второго коэффициента:\n  K2= ") + values[1] +
                    text("\n\nЗначение третьего коэффициента:\n  K3= ") + values[2] +
                    text("\n\nЗначение четвертого коэффициента:\n  K4= ") + values[3] + "\n\n" +
                    text(kSucceeded) + "\n\n";
            break;
        case 4:
            shown =
                text("Значение коэффициента:  ") + values[0] + text(" \nНажмите на кнопку «Продолжить»\n");
            break;
        default:
            shown = text("Значение коэффициента:  ") + values[0] + "\n\n" + text(kSucceeded) + "\n\n";
            break;
    }
    if (setup_.type != 4) shown += text(kContinueHint);
    message_ = warning + shown;
    status_line_ = "Проверте коэффициент(ы)...";
    step_ = 2;
}

void CalibrationRun::store() {
    for (int error_statuses = 0;;) {
        if (setup_.type != 4) caption_ = "Завершение юстировки";
        engine_error_.clear();
        Exchange stored;
        {
            Busy busy(busy_, on_change);
            stored = store_coefficients(io_);
        }
        if (!stored.ok) {
            engine_error_ = stored.error;
            show_engine_error("(запись коэф-та)");
            if (ui().ask(kRepeatQuestion, Buttons::YesNo, MessageIcon::Question,
                         "Ошибка юстировки (WriteCalibration)") == Answer::Yes)
                continue;
            close(RunEnd::Cancelled);
            return;
        }
        decode(task_state(stored.reply));
        if (!error_) break;
        if (++error_statuses < kStoreAttempts) continue;
        const Answer again = ui().ask(status_text_ + in_language("Для повтора юстировки нажмите кнопку Да"),
                                      Buttons::YesNo, MessageIcon::Question, "Ошибка юстировки");
        close(RunEnd::Cancelled);
        if (again == Answer::Yes) follow_up_ = FollowUp::ChooseMethodAgain;
        return;
    }

    if (setup_.type == 4 && valve_ == 0) {
        // The closed position is done; the open one is a new task of the module.
        abort_calibration(io_);
        task_ended_ = true;
        message_ =
            "Теперь установите запорно-регулирующий клапан (задвижку) в положение ОТКРЫТО и подтвердите "
            "готовность к проведению юстировки датчика в этом состоянии нажав на кнопку «Продолжить»";
        status_line_ = "Продолжение с другим положении клапана (задвижки)";
        valve_ = 1;
        step_ = 0;
        return;
    }
    message_ = closing_text(setup_.type);
    status_line_ = "Завершение юстировки";
    step_ = 4;
}

void CalibrationRun::finish() {
    close(RunEnd::Accepted);
    if (setup_.type != 4) return;
    if (ui().ask("Выйти из юстировки?\n(нет - повторить с новым каналом)", Buttons::YesNo,
                 MessageIcon::Question, "Сообщение") == Answer::No)
        follow_up_ = FollowUp::ChooseMethodAgain;
}

void CalibrationRun::after_faulty_coefficient() {
    close(RunEnd::Accepted);
    if (ui().ask("Попытка юстировки закончилась неудачно; повторить юстировку?", Buttons::YesNo,
                 MessageIcon::Question, "Вопрос о повторе калибкровки") == Answer::Yes)
        follow_up_ = FollowUp::RepeatRun;
}

std::optional<Exchange> CalibrationRun::with_repeat(const std::function<Exchange()>& command,
                                                    std::string_view context) {
    while (true) {
        Exchange result = command();
        if (result.ok) return result;
        engine_error_ = result.error;
        show_engine_error(context);
        if (ui().ask(kRepeatQuestion, Buttons::YesNo, MessageIcon::Question, "Ошибка юстировки") !=
            Answer::Yes) {
            close(RunEnd::Cancelled);
            return std::nullopt;
        }
    }
}

std::optional<std::string> CalibrationRun::read_value(int number, std::string_view context) {
    const auto read = with_repeat([this, number] { return read_coefficient(io_, number); }, context);
    if (!read) return std::nullopt;
    const Coefficient c = decode_coefficient(read->reply);
    switch (c.kind) {
        case Coefficient::Kind::Value:
            return platform::format_c("%f", static_cast<double>(c.value));
        case Coefficient::Kind::NoValue:
            return std::string(str(kNoData));
        case Coefficient::Kind::BadReply:
            break;
    }
    // Coefficients that cannot be shown are not stored either: only "Cancel" remains.
    error_ = true;
    status_text_ = in_language(kBadCoefficientReply);
    show_failure(status_text_);
    return std::nullopt;
}

void CalibrationRun::decode(const TaskState& state) {
    flags_text_ = std::string(calibration::flags_text(state.flags));
    status_text_ = calibration::status_text(state.status);
    error_ = state.failed();
}

void CalibrationRun::show_failure(std::string message) {
    message_ = std::move(message);
    continue_visible_ = true;
    continue_enabled_ = false;
    status_line_ = "Ошибка";
}

void CalibrationRun::show_engine_error(std::string_view context) {
    if (engine_error_.empty()) return;
    ui().message(engine_error_, MessageIcon::Error, in_language("Ошибка") + " " + in_language(context));
}

void CalibrationRun::close(RunEnd end) {
    if (closed()) return;
    end_task();
    end_ = end;
}

void CalibrationRun::end_task() {
    if (task_ended_) return;
    task_ended_ = true;
    abort_calibration(io_);
}

void CalibrationRun::changed() {
    if (on_change) on_change();
}

void CalibrationRun::pause(int milliseconds) {
    if (wait) {
        wait(milliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace varda::calibration
