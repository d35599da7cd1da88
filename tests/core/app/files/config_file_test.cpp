#include "core/app/files/config_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>

#include "core/app/command_line/headless_ui.h"
#include "core/app/files/archive_stream.h"
#include "core/devices/base_device.h"
#include "core/devices/models.h"
#include "core/model/description.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/platform/language.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/protocol/frame_codec.h"

namespace varda {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// ---- helpers ------------------------------------------------------------------------------------

// A little-endian byte builder for hand-made files.
struct Builder {
    Bytes out;
    Builder& bytes(std::initializer_list<int> values) {
        for (int v : values)
            out.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Builder& ascii(std::string_view text) {
        out.insert(out.end(), text.begin(), text.end());
        return *this;
    }
    Builder& word(std::uint16_t v) { return bytes({v & 0xFF, v >> 8}); }
    Builder& dword(std::uint32_t v) {
        return bytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
    }
    Builder& append(const Bytes& more) {
        out.insert(out.end(), more.begin(), more.end());
        return *this;
    }
};

Bytes header(std::uint16_t schema) {
    return Builder().word(0xFFFF).word(schema).word(8).ascii("CTarnDoc").out;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_raw(const fs::path& path, std::string_view content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string as_string(const Bytes& b) {
    return {b.begin(), b.end()};
}

// Every parameter of a tree as one line per parameter, so that a mismatch names the field: what a file
// supplies (values and marks), or, with `what_it_is`, what only the description decides.
void snapshot(const DescBranch& branch, std::vector<std::string>& out, bool what_it_is = false) {
    for (const auto& p : branch.parameters) {
        if (what_it_is) {
            out.push_back(branch.name + "|" + p->network_name() + "|" + p->description + "|" +
                          std::to_string(p->indexed) + std::to_string(p->network_index) + "|" +
                          std::to_string(p->address_offset) + "|" + std::to_string(p->writable) + "|" +
                          std::to_string(p->access_mode));
            continue;
        }
        out.push_back(branch.name + "|" + p->network_name() + "|" + p->value_text() + "|" + p->error_text +
                      "|" + std::to_string(p->value_modified) + std::to_string(p->access_modified) +
                      std::to_string(p->user_modified) + std::to_string(p->access_attribute) +
                      std::to_string(p->user_attribute));
    }
    if (!what_it_is)
        out.push_back(branch.name + " count " + std::to_string(branch.count) + " index " +
                      std::to_string(branch.index));
    for (const auto& child : branch.children)
        snapshot(*child, out, what_it_is);
}

std::vector<std::string> snapshot(const DescBranch* root) {
    std::vector<std::string> out;
    if (root) snapshot(*root, out);
    return out;
}

// What only the description decides, without the branch names (a file carries those).
std::vector<std::string> description_fields(const DescBranch* root) {
    std::vector<std::string> out;
    if (root) snapshot(*root, out, true);
    for (auto& line : out)
        line = line.substr(line.find('|'));
    return out;
}

// Gives every field of every parameter a value that differs from the description's.
void fill(DescBranch& branch, int& n) {
    branch.name += " правка";
    for (auto& p : branch.parameters) {
        ++n;
        p->SetValueText("знач " + std::to_string(n));
        p->description = "описание " + std::to_string(n);
        p->error_text = n % 2 ? "Ошибка " + std::to_string(n) : "";
        p->address_offset = n % 3 - 1;
        p->writable = n % 2 == 0;
        p->value_modified = n & 1;
        p->access_modified = n & 2;
        p->user_modified = n & 4;
        p->access_attribute = !(n & 1);
        p->user_attribute = n & 2;
        p->access_mode = n % 3;
    }
    for (auto& child : branch.children)
        fill(*child, n);
}

// How many parameters hold a value.
int count_values(const DescBranch& branch) {
    int n = 0;
    for (const auto& p : branch.parameters)
        n += p->value_text() != "no data";
    for (const auto& child : branch.children)
        n += count_values(*child);
    return n;
}

constexpr const char* kDescription = R"(const CH 2
type Mode Normal Test_mode Pair
parameter Addr int Module_address
parameter dev string Device_name noattr
parameter Tmp float:1 Temperature
parameter !r.oe Mode Output_state table2+ 1
parameter Log Mode Log_mode
branch Network_parameters 1 1 1 Addr
branch Channel# CH 2 2 Tmp !r.oe Log
root Module 1 0 0 dev Network_parameters Channel#
)";

// Another model's tree: one more parameter in the root.
constexpr const char* kOtherDescription = R"(parameter Addr int Module_address
parameter Ext int Extension
branch Network_parameters 1 1 1 Addr
root Other 1 0 0 Ext Network_parameters
)";

constexpr int kModel = 14;
constexpr int kOtherModel = 13;

class ConfigFile : public ::testing::Test {
  protected:
    void SetUp() override {
        set_ui(&ui);
        module_model = kModel;
        rebuild();
        char pattern[] = "/tmp/varda-config-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        set_ui(nullptr);
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }

