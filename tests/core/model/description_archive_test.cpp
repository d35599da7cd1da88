#include "core/model/description_archive.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_file(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Lines of text that deflate cannot shrink much, so that a member spans several 16384-byte blocks.
std::string long_text(std::size_t size) {
    std::string text;
    unsigned x = 12345;
    while (text.size() < size) {
        x = x * 1103515245 + 12345;
        text += "parameter P" + std::to_string(x % 100000) + " " + std::to_string(x >> 7) + "\n";
    }
    return text;
}

// Raw deflate output: the whole text, or only up to a sync point (no end, no trailer).
std::string zlib_stream(std::string_view text, bool finish, std::string_view dictionary = {}) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
    if (!dictionary.empty()) {
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size()));
    }
    std::string out(deflateBound(&z, text.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH), finish ? Z_STREAM_END : Z_OK);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class DescriptionArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/varda-archive-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "varda.dat").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    // An archive holding the given members, written by an object that is gone afterwards.
    void make_archive(const std::vector<DescriptionArchive::MemberBytes>& members) {
        DescriptionArchive archive(path_, true);
        ASSERT_TRUE(archive.ReplaceMembers(members)) << archive.failure_message();
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(DescriptionArchiveTest, MembersReadBackAsStored) {
    std::string every_byte;
    for (int b = 1; b < 256; ++b)
        every_byte += static_cast<char>(b);
    const std::vector<DescriptionArchive::MemberBytes> members = {
        {"lf.tree", "root R\nparameter A\n"},
        {"cr.tree", "root R\rparameter A\r"},
        {"crlf.tree", "root R\r\nparameter A\r\n\r\n"},
        {"bytes.tree", every_byte},
        {"long.tree", long_text(100000)},
        {"Описание", "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0"},
    };
    make_archive(members);

    DescriptionArchive archive(path_, false);
    ASSERT_TRUE(archive.is_open()) << archive.failure_message();
    EXPECT_FALSE(archive.created());
    EXPECT_EQ(archive.MemberNames().size(), members.size());
    for (const auto& m : members) {
        std::string sink = "kept";  // the member is appended to what the sink holds
        EXPECT_EQ(archive.ReadMember(m.name, sink), 4 + m.bytes.size()) << m.name;
        EXPECT_EQ(sink, "kept" + m.bytes) << m.name;
        EXPECT_EQ(archive.failure(), ArchiveFailure::None) << m.name;
    }
}

TEST_F(DescriptionArchiveTest, MemberNamesAreFoundWithoutRegardToCase) {
    make_archive({{"VK05.TREE", "five"}, {"Описание", "text"}});
    DescriptionArchive archive(path_, false);
    for (const char* name : {"vk05.tree", "Vk05.Tree", "VK05.TREE", "ОПИСАНИЕ", "описание"}) {
        std::string sink;
        EXPECT_GT(archive.ReadMember(name, sink), 0u) << name;
    }
    // Replacing takes the new spelling and leaves one member.
    ASSERT_TRUE(archive.AddMemberBytes("vk05.tree", "new"));
    auto names = archive.MemberNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"vk05.tree", "Описание"}));
    EXPECT_EQ(archive.ReadMemberText("VK05.TREE"), "new");
}

