#include "core/app/command_line/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/link/exit_status.h"

namespace varda {
namespace {

CommandLine parse(std::vector<std::string> args) {
    return parse_command_line(args);
}

// A folder standing in for /dev and the working folder: "ttyACM0" and "ttyUSB0" exist, and so does "logs".
struct PathFixture {
    PathFixture()
        : dir(std::filesystem::temp_directory_path() / ("varda-cl-" + std::to_string(getpid()))),
          previous(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir / "logs");
        std::ofstream(dir / "ttyACM0") << "";
        std::ofstream(dir / "ttyUSB0") << "";
        std::filesystem::current_path(dir);
    }
    ~PathFixture() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
    std::filesystem::path previous;
};

TEST(CommandLine, JobsAndPortSettings) {
    const auto cl = parse({"-read/close", "-port:/dev/ttyUSB0", "Plant1.vdc"});
    EXPECT_TRUE(cl.command_line_mode());
    EXPECT_TRUE(cl.has(CommandLine::kRead));
    EXPECT_TRUE(cl.has(CommandLine::kClose));
    EXPECT_TRUE(cl.has(CommandLine::kPortSettings));
    EXPECT_EQ(cl.port, "/dev/ttyUSB0");
    EXPECT_EQ(cl.file_name, "Plant1.vdc");  // the file keeps its case

    const auto numbered = parse({"/PORT:3/BPS:19200/read", "x.vdc"});
    EXPECT_EQ(numbered.port, "COM3");
    EXPECT_EQ(numbered.baud_rate, 19200);
    EXPECT_TRUE(numbered.has(CommandLine::kRead));
}

TEST(CommandLine, ItemsAreCaseInsensitiveButPathsKeepTheirCase) {
    PathFixture fixture;
    std::filesystem::create_directory("Logs");
    const auto cl =
        parse({"-WRITE/Aply/prty:Even", "-elog:\"./Logs/Run 1.txt\"", "-port:/dev/serial/by-id/USB-Adapter"});
    EXPECT_TRUE(cl.has(CommandLine::kWrite));
    EXPECT_TRUE(cl.has(CommandLine::kAply));
    EXPECT_EQ(cl.parity, 1);
    EXPECT_EQ(cl.parity_item(), "Even");
    EXPECT_EQ(cl.error_log, "./Logs/Run 1.txt");
    EXPECT_EQ(cl.port, "/dev/serial/by-id/USB-Adapter");
}

TEST(CommandLine, PathValuesSplitOffTheItemsWrittenAfterThem) {
    PathFixture fixture;
    const std::string dev = fixture.dir.string();
    struct Case {
        std::string arg;
        std::string port;
        std::string error_log;
        std::string exit_event;
        unsigned options;  // beside command-line mode and the port-settings mark
    };
    using C = CommandLine;
    const Case cases[] = {
        {"-read/close/port:" + dev + "/ttyUSB0", dev + "/ttyUSB0", "", "", C::kRead | C::kClose},
        {"-Read/Port:" + dev + "/ttyACM0/Close", dev + "/ttyACM0", "", "", C::kRead | C::kClose},
        {"-port:" + dev + "/ttyACM0/close/READ", dev + "/ttyACM0", "", "", C::kRead | C::kClose},
        // The path without the item does not exist: the whole value is the path.
        {"-port:/dev/varda-none/close", "/dev/varda-none/close", "", "", 0},
        {"-port:/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0", "", "", 0},
        {"-port:./ttyACM0", "./ttyACM0", "", "", 0},
        {"-port:\"./ttyACM0\"/close", "./ttyACM0", "", "", C::kClose},
        {"-elog:logs/err.txt", "", "logs/err.txt", "", 0},
        {"-elog:./err.txt", "", "./err.txt", "", 0},
        {"-elog:Logs.txt/close", "", "Logs.txt", "", C::kClose},
        {"-elog:logs/err.txt/read/close", "", "logs/err.txt", "", C::kRead | C::kClose},
        {"-elog:\"logs/Run 1.txt\"/close", "", "logs/Run 1.txt", "", C::kClose},
        {"-exitevent:Quit_Now/close", "", "", "Quit_Now", C::kClose},
        {"-exitevent:/Quit_Now/close", "", "", "/Quit_Now", C::kClose},
    };
    for (const Case& c : cases) {
        const auto cl = parse({c.arg});
        EXPECT_TRUE(cl.errors.empty()) << c.arg << ": " << (cl.errors.empty() ? "" : cl.errors[0]);
        EXPECT_TRUE(cl.warnings.empty()) << c.arg << ": " << (cl.warnings.empty() ? "" : cl.warnings[0]);
        EXPECT_EQ(cl.port, c.port) << c.arg;
        EXPECT_EQ(cl.error_log, c.error_log) << c.arg;
        EXPECT_EQ(cl.exit_event, c.exit_event) << c.arg;
        EXPECT_EQ(cl.options & ~(C::kCommandLineMode | C::kPortSettings), c.options) << c.arg;
    }
}

TEST(CommandLine, AKnownItemWithABadValueIsAnError) {
    PathFixture fixture;
    struct Case {
        std::vector<std::string> args;
        int stored_address_length;
        std::string error;  // the start of the message; empty: none
    };
    const Case cases[] = {
        {{"-bps:12345"}, 8, "-bps:12345: the baud rate must be one of 110, 300,"},
        {{"-read/bps:fast"}, 8, "-bps:fast: the baud rate must be"},
        {{"-bps:128000"}, 8, ""},
        {{"-addr:300"}, 8, "-addr:300: with 8-bit addresses the address must be 0 to 254"},
        {{"-addr:300"}, 11, ""},
        {{"-addr:300", "-alen:8"}, 11, "-addr:300: with 8-bit addresses"},
        {{"-addr:300/alen:11"}, 8, ""},
        {{"-addr:2047"}, 8, "-addr:2047: with 8-bit addresses"},
        {{"-addr:2048/alen:11"}, 8, "-addr:2048: the address must be a whole number, 0 to 2047"},
        {{"-addr:255/alen:11"}, 8, "-addr:255: 255 is the broadcast address"},
        {{"-addr:-1"}, 8, "-addr:-1: the address must be"},
        {{"-prty:mark"}, 8, "-prty:mark: the parity must be even, odd or no"},
        {{"-alen:9"}, 8, "-alen:9: the address length must be 8 or 11"},
        {{"-len:9"}, 8, "-len:9: the data bits must be 5 to 8"},
        {{"-sbit:1.5"}, 8, "-sbit:1.5: the stop bits must be 1 or 2"},
        {{"-rs485:maybe"}, 8, "-rs485:maybe: the adapter mode must be auto, off or on"},
        {{"-autoread:yes"}, 8, "-autoread:yes: the value must be on or off"},
        {{"-w:-5"}, 8, "-w:-5: the size must be a whole number"},
        {{"-x:-5"}, 8, ""},
        {{"-port:0"}, 8, "-port:0: needs a device path"},
        {{"-elog:missing/err.txt"}, 8, "-elog:missing/err.txt: the log file cannot be made there"},
        {{"-elog:logs"}, 8, "-elog:logs: that is a folder"},
        {{"-exitevent:"}, 8, "-exitevent:: needs a name"},
        {{"-brand:acme"}, 8, "-brand:acme: the brand must be ravelin or kest"},
        {{"-brand:"}, 8, "-brand:: the brand must be ravelin or kest"},
    };
    for (const Case& c : cases) {
        auto cl = parse(c.args);
        check_address(cl, c.stored_address_length);
        const std::string what = c.args[0] + " (stored " + std::to_string(c.stored_address_length) + ")";
        if (c.error.empty()) {
            EXPECT_TRUE(cl.errors.empty()) << what << ": " << cl.errors.front();
        } else {
            ASSERT_EQ(cl.errors.size(), 1u) << what;
            EXPECT_EQ(cl.errors[0].rfind(c.error, 0), 0u) << what << ": " << cl.errors[0];
        }
    }
}

TEST(CommandLine, UnknownItemsAndEmptyValuesAreWarnedAbout) {
    const auto cl = parse({"-read/frobnicate/addr:/close:now", "a.vdc", "b.vdc"});
    EXPECT_TRUE(cl.command_line_mode());
    EXPECT_TRUE(cl.errors.empty());
    EXPECT_TRUE(cl.has(CommandLine::kRead));
    EXPECT_TRUE(cl.has(CommandLine::kClose));
    EXPECT_EQ(cl.file_name, "a.vdc");
    EXPECT_EQ(cl.warnings,
              (std::vector<std::string>{"-frobnicate: unknown item, ignored", "-addr:: no value, ignored",
                                        "-close:now: close takes no value; the value is ignored",
                                        "b.vdc: a second file name, ignored"}));
}

TEST(CommandLine, ASlashArgumentIsAFileWhenItNamesOne) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto existing = (dir / "varda-cl-test-file").string();
    std::ofstream(existing) << "x";
    EXPECT_EQ(parse({existing}).file_name, existing);
    EXPECT_FALSE(parse({existing}).command_line_mode());
    EXPECT_EQ(parse({"/home/nobody/new.vdc"}).file_name, "/home/nobody/new.vdc");
    EXPECT_TRUE(parse({"/read"}).has(CommandLine::kRead));
    std::filesystem::remove(existing);
}