    void rebuild() {
        ++rebuilds;
        context.model_index = module_model;
        context.model_factory = create_device_model;
        context.LoadDescriptionText(module_model == kOtherModel ? kOtherDescription : kDescription);
    }
    RebuildTree rebuilder() {
        return [this] { rebuild(); };
    }
    LoadResult load(const Bytes& bytes, LoadOptions options = {}) {
        return load_configuration_bytes(bytes, context, module_model, rebuilder(), options);
    }
    // A file of the current tree with every field changed; the tree itself is rebuilt afterwards.
    Bytes filled_file(std::vector<std::string>* expected = nullptr) {
        int n = 0;
        fill(*context.root(), n);
        if (expected) *expected = snapshot(context.root());
        Bytes bytes = encode_configuration(module_model.load(), context.root());
        rebuild();
        return bytes;
    }
    std::vector<std::string> message_texts() const {
        std::vector<std::string> out;
        for (const auto& m : ui.messages())
            out.push_back(m.text);
        return out;
    }

    HeadlessUi ui;
    DescriptionContext context;
    // The model of the connection the files are opened for.
    std::atomic<int> module_model{kNoModel};
    fs::path dir;
    int rebuilds = 0;

  private:
};

// ---- the archive stream -------------------------------------------------------------------------

TEST(ArchiveStream, StringLengthForms) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'x');
        ArchiveWriter w;
        w.write_string(text);
        ASSERT_EQ(w.bytes().size(), c.prefix.size() + c.length);
        EXPECT_EQ(Bytes(w.bytes().begin(), w.bytes().begin() + c.prefix.size()), c.prefix);
        ArchiveReader r(w.bytes());
        EXPECT_EQ(r.read_string(), text);
        EXPECT_TRUE(r.at_end());
    }
}

TEST(ArchiveStream, StringsAreWindows1251OrMarkedUtf16) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::string text;
    };
    const Case cases[] = {
        {"Windows-1251", {0x04, 0xD2, 0xE5, 0xEC, 0xEF}, "Темп"},
        {"UTF-16, byte length", {0xFF, 0xFE, 0xFF, 0x03, 0x1F, 0x04, 0x30, 0x04, 0x41, 0x00}, "ПаA"},
        {"UTF-16, word length", {0xFF, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 0x41, 0x00}, "A"},
        {"UTF-16, surrogate pair", {0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
        {"UTF-16, lone surrogate",
         {0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 0x41, 0x00},
         "\xEF\xBF\xBD"
         "A"},
        {"empty UTF-16", {0xFF, 0xFE, 0xFF, 0x00}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveReader r(c.bytes);
        EXPECT_EQ(r.read_string(), c.text);
        EXPECT_TRUE(r.at_end());
    }
    // Writing never produces UTF-16; what the code page lacks becomes '?'.
    ArchiveWriter w;
    w.write_string("Темп€😀");
    EXPECT_EQ(w.bytes(), (Bytes{0x06, 0xD2, 0xE5, 0xEC, 0xEF, 0x88, '?'}));
}

TEST(ArchiveStream, ShortOrOversizedInputEndsTheStream) {
    const Bytes cases[] = {
        {},
        {0x01},
        {0x05, 'a', 'b'},
        {0xFF, 0x10},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},  // a 4 GiB length with one byte behind it
        {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F},
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0x00},  // UTF-16, 2^32-1 characters
        {0xFF, 0xFE, 0xFF, 0x02, 0x41, 0x00, 0x42},                          // half a character short
    };
    for (const auto& bytes : cases) {
        ArchiveReader r(bytes);
        try {
            (void)r.read_string();
            ADD_FAILURE() << "read a string from " << bytes.size() << " bytes";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), ArchiveError::Kind::EndOfStream);
        }
    }
    const Bytes three{1, 2, 3};
    ArchiveReader r(three);
    EXPECT_EQ(r.read_word(), 0x0201);
    EXPECT_THROW(r.read_word(), ArchiveError);
    EXPECT_EQ(r.read_byte(), 3);  // a failed read takes nothing
    EXPECT_THROW(r.read_dword(), ArchiveError);
}