TEST_F(DescriptionArchiveTest, AddMemberReadsTheSourceAsText) {
    // A CR LF pair split across the reader's 16384-byte blocks is still one line end.
    std::string across(16383, 'x');
    across += "\r\nend";
    struct Case {
        const char* name;
        std::string source;
        std::string stored;
    };
    const Case cases[] = {
        {"crlf", "a\r\nb\r\n", "a\nb\n"},
        {"lone cr kept", "a\rb\r", "a\rb\r"},
        {"cr cr lf", "a\r\r\nb", "a\r\nb"},
        {"block boundary", across, std::string(16383, 'x') + "\nend"},
        {"empty", "", ""},
    };
    DescriptionArchive archive(path_, true);
    ASSERT_TRUE(archive.is_open()) << archive.failure_message();
    for (const auto& c : cases) {
        const fs::path source = dir_ / "source.tree";
        write_file(source, c.source);
        ASSERT_TRUE(archive.AddMember(source.string(), c.name)) << archive.failure_message();
        std::string sink;
        archive.ReadMember(c.name, sink);
        EXPECT_EQ(sink, c.stored) << c.name;
    }

    EXPECT_FALSE(archive.AddMember((dir_ / "absent.tree").string(), "absent"));
    EXPECT_EQ(archive.failure(), ArchiveFailure::SourceUnreadable);
}

TEST_F(DescriptionArchiveTest, ADescriptionThatUnpacksToMegabytesIsCutShort) {
    // A few kilobytes in the archive, eight megabytes unpacked: the loader is never handed all of it.
    const std::string huge(8 << 20, ';');
    {
        DescriptionArchive archive(path_, true);
        ASSERT_TRUE(archive.AddCompressedMember("vk03.tree", zlib_stream(huge, true)));
    }
    DescriptionArchive archive(path_, false);
    const DescriptionText text = ReadModelDescription(archive, 3);
    EXPECT_EQ(archive.failure(), ArchiveFailure::MemberDamaged);
    EXPECT_GT(text.text.size(), 0u);
    EXPECT_LE(text.text.size(), 256u * 1024);

    std::string whole;  // other readers of the archive still get the whole member
    EXPECT_EQ(archive.ReadMember("vk03.tree", whole), huge.size());
}

TEST_F(DescriptionArchiveTest, DamagedMembersKeepWhatWasDecoded) {
    const std::string lines = "root R\nparameter A\n";
    const std::string big = long_text(60000);  // damage met after several output blocks
    const std::string garbage(64, '\xFF');
    const std::string whole = zlib_stream(lines, true);
    std::string bad_check = whole;
    bad_check.back() ^= 0x55;
    struct Case {
        const char* name;
        std::string stream;
        std::string text;
        ArchiveFailure failure;
    };
    const Case cases[] = {
        {"corrupt after complete lines", zlib_stream(lines, false) + garbage, lines,
         ArchiveFailure::MemberDamaged},
        {"cut off after complete lines", zlib_stream(lines, false), lines, ArchiveFailure::MemberDamaged},
        {"corrupt after several blocks", zlib_stream(big, false) + garbage, big,
         ArchiveFailure::MemberDamaged},
        {"wrong check value", bad_check, lines, ArchiveFailure::MemberDamaged},
        {"not zlib at all", "plain text, not compressed", "", ArchiveFailure::MemberDamaged},
        {"preset dictionary", zlib_stream(lines, true, "parameter"), "", ArchiveFailure::MemberDamaged},
        {"bytes after the end are ignored", whole + garbage, lines, ArchiveFailure::None},
        {"empty zlib stream", zlib_stream("", true), "", ArchiveFailure::MemberEmpty},
        {"no zlib stream at all", "", "", ArchiveFailure::MemberDamaged},
    };
    {
        DescriptionArchive archive(path_, true);
        for (const auto& c : cases) {
            ASSERT_TRUE(archive.AddCompressedMember(c.name, c.stream)) << archive.failure_message();
        }
    }
    DescriptionArchive archive(path_, false);
    for (const auto& c : cases) {
        std::string sink;
        EXPECT_EQ(archive.ReadMember(c.name, sink), c.text.size()) << c.name;
        EXPECT_EQ(sink, c.text) << c.name;
        EXPECT_EQ(archive.failure(), c.failure) << c.name;
    }
}