// Where a job is to save is never dropped: a "/" argument that holds anything but our items is the file,
// whether or not it exists yet and whatever its extension.
TEST(CommandLine, ASlashArgumentWithOtherThanItemsIsTheFile) {
    const struct {
        std::vector<std::string> args;
        const char* file;  // "" when every "/" argument is taken for options
        unsigned options;
    } cases[] = {
        {{"-read", "-close", "/srv/plant/A"}, "/srv/plant/A", CommandLine::kRead | CommandLine::kClose},
        {{"-read/close", "/srv/plant/read"}, "/srv/plant/read", CommandLine::kRead | CommandLine::kClose},
        {{"/x/data/plant"}, "/x/data/plant", 0},
        {{"/read/close", "plant"}, "plant", CommandLine::kRead | CommandLine::kClose},
        {{"/Read/Close/bps:19200"},
         "",
         CommandLine::kRead | CommandLine::kClose | CommandLine::kPortSettings},
    };
    for (const auto& c : cases) {
        const CommandLine cl = parse(c.args);
        EXPECT_EQ(cl.file_name, c.file) << c.args.back();
        EXPECT_EQ(cl.options & ~unsigned{CommandLine::kCommandLineMode}, c.options) << c.args.back();
        EXPECT_TRUE(cl.warnings.empty()) << c.args.back() << ": " << cl.warnings.front();
    }
}