TEST(ArchiveStream, ClassTags) {
    // The writer numbers classes by first appearance and refers back to them.
    ArchiveWriter w;
    w.write_class_tag(ArchiveClass::Document);
    w.write_class_tag(ArchiveClass::Parameter);
    w.write_class_tag(ArchiveClass::Document);
    w.write_class_tag(ArchiveClass::Parameter);
    Bytes expected = header(5);
    expected = Builder()
                   .append(expected)
                   .word(0xFFFF)
                   .word(1)
                   .word(9)
                   .ascii("Parameter")
                   .word(0x8001)
                   .word(0x8002)
                   .out;
    EXPECT_EQ(w.bytes(), expected);

    ArchiveReader r(w.bytes());
    EXPECT_EQ(r.read_class_tag(ArchiveClass::Document), 5);
    EXPECT_EQ(r.read_class_tag(ArchiveClass::MyConverter),
              1);                                            // a Parameter stands where its base is expected
    EXPECT_EQ(r.read_class_tag(ArchiveClass::Document), 5);  // a later appearance keeps its first schema
    EXPECT_EQ(r.read_class_tag(ArchiveClass::Parameter), 1);
    EXPECT_TRUE(r.at_end());

    using Kind = ArchiveError::Kind;
    struct Case {
        const char* name;
        bool after_header;  // the document's class is defined first
        Bytes tag;
        ArchiveClass expected;
        Kind kind;
    };
    const Case cases[] = {
        {"unknown name", false, Builder().word(0xFFFF).word(3).word(7).ascii("CObject").out,
         ArchiveClass::Document, Kind::UnknownClass},
        {"name in another case", false, Builder().word(0xFFFF).word(5).word(8).ascii("CTARNDOC").out,
         ArchiveClass::Document, Kind::UnknownClass},
        {"base where derived expected", false,
         Builder().word(0xFFFF).word(3).word(11).ascii("MyConverter").out, ArchiveClass::Parameter,
         Kind::WrongClass},
        {"other class", false, header(5), ArchiveClass::DescBranch, Kind::WrongClass},
        {"other class by reference", true, Builder().word(0x8001).out, ArchiveClass::DescBranch,
         Kind::WrongClass},
        {"reference to 0", true, Builder().word(0x8000).out, ArchiveClass::Document, Kind::BadClassNumber},
        {"reference before definition", false, Builder().word(0x8001).out, ArchiveClass::Document,
         Kind::BadClassNumber},
        {"reference past the table", true, Builder().word(0x8002).out, ArchiveClass::Document,
         Kind::BadClassNumber},
        {"no tag", false, Builder().word(0x0001).out, ArchiveClass::Document, Kind::BadTag},
        {"name of 64", false, Builder().word(0xFFFF).word(3).word(64).ascii(std::string(64, 'A')).out,
         ArchiveClass::Document, Kind::BadTag},
        {"name cut short", false, Builder().word(0xFFFF).word(5).word(8).ascii("CTarn").out,
         ArchiveClass::Document, Kind::EndOfStream},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = Builder().append(c.after_header ? header(5) : Bytes{}).append(c.tag).out;
        ArchiveReader reader(bytes);
        if (c.after_header) {
            ASSERT_EQ(reader.read_class_tag(ArchiveClass::Document), 5);
        }
        try {
            (void)reader.read_class_tag(c.expected);
            ADD_FAILURE() << "accepted";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), c.kind);
        }
    }
}

// ---- records ------------------------------------------------------------------------------------

// A hand-built tree and the exact bytes of its file: a golden vector, so that the writer and the reader
// cannot agree on a wrong layout.
TEST(ConfigRecords, GoldenFile) {
    auto make_tree = [] {
        auto root = std::make_unique<DescBranch>();
        root->name = "Module";
        root->count = 1;
        root->index = 1;
        auto& addr = root->AddParameter(std::make_unique<Parameter>("Addr"));
        addr.description = "Address";
        auto& child = root->AddChild(std::make_unique<DescBranch>());
        child.name = "Ch";
        child.count = 4;
        child.index = 3;
        auto& tmp = child.AddParameter(std::make_unique<Parameter>("Tmp"));
        tmp.indexed = true;
        tmp.network_index = 2;
        return root;
    };
    auto root = make_tree();
    root->parameters[0]->SetValueText("16");
    Parameter& tmp = *root->children[0]->parameters[0];
    tmp.SetValueText("1.5");
    tmp.description = "Темп";
    tmp.address_offset = -1;
    tmp.writable = false;
    tmp.error_text = "Error";
    tmp.value_modified = true;
    tmp.user_modified = true;
    tmp.access_attribute = false;
    tmp.user_attribute = true;
    tmp.access_mode = 2;

    const std::uint16_t addr_hash = hash_name("Addr");
    const std::uint16_t tmp_hash = hash_name("Tmp");
    // clang-format off
    const Bytes expected = Builder()
        .append(header(5)).bytes({13})                                  // document, model 13
        .word(0xFFFF).word(3).word(10).ascii("DescBranch")              // root branch
        .bytes({6}).ascii("Module").dword(1)                            //   name, one parameter
        .word(addr_hash).word(0xFFFF)                                   //   key: not indexed
        .word(0xFFFF).word(3).word(11).ascii("MyConverter")
        .bytes({4}).ascii("Addr").bytes({2}).ascii("16")                //   network name, value
        .word(0xFFFF).word(1).word(9).ascii("Parameter")
        .bytes({7}).ascii("Address")                                    //   description
        .bytes({0}).dword(0).dword(0).bytes({1})                        //   indexed, index, offset, writable
        .bytes({0})                                                     //   error text
        .bytes({0, 0, 0, 1, 0}).dword(0)                                //   flags, attributes, access mode
        .dword(1).dword(1)                                              //   count, index
        .word(0x8002)                                                   // child branch (class 2)
        .bytes({2}).ascii("Ch").dword(1)
        .word(tmp_hash).word(2)                                         //   key: index 2
        .word(0x8003).bytes({3}).ascii("Tmp").bytes({3}).ascii("1.5")   //   MyConverter (class 3)
        .word(0x8004).bytes({4, 0xD2, 0xE5, 0xEC, 0xEF})                //   Parameter (class 4), "Темп"
        .bytes({1}).dword(2).dword(0xFFFFFFFF).bytes({0})
        .bytes({5}).ascii("Error")
        .bytes({1, 0, 1, 0, 1}).dword(2)
        .dword(4).dword(3)
        .out;
    // clang-format on
    EXPECT_EQ(encode_configuration(13, root.get()), expected);

    // And the same bytes read into a fresh tree of that shape.
    auto fresh = make_tree();
    ArchiveReader in(expected);
    EXPECT_EQ(in.read_class_tag(ArchiveClass::Document), 5);
    EXPECT_EQ(in.read_byte(), 13);
    read_element(in, *fresh, nullptr);
    EXPECT_TRUE(in.at_end());
    EXPECT_EQ(snapshot(fresh.get()), snapshot(root.get()));
    EXPECT_EQ(description_fields(fresh.get()), description_fields(make_tree().get()));
}