TEST_F(DescriptionArchiveTest, ModelDescriptionText) {
    for (const auto& [index, name] : std::vector<std::pair<int, std::string>>{
             {0, "vk00.tree"}, {9, "vk09.tree"}, {22, "vk22.tree"}, {-1, ""}, {23, ""}}) {
        EXPECT_EQ(description_member_name(index), name) << index;
    }

    make_archive({
        {"VK01.TREE", "root \xCA\xEE\xF0\xE5\xED\xFC\r\n"},  // Windows-1251 "Корень"
        {"vk02.tree", std::string("root R\n\0garbage", 15)},
        {"vk03.tree", ""},
        {"vk04.tree", std::string("\0rest", 5)},
    });
    DescriptionArchive archive(path_, true);

    auto text = ReadModelDescription(archive, 1);
    EXPECT_TRUE(text.ok);
    EXPECT_EQ(text.text, "root Корень\r\n");

    text = ReadModelDescription(archive, 2);  // the text ends at a zero byte
    EXPECT_TRUE(text.ok);
    EXPECT_EQ(text.text, "root R\n");

    text = ReadModelDescription(archive, 4);  // a zero byte first still counts as read
    EXPECT_TRUE(text.ok);
    EXPECT_EQ(text.text, "");

    struct Failing {
        int index;
        int message;
        ArchiveFailure failure;
    };
    for (const auto& f : {Failing{3, kTreeFileOpeningError, ArchiveFailure::MemberEmpty},
                          Failing{5, kTreeFileOpeningError, ArchiveFailure::MemberMissing},
                          Failing{23, 0, ArchiveFailure::None}, Failing{-1, 0, ArchiveFailure::None}}) {
        text = ReadModelDescription(archive, f.index);
        EXPECT_FALSE(text.ok) << f.index;
        EXPECT_EQ(text.message, f.message) << f.index;
        EXPECT_EQ(text.failure, f.failure) << f.index;
    }
}

TEST_F(DescriptionArchiveTest, MissingArchive) {
    {
        DescriptionArchive archive(path_, false);
        EXPECT_FALSE(archive.is_open());
        EXPECT_EQ(archive.failure(), ArchiveFailure::Missing);
        std::string sink;
        EXPECT_EQ(archive.ReadMember("vk00.tree", sink), 0u);
        EXPECT_FALSE(archive.AddMemberBytes("vk00.tree", "x"));
        EXPECT_FALSE(fs::exists(path_));
    }
    {
        // With create set, an empty archive appears; the model's member is still missing.
        DescriptionArchive archive(path_, true);
        ASSERT_TRUE(archive.is_open()) << archive.failure_message();
        EXPECT_TRUE(archive.created());
        EXPECT_TRUE(archive.MemberNames().empty());
        const auto text = ReadModelDescription(archive, 0);
        EXPECT_EQ(text.message, kTreeFileOpeningError);
        EXPECT_EQ(text.failure, ArchiveFailure::MemberMissing);
    }
    DescriptionArchive again(path_, false);
    EXPECT_TRUE(again.is_open());
    EXPECT_FALSE(again.created());
}

TEST_F(DescriptionArchiveTest, FilesThatAreNotArchivesAreLeftAlone) {
    std::string broken(2048, '\0');
    broken.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");  // the signature, then nonsense
    struct Case {
        const char* name;
        std::string bytes;
    };
    for (const auto& c : {Case{"text", "root R\nparameter A\n"}, Case{"empty file", ""},
                          Case{"damaged compound file", broken}}) {
        write_file(path_, c.bytes);
        for (const bool create : {false, true}) {
            DescriptionArchive archive(path_, create);
            EXPECT_FALSE(archive.is_open()) << c.name;
            EXPECT_EQ(archive.failure(), ArchiveFailure::NotAnArchive) << c.name;
            EXPECT_FALSE(archive.AddMemberBytes("vk00.tree", "x")) << c.name;
            EXPECT_EQ(ReadModelDescription(archive, 0).message, kTreeFileOpeningError) << c.name;
        }
        EXPECT_EQ(read_file(path_), c.bytes) << c.name;
    }
}