TEST(CommandLine, WindowModesAndSwitches) {
    const auto cl = parse({"-x:10/y:10/w:800/h:600/autoread:off/silent/test/exitevent:Quit_Now"});
    EXPECT_EQ(cl.window, CommandLine::kX | CommandLine::kY | CommandLine::kW | CommandLine::kH);
    EXPECT_EQ(cl.w, 800);
    EXPECT_TRUE(cl.has(CommandLine::kAutoreadOff));
    EXPECT_TRUE(cl.has(CommandLine::kSilent));
    EXPECT_TRUE(cl.has(CommandLine::kTest));
    EXPECT_EQ(cl.exit_event, "Quit_Now");  // a semaphore's name is case-sensitive
    EXPECT_FALSE(cl.no_window);
    const auto headless = parse({"-read/close", "--no-window", "plant.vdc"});
    EXPECT_TRUE(headless.no_window);
    EXPECT_TRUE(headless.has(CommandLine::kRead));
    EXPECT_EQ(headless.file_name, "plant.vdc");  // a switch of its own, never the file nor an item
    EXPECT_TRUE(headless.warnings.empty() && headless.errors.empty());
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_FALSE(parse({"--help"}).command_line_mode());
    EXPECT_TRUE(parse({"--version"}).version);
}

TEST(ExitStatus, LowestBitDecidesAndFailuresAreKept) {
    EXPECT_EQ(exit_code_of(0), 0);
    EXPECT_EQ(exit_code_of(kStatusPortFailed | kStatusUnknownModel), 201);
    EXPECT_EQ(exit_code_of(kStatusCancelled), 205);
    StatusWord status;
    status.set(kStatusNoReply);
    status.set(kStatusErrorReply);  // a later outcome does not hide the earlier failure
    EXPECT_EQ(exit_code_of(status.word()), 202);
    status.clear(kStatusNoReply);
    EXPECT_EQ(exit_code_of(status.word()), 204);
    status.reset();
    EXPECT_EQ(status.word(), 0u);
    EXPECT_EQ(exit_code_of(kStatusNotSaved | kStatusNoDescription), 207);
    EXPECT_EQ(exit_code_of(kStatusNoDescription), 208);
}

// The connection procedure's unanswered probes are dropped once a module answers; what failed before it,
// and what is no exchange outcome, stays.
TEST(ExitStatus, ACheckpointDropsOnlyTheExchangeOutcomesSetSinceIt) {
    StatusWord status;
    status.set(kStatusErrorReply);
    const StatusCheckpoint probing(status);
    status.set(kStatusNoReply | kStatusBadReply | kStatusErrorReply | kStatusCancelled);
    probing.rewind();
    EXPECT_EQ(status.word(), kStatusErrorReply | kStatusCancelled);
}

// Every code a job can end with is explained in --help.
TEST(ExitStatus, HelpListsEveryCode) {
    const std::string help = command_line_help();
    for (int code = kFirstStatusCode; code <= kLastStatusCode; ++code) {
        const std::string line = std::to_string(code) + "  " + std::string(exit_code_meaning(code));
        EXPECT_NE(help.find(line), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace varda