TEST(ConfigRecords, KeysTellIndexedFromPlainParameters) {
    Parameter plain("Tmp");
    Parameter indexed("Tmp");
    indexed.indexed = true;
    indexed.network_index = 2;
    Parameter first("Tmp");
    first.indexed = true;
    const std::uint32_t hash = hash_name("Tmp");
    EXPECT_EQ(parameter_key(plain), 0xFFFF0000u | hash);
    EXPECT_EQ(parameter_key(indexed), 0x00020000u | hash);
    EXPECT_EQ(parameter_key(first), hash);
}

// Elements other than branches carry no keys: their records fill the parameters in order. The
// configurator's own network element reads its record and keeps its settings.
TEST(ConfigRecords, ElementRecordsFillByPositionExceptTheOwnNetwork) {
    MemorySettingsStore store;
    MemorySettingsStore other_store;
    other_store.set_int(kSettingsGroup, "baud_rate", 57600);
    other_store.set_int(kSettingsGroup, "address", 99);

    Elements::NetRS485 source;
    source.name = "Из файла";
    source.SetValue("bPS", "115200");
    source.SetValue("Addr", "42");
    const Elements::NetRS485prg other_program(other_store);
    ArchiveWriter w;
    write_element(w, source);
    write_element(w, other_program);
    write_element(w, source);

    // In another order, only the records whose names match their positions fill a parameter.
    Elements::NetRS485 plain;
    std::reverse(plain.parameters.begin(), plain.parameters.end());
    const Elements::NetRS485 untouched;
    Elements::NetRS485prg own(store);
    std::vector<std::string> own_before;
    for (const auto& p : own.parameters)
        own_before.push_back(p->network_name() + "=" + p->value_text());

    ArchiveReader r(w.bytes());
    read_element(r, plain, nullptr);
    read_element(r, own, nullptr);
    Elements::NetRS485 in_order;
    read_element(r, in_order, nullptr);
    EXPECT_TRUE(r.at_end());
    for (std::size_t k = 0; k < in_order.parameters.size(); ++k)
        EXPECT_EQ(in_order.parameters[k]->value_text(), source.parameters[k]->value_text());

    EXPECT_EQ(plain.name, "Из файла");
    ASSERT_EQ(plain.parameters.size(), source.parameters.size());
    const std::size_t count = plain.parameters.size();
    for (std::size_t k = 0; k < count; ++k) {
        const Parameter& p = *plain.parameters[k];
        const Parameter& from_file = *source.parameters[k];
        EXPECT_EQ(p.network_name(), untouched.parameters[count - 1 - k]->network_name());
        const bool same_name = p.network_name() == from_file.network_name();
        EXPECT_EQ(p.value_text(),
                  same_name ? from_file.value_text() : untouched.parameters[count - 1 - k]->value_text())
            << p.network_name();
    }
    std::vector<std::string> own_after;
    for (const auto& p : own.parameters)
        own_after.push_back(p->network_name() + "=" + p->value_text());
    EXPECT_EQ(own_after, own_before);
    EXPECT_EQ(own.name, "Сетевые параметры программы");
    EXPECT_EQ(own.ChangeState(), 0);
}

// ---- saving and loading -------------------------------------------------------------------------