TEST_F(DescriptionArchiveTest, MemberNamesFollowTheCompoundFileRules) {
    DescriptionArchive archive(path_, true);
    for (const std::string& name : {std::string(31, 'a'), std::string("Ж") + std::string(30, 'x')}) {
        EXPECT_TRUE(archive.AddMemberBytes(name, "x")) << name;
    }
    for (const std::string& name :
         {std::string(), std::string(32, 'a'), std::string("a/b"), std::string("a\\b"), std::string("a:b"),
          std::string("a!b"), std::string("bad\xFFutf8")}) {
        EXPECT_FALSE(archive.AddMemberBytes(name, "x")) << name;
        EXPECT_EQ(archive.failure(), ArchiveFailure::BadMemberName) << name;
    }
    EXPECT_FALSE(archive.ReplaceMembers({{"a", "1"}, {"A", "2"}}));
    EXPECT_EQ(archive.MemberNames().size(), 2u);
}

TEST_F(DescriptionArchiveTest, WriterIsRefusedWhileALoadHoldsTheArchive) {
    make_archive({{"vk00.tree", "old"}});
    const std::string before = read_file(path_);
    {
        DescriptionArchive load(path_, false);
        ASSERT_TRUE(load.is_open());
        DescriptionArchive writer(path_, false);
        ASSERT_TRUE(writer.is_open()) << "readers share the archive";
        EXPECT_FALSE(writer.AddMemberBytes("vk00.tree", "new"));
        EXPECT_EQ(writer.failure(), ArchiveFailure::Busy);
        EXPECT_EQ(read_file(path_), before);
        EXPECT_EQ(load.ReadMemberText("vk00.tree"), "old");
    }
    DescriptionArchive writer(path_, false);
    ASSERT_TRUE(writer.AddMemberBytes("vk00.tree", "new")) << writer.failure_message();
    {
        // The writer keeps the new archive: a second writer is refused in turn.
        DescriptionArchive other(path_, false);
        EXPECT_EQ(other.ReadMemberText("vk00.tree"), "new");
        EXPECT_FALSE(other.AddMemberBytes("vk01.tree", "x"));
        EXPECT_EQ(other.failure(), ArchiveFailure::Busy);
    }
    EXPECT_TRUE(writer.AddMemberBytes("vk01.tree", "x"));
}

