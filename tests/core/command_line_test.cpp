#include "core/app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/link/exit_status.h"

namespace varda {
namespace {

CommandLine parse(std::vector<std::string> args) {
    return parse_command_line(args);
}

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
    const auto cl =
        parse({"-WRITE/Aply/prty:Even", "-elog:\"./Logs/Run 1.txt\"", "-port:/dev/serial/by-id/USB-Adapter"});
    EXPECT_TRUE(cl.has(CommandLine::kWrite));
    EXPECT_TRUE(cl.has(CommandLine::kAply));
    EXPECT_EQ(cl.parity, 1);
    EXPECT_EQ(cl.parity_item(), "Even");
    EXPECT_EQ(cl.error_log, "./Logs/Run 1.txt");
    EXPECT_EQ(cl.port, "/dev/serial/by-id/USB-Adapter");
}

TEST(CommandLine, ValuesThatCannotBeUsed) {
    struct Case {
        std::vector<std::string> args;
        int parity;
        bool port_settings;
    };
    for (const auto& c : {Case{{"-prty:odd"}, 2, true}, Case{{"-prty:no"}, 3, true},
                          Case{{"-bps:9600/prty:mark"}, 0, false},  // an unknown parity unmarks the settings
                          Case{{"-addr:"}, 0, false}, Case{{"-frobnicate"}, 0, false}}) {
        const auto cl = parse(c.args);
        EXPECT_TRUE(cl.command_line_mode()) << c.args[0];
        EXPECT_EQ(cl.parity, c.parity) << c.args[0];
        EXPECT_EQ(cl.has(CommandLine::kPortSettings), c.port_settings) << c.args[0];
    }
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

TEST(CommandLine, WindowModesAndSwitches) {
    const auto cl = parse({"-x:10/y:10/w:800/h:600/autoread:off/silent/test/exitevent:Quit_Now"});
    EXPECT_EQ(cl.window, CommandLine::kX | CommandLine::kY | CommandLine::kW | CommandLine::kH);
    EXPECT_EQ(cl.w, 800);
    EXPECT_TRUE(cl.has(CommandLine::kAutoreadOff));
    EXPECT_TRUE(cl.has(CommandLine::kSilent));
    EXPECT_TRUE(cl.has(CommandLine::kTest));
    EXPECT_EQ(cl.exit_event, "quit_now");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_FALSE(parse({"--help"}).command_line_mode());
    EXPECT_TRUE(parse({"--version"}).version);
}

TEST(ExitStatus, LowestBitDecidesAndFailuresAreKept) {
    EXPECT_EQ(exit_code_of(0), 0);
    EXPECT_EQ(exit_code_of(kStatusPortFailed | kStatusUnknownModel), 201);
    EXPECT_EQ(exit_code_of(kStatusCancelled), 205);
    reset_status();
    set_status(kStatusNoReply);
    set_status(kStatusErrorReply);  // a later outcome does not hide the earlier failure
    EXPECT_EQ(exit_code_of(status_word()), 202);
    clear_status(kStatusNoReply);
    EXPECT_EQ(exit_code_of(status_word()), 204);
    reset_status();
}

}  // namespace
}  // namespace varda