// A file gives values and marks; what a parameter is (its address offset, whether it may be written, ...)
// stays the description's, so a crafted file cannot make the configurator write elsewhere.
TEST_F(ConfigFile, SaveAndLoadRestoreEveryValueAndNothingElse) {
    const auto described = description_fields(context.root());
    std::vector<std::string> expected;
    int n = 0;
    fill(*context.root(), n);
    ASSERT_NE(description_fields(context.root()), described);
    expected = snapshot(context.root());
    const fs::path path = dir / "plant.vdc";
    const SaveResult saved = save_configuration(path, kModel, context.root());
    ASSERT_TRUE(saved.ok) << saved.message;

    const std::string content = read_file(path);
    EXPECT_EQ(content.substr(0, 15), as_string(Builder().append(header(5)).bytes({kModel}).out));

    rebuild();
    ASSERT_NE(snapshot(context.root()), expected);
    const LoadResult loaded = load_configuration(path, context, module_model, rebuilder());
    EXPECT_EQ(loaded.status, LoadStatus::Loaded);
    EXPECT_TRUE(loaded.opened());
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(snapshot(context.root()), expected);
    EXPECT_EQ(description_fields(context.root()), described);
}

// Every model description of the project, when the build names their folder.
TEST_F(ConfigFile, EveryModelDescriptionRoundTrips) {
#ifndef VARDA_DESCRIPTIONS_DIR
    GTEST_SKIP() << "VARDA_DESCRIPTIONS_DIR is not defined";
#else
    const fs::path folder = VARDA_DESCRIPTIONS_DIR;
    int models = 0;
    for (const auto& row : device_table()) {
        const fs::path file = folder / row.description_file;
        if (!fs::exists(file)) continue;
        SCOPED_TRACE(file.string());
        ++models;
        module_model = row.index;
        const std::string text = read_file(file);
        auto rebuild_model = [&] {
            context.model_index = row.index;
            context.LoadDescriptionText(text);
        };
        rebuild_model();
        ASSERT_NE(context.root(), nullptr);
        int n = 0;
        fill(*context.root(), n);
        const auto expected = snapshot(context.root());
        const Bytes bytes = encode_configuration(row.index, context.root());
        rebuild_model();
        EXPECT_EQ(load_configuration_bytes(bytes, context, module_model, rebuild_model).status,
                  LoadStatus::Loaded);
        EXPECT_EQ(snapshot(context.root()), expected);
    }
    if (models == 0) GTEST_SKIP() << "no descriptions in " << folder;
#endif
}

// The header decides before anything changes: unknown schemas leave the tree and the model alone.
TEST_F(ConfigFile, HeaderSchemas) {
    std::vector<std::string> filled;
    const Bytes file = filled_file(&filled);
    const Bytes records(file.begin() + 15, file.end());  // the root's record, after header and model byte
    struct Case {
        std::uint16_t schema;
        Bytes after_tag;
        LoadStatus status;
        int message;
    };
    const Case cases[] = {
        {5, {kModel}, LoadStatus::Loaded, 0},    {4, {0xDE, 0xAD, 0xBE, 0xEF}, LoadStatus::Loaded, 0},
        {3, {}, LoadStatus::Loaded, 0},          {1, {kModel}, LoadStatus::OldVersion, 167},
        {0, {kModel}, LoadStatus::Damaged, 168}, {2, {kModel}, LoadStatus::Damaged, 168},
        {6, {kModel}, LoadStatus::Damaged, 168},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.schema);
        rebuild();
        context.root()->parameters[0]->SetValueText("before");
        ui.clear();
        const LoadResult result =
            load(Builder().append(header(c.schema)).append(c.after_tag).append(records).out);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(module_model.load(), kModel);
        if (c.message) {
            ASSERT_EQ(ui.messages().size(), 1u);
            EXPECT_EQ(ui.messages()[0].text, str(c.message));
            EXPECT_EQ(ui.messages()[0].caption, "File opening error");
            EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Warning);
            EXPECT_EQ(result.message, str(c.message));
            EXPECT_FALSE(result.opened());
            EXPECT_EQ(context.root()->parameters[0]->value_text(), "before");
        } else {
            EXPECT_TRUE(ui.messages().empty());
            EXPECT_EQ(snapshot(context.root()), filled);
        }
    }
}