TEST_F(DescriptionArchiveTest, ReaderGivesUpWhileAnotherProgramWritesTheArchive) {
    make_archive({{"vk00.tree", "text"}});
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    {
        DescriptionArchive archive(path_, true);
        EXPECT_FALSE(archive.is_open());
        EXPECT_EQ(archive.failure(), ArchiveFailure::Busy);
        EXPECT_NE(archive.failure_message().find("in use"), std::string::npos);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << "waits a little";
    close(fd);
    EXPECT_TRUE(DescriptionArchive(path_, false).is_open());
}

TEST_F(DescriptionArchiveTest, FailedWriteLeavesTheOldArchive) {
    make_archive({{"vk00.tree", "old"}});
    const std::string before = read_file(path_);
    DescriptionArchive archive(path_, false);
    // A file size limit makes writing the new archive fail like a full disk, for root too.
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    const auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_limit;
    limit.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool added = archive.AddMemberBytes("vk01.tree", long_text(5000));
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(added);
    EXPECT_EQ(archive.failure(), ArchiveFailure::WriteFailed);
    EXPECT_EQ(read_file(path_), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
        << "no temporary left";
    EXPECT_EQ(archive.ReadMemberText("vk00.tree"), "old");
    EXPECT_TRUE(archive.AddMemberBytes("vk01.tree", "x")) << "the object still holds the archive";
}

#ifdef VARDA_ARCHIVE_PATH
struct Run {
    int status;
    std::string out;
    std::string err;
};

Run run_tool(const std::string& args, const fs::path& dir) {
    const std::string out = (dir / "stdout").string();
    const std::string err = (dir / "stderr").string();
    const int raw =
        std::system((std::string(VARDA_ARCHIVE_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
    Run run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(out), read_file(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

TEST_F(DescriptionArchiveTest, ToolBuildsListsAndExtracts) {
    const fs::path src = dir_ / "src";
    fs::create_directory(src);
    write_file(src / "vk00.tree", "\xEF\xBB\xBFroot Корень\r\nparameter A Ёлка\n");
    write_file(src / "vk01.tree", "");
    const std::string dat = (dir_ / "out.dat").string();

    auto run = run_tool(
        "build " + dat + " " + (src / "vk00.tree").string() + " " + (src / "vk01.tree").string(), dir_);
    ASSERT_EQ(run.status, 0) << run.err;
    {
        DescriptionArchive archive(dat, false);
        std::string stored;
        archive.ReadMember("vk00.tree", stored);
        EXPECT_EQ(stored, platform::utf8_to_cp1251("root Корень\nparameter A Ёлка\n"));
    }
    run = run_tool("list " + dat, dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "vk00.tree\nvk01.tree\n");
    run = run_tool("extract " + dat + " VK00.TREE", dir_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "root Корень\nparameter A Ёлка\n");
    run = run_tool("extract " + dat + " vk01.tree", dir_);
    EXPECT_EQ(run.status, 0) << "an empty member is no failure";
    run = run_tool("extract " + dat + " vk05.tree", dir_);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("vk05.tree"), std::string::npos) << run.err;

    // A rebuild replaces the whole archive.
    run = run_tool("build " + dat + " " + (src / "vk01.tree").string(), dir_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run_tool("list " + dat, dir_).out, "vk01.tree\n");
    run = run_tool("build " + dat, dir_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run_tool("list " + dat, dir_).out, "");
}

TEST_F(DescriptionArchiveTest, ToolRefusesWhatItCannotStore) {
    const fs::path src = dir_ / "src";
    fs::create_directory(src);
    write_file(src / "bad.tree", "root R\r\n\r\nparameter 日本\n");
    write_file(src / "broken.tree", "ok\nx\xE2\x82y\n");
    write_file(src / "vk00.tree", "root R\n");
    fs::create_directory(src / "b");
    write_file(src / "b" / "VK00.TREE", "root R\n");
    const fs::path not_archive = dir_ / "notes.txt";
    write_file(not_archive, "keep me");
    const std::string dat = (dir_ / "out.dat").string();

    struct Case {
        const char* name;
        std::string args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"character outside the code page", "build " + dat + " " + (src / "bad.tree").string(), 1,
         "bad.tree:3:11: \"日\" is not a Windows-1251 character"},
        {"invalid UTF-8", "build " + dat + " " + (src / "broken.tree").string(), 1, "broken.tree:2:2:"},
        {"same member twice",
         "build " + dat + " " + (src / "vk00.tree").string() + " " + (src / "b/VK00.TREE").string(), 1,
         "VK00.TREE"},
        {"missing source", "build " + dat + " " + (src / "none.tree").string(), 1, "none.tree"},
        {"output not an archive", "build " + not_archive.string() + " " + (src / "vk00.tree").string(), 1,
         "not a description archive"},
        {"not an archive to list", "list " + not_archive.string(), 1, "not a description archive"},
        {"no command", "", 2, "Usage"},
        {"unknown command", "pack " + dat, 2, "Usage"},
        {"extract without member", "extract " + dat, 2, "Usage"},
    };
    for (const auto& c : cases) {
        const auto run = run_tool(c.args, dir_);
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    }
    EXPECT_FALSE(fs::exists(dat)) << "nothing is written when a source is refused";
    EXPECT_EQ(read_file(not_archive), "keep me");
    EXPECT_EQ(run_tool("--help", dir_).status, 0);
}
#endif

}  // namespace
}  // namespace varda