TEST_F(ConfigFile, FileOfAnotherModelAsksFirst) {
    const std::string question = "You are trying to load the configuration of the device " +
                                 std::string(display_name(kOtherModel)) +
                                 ". The Configurator is working with the device " +
                                 std::string(display_name(kModel)) + ". Continue loading the configuration?";
    module_model = kOtherModel;
    rebuild();
    std::vector<std::string> filled;
    const Bytes file = filled_file(&filled);
    module_model = kModel;
    rebuild();
    const auto before = snapshot(context.root());

    // No: nothing changes.
    const int rebuilds_before = rebuilds;
    ui.push_answer(Answer::No);
    EXPECT_EQ(load(file).status, LoadStatus::Declined);
    EXPECT_EQ(ui.questions(), std::vector<std::string>{question});
    EXPECT_EQ(module_model.load(), kModel);
    EXPECT_EQ(rebuilds, rebuilds_before);
    EXPECT_EQ(snapshot(context.root()), before);

    // Yes: the file's model becomes current and its tree is built and filled.
    ui.clear();
    ui.push_answer(Answer::Yes);
    EXPECT_EQ(load(file).status, LoadStatus::Loaded);
    EXPECT_EQ(module_model.load(), kOtherModel);
    EXPECT_EQ(snapshot(context.root()), filled);

    // Without a chosen model there is nothing to ask.
    ui.clear();
    EXPECT_EQ(load(file).status, LoadStatus::Loaded);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(module_model.load(), kOtherModel);

    // A model byte outside the device table is damage, not a model to ask about.
    module_model = kModel;
    rebuild();
    ui.clear();
    Bytes foreign = file;
    foreign[14] = kDeviceCount;
    EXPECT_EQ(load(foreign).status, LoadStatus::Damaged);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(module_model.load(), kModel);
}

// Branch parameters are found by key whatever their order; records of parameters the tree lacks are
// skipped.
TEST_F(ConfigFile, BranchParametersMatchByKey) {
    int n = 0;
    fill(*context.root(), n);
    const auto expected = snapshot(context.root());

    DescBranch& channel = *context.root()->children[1];
    std::reverse(channel.parameters.begin(), channel.parameters.end());
    channel.AddParameter(std::make_unique<Parameter>("Xtra")).SetValueText("not in the tree");
    const Bytes file = encode_configuration(kModel, context.root());

    rebuild();
    EXPECT_EQ(load(file).status, LoadStatus::Loaded);
    EXPECT_EQ(snapshot(context.root()), expected);
}

// The 16-bit hash is not unique: a record must not fill a parameter that merely shares its key.
TEST(ConfigRecords, RecordOfAnotherNameWithTheSameKeyIsSkipped) {
    std::map<std::uint16_t, std::string> seen;
    std::string a, b;
    for (char c1 = 'A'; c1 <= 'Z' && a.empty(); ++c1)
        for (char c2 = 'A'; c2 <= 'Z' && a.empty(); ++c2)
            for (char c3 = 'A'; c3 <= 'Z' && a.empty(); ++c3) {
                const std::string name{c1, c2, c3};
                const auto [it, inserted] = seen.emplace(hash_name(name), name);
                if (!inserted) {
                    a = it->second;
                    b = name;
                }
            }
    if (a.empty()) GTEST_SKIP() << "no hash collision among three-letter names";
    DescBranch source;
    source.AddParameter(std::make_unique<Parameter>(a)).SetValueText("from file");
    ArchiveWriter w;
    write_element(w, source);
    DescBranch target;
    target.AddParameter(std::make_unique<Parameter>(b)).SetValueText("kept");
    ArchiveReader r(w.bytes());
    read_element(r, target, nullptr);
    EXPECT_TRUE(r.at_end());
    EXPECT_EQ(target.parameters[0]->network_name(), b);
    EXPECT_EQ(target.parameters[0]->value_text(), "kept");
}

TEST_F(ConfigFile, Utf16TextsAreRead) {
    const Bytes file = filled_file();
    // The root's name sits right after the header (15 bytes) and the DescBranch tag (16 bytes).
    const std::size_t at = 15 + 16;
    const std::size_t old_length = 1 + file[at];
    Bytes patched(file.begin(), file.begin() + at);
    Builder utf16;
    utf16.bytes({0xFF, 0xFE, 0xFF, 6});
    for (char16_t c : std::u16string(u"Модуль"))
        utf16.word(c);
    patched = Builder().append(patched).append(utf16.out).out;
    patched.insert(patched.end(), file.begin() + at + old_length, file.end());

    EXPECT_EQ(load(patched).status, LoadStatus::Loaded);
    EXPECT_EQ(context.root()->name, "Модуль");
    EXPECT_EQ(context.root()->parameters[0]->value_text(), "знач 1");
}

// A short file loads what it holds, silently; a file too short for its header opens nothing.
TEST_F(ConfigFile, EveryTruncationLoadsWhatItHolds) {
    const Bytes file = filled_file();
    int previous = 0;
    for (std::size_t length = 0; length <= file.size(); ++length) {
        SCOPED_TRACE(length);
        rebuild();
        ui.clear();
        const LoadResult result = load(Bytes(file.begin(), file.begin() + length));
        if (length < 15) {
            EXPECT_EQ(result.status, LoadStatus::ReadError);
            EXPECT_EQ(ui.messages().size(), 1u);
            continue;
        }
        EXPECT_EQ(result.status, length == file.size() ? LoadStatus::Loaded : LoadStatus::Truncated);
        EXPECT_TRUE(result.opened());
        EXPECT_TRUE(ui.messages().empty());
        const int values = count_values(*context.root());
        EXPECT_GE(values, previous);
        previous = values;
    }
    EXPECT_EQ(previous, 8);  // every parameter of the tree
}

TEST_F(ConfigFile, FormatErrors) {
    const Bytes file = filled_file();
    // The root's record written by hand up to its children, then a broken child record.
    auto root_then = [&](const std::function<void(ArchiveWriter&)>& broken) {
        ArchiveWriter w;
        w.write_class_tag(ArchiveClass::Document);
        w.write_byte(kModel);
        int n = 0;
        DescBranch& root = *context.root();
        fill(root, n);
        w.write_class_tag(ArchiveClass::DescBranch);
        w.write_string(root.name);
        w.write_dword(static_cast<std::uint32_t>(root.parameters.size()));
        for (const auto& p : root.parameters) {
            w.write_dword(parameter_key(*p));
            write_parameter(w, *p);
        }
        w.write_int32(root.count);
        w.write_int32(root.index);
        broken(w);
        rebuild();
        return w.take();
    };
    Bytes renamed_root = file;
    renamed_root[15 + 6 + 9] = 'X';  // "DescBrancX"

    struct Case {
        const char* name;
        Bytes bytes;
        LoadStatus status;
        bool root_values;  // the root's parameters were read before the error
    };
    const Case cases[] = {
        {"first class unknown", Builder().word(0xFFFF).word(5).word(8).ascii("CTarnDoX").bytes({kModel}).out,
         LoadStatus::WrongFormat, false},
        {"first class a reference", Builder().word(0x8001).bytes({kModel}).out, LoadStatus::WrongFormat,
         false},
        {"first class another one", Builder().word(0xFFFF).word(3).word(10).ascii("DescBranch").out,
         LoadStatus::WrongFormat, false},
        {"unknown branch class", renamed_root, LoadStatus::FormatError, false},
        {"element where a branch belongs",
         root_then([](ArchiveWriter& w) { w.write_class_tag(ArchiveClass::InvisibleElement); }),
         LoadStatus::FormatError, true},
        {"bad class number", root_then([](ArchiveWriter& w) { w.write_word(0x8007); }),
         LoadStatus::FormatError, true},
        {"no tag", root_then([](ArchiveWriter& w) { w.write_word(0x0102); }), LoadStatus::FormatError, true},
    };
    for (const bool silent : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (silent ? ", silent" : ""));
            rebuild();
            context.root()->parameters[0]->SetValueText("before");
            ui.clear();
            LoadOptions options;
            options.rebuild_after_format_error = silent;
            const LoadResult result = load(c.bytes, options);
            EXPECT_EQ(result.status, c.status);
            ASSERT_EQ(ui.messages().size(), 1u);
            EXPECT_EQ(ui.messages()[0].text, "Wrong file format. Eventually due to the old file version.");
            EXPECT_EQ(ui.messages()[0].caption, "File opening error");
            const std::string& first = context.root()->parameters[0]->value_text();
            if (c.status == LoadStatus::WrongFormat) {
                EXPECT_FALSE(result.opened());
                EXPECT_EQ(first, "before");
            } else {
                EXPECT_TRUE(result.opened());
                EXPECT_EQ(first, c.root_values && !silent ? "знач 1" : "no data");
            }
        }
    }
}

TEST_F(ConfigFile, LogParametersGoToTheDeviceModel) {
    struct Recorder : CBaseDevice {
        explicit Recorder(std::vector<std::string>& seen) : CBaseDevice(kModel, nullptr), seen(seen) {}
        void OnLogParameter(Parameter& p) override {
            seen.push_back(std::to_string(p.network_index) + "=" + p.value_text());
        }
        std::vector<std::string>& seen;
    };
    std::vector<std::string> seen;
    auto rebuild_with_recorder = [&] {
        rebuild();
        context.device_model().reset(std::make_unique<Recorder>(seen));
    };
    DescBranch& channel = *context.root()->children[2];
    channel.FindOwnParameter("Log")->SetValueText("Pair");
    // A record the tree has no parameter for is not handed on.
    auto& stray = channel.AddParameter(std::make_unique<Parameter>("LOG"));
    stray.indexed = true;
    stray.network_index = 7;
    const Bytes file = encode_configuration(kModel, context.root());

    EXPECT_EQ(load_configuration_bytes(file, context, module_model, rebuild_with_recorder).status,
              LoadStatus::Loaded);
    EXPECT_EQ(seen, (std::vector<std::string>{"0=no data", "1=Pair"}));
}

// "no data" on screen is Russian under a Russian locale; the file keeps it as written, so a file saved in
// one language opens in the other.
TEST_F(ConfigFile, NoDataMovesBetweenLanguages) {
    struct Restore {
        ~Restore() { set_text_language(Language::as_written); }
    } restore;
    for (const auto& [saved_in, opened_in] :
         {std::pair{Language::russian, Language::english}, std::pair{Language::english, Language::russian}}) {
        set_text_language(saved_in);
        context.root()->parameters[0]->SetValueText(std::string(str(kNoData)));
        const Bytes file = encode_configuration(kModel, context.root());
        set_text_language(opened_in);
        context.root()->parameters[0]->SetValueText("before");
        EXPECT_EQ(load_configuration_bytes(file, context, module_model, rebuilder()).status,
                  LoadStatus::Loaded);
        EXPECT_EQ(context.root()->parameters[0]->value_text(), str(kNoData));
    }
}

// ---- files --------------------------------------------------------------------------------------

TEST_F(ConfigFile, UnreadableFilesOpenNothing) {
    fs::create_directory(dir / "folder");
    write_raw(dir / "empty.vdc", "");
    write_raw(dir / "short.vdc", as_string(header(5)));
    const char* names[] = {"missing.vdc", "folder", "empty.vdc", "short.vdc"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        rebuild();
        context.root()->parameters[0]->SetValueText("before");
        ui.clear();
        const int rebuilds_before = rebuilds;
        const LoadResult result = load_configuration(dir / name, context, module_model, rebuilder());
        EXPECT_EQ(result.status, LoadStatus::ReadError);
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Error);
        EXPECT_EQ(ui.messages()[0].text, result.message);
        EXPECT_EQ(rebuilds, rebuilds_before);
        EXPECT_EQ(context.root()->parameters[0]->value_text(), "before");
    }
}

std::vector<std::string> folder_listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ConfigFile, FailedSaveKeepsThePreviousFile) {
    const fs::path path = dir / "plant.vdc";
    write_raw(path, "previous content");

    {
        SCOPED_TRACE("folder missing");
        const SaveResult result = save_configuration(dir / "nowhere" / "plant.vdc", kModel, context.root());
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find("nowhere"), std::string::npos);
        EXPECT_TRUE(ui.messages().empty());  // the caller decides what to show
    }
    {
        SCOPED_TRACE("disk full");
        // A file size limit makes the write fail the way a full disk does, even for root.
        rlimit old_limit{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_limit;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const SaveResult result = save_configuration(path, kModel, context.root());
        ::setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find("plant.vdc"), std::string::npos);
        EXPECT_EQ(read_file(path), "previous content");
        EXPECT_EQ(folder_listing(dir), std::vector<std::string>{"plant.vdc"});
    }
    if (::geteuid() != 0) {  // root writes anywhere
        SCOPED_TRACE("read-only folder");
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(save_configuration(path, kModel, context.root()).ok);
        fs::permissions(dir, fs::perms::owner_all);
        EXPECT_EQ(read_file(path), "previous content");

        SCOPED_TRACE("read-only file");
        fs::permissions(path, fs::perms::owner_read);
        EXPECT_FALSE(save_configuration(path, kModel, context.root()).ok);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(read_file(path), "previous content");
    }
}

TEST_F(ConfigFile, SaveReplacesTheFileBehindALinkAndKeepsItsMode) {
    const fs::path real = dir / "real.vdc";
    const fs::path link = dir / "link.vdc";
    write_raw(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);

    const SaveResult result = save_configuration(link, kModel, context.root());
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file(real), as_string(encode_configuration(kModel, context.root())));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder_listing(dir), (std::vector<std::string>{"link.vdc", "real.vdc"}));
}

// ---- robustness ---------------------------------------------------------------------------------

// Random, mutated and oversized input: the loader must end cleanly every time (run under the
// sanitizers to catch what a plain run would not).
TEST_F(ConfigFile, FuzzedFilesNeverMisbehave) {
    const Bytes file = filled_file();
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    auto check = [&](const Bytes& bytes) {
        ui.clear();
        const LoadResult result = load(bytes);
        EXPECT_LE(ui.messages().size(), 1u);
        if (result.status == LoadStatus::Declined) {
            EXPECT_EQ(ui.questions().size(), 1u);
        }
        module_model = kModel;
    };

    for (int i = 0; i < 1500; ++i) {
        Bytes bytes(static_cast<std::size_t>(byte(rng)));
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(byte(rng));
        if (i % 2) bytes.insert(bytes.begin(), file.begin(), file.begin() + 15);
        check(bytes);
    }
    std::uniform_int_distribution<std::size_t> position(15, file.size() - 1);
    for (int i = 0; i < 1500; ++i) {
        Bytes bytes = file;
        for (int k = 0; k <= i % 4; ++k)
            bytes[position(rng)] = static_cast<std::uint8_t>(byte(rng));
        check(bytes);
    }
    // Length prefixes and counts far beyond the file, at every record boundary a string may start.
    const Bytes huge[] = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                          {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                          {0xFF, 0xFF, 0xFF}};
    for (const auto& prefix : huge) {
        for (std::size_t at = 15; at < file.size(); at += 7) {
            Bytes bytes(file.begin(), file.begin() + at);
            bytes.insert(bytes.end(), prefix.begin(), prefix.end());
            bytes.insert(bytes.end(), file.begin() + at, file.end());
            check(bytes);
        }
    }
}

}  // namespace
}  // namespace varda
