// Configurations as text: a file read from any model's module at either side of every "#if ver" survives
// export, import and diff with its values, attributes and version-dependent parameters; JSON is read
// strictly; values are compared as the bytes they encode to; differences name their place.
#include "core/app/files/config_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "core/app/command_line/headless_ui.h"
#include "core/app/command_line/text_jobs.h"
#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/json.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("varda-text-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

struct Quiet {
    Quiet() { set_ui(&ui); }
    ~Quiet() { set_ui(nullptr); }
    HeadlessUi ui{false};
};

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The versions on either side of every "#if ver" of the descriptions (1.1 to 2.0).
constexpr const char* kOldVersion = "1.0";
constexpr const char* kNewVersion = "2.10";

// A module at a version and a document whose tree is built for it.
struct ModuleAtVersion : test::TreeEditRig {
    ModuleAtVersion(int model, const std::string& version) : TreeEditRig(model, version.c_str()) {}
};

std::optional<std::string> other_value(const Parameter& p) {
    if (platform::iequals(p.network_name(), "Addr") || platform::iequals(p.network_name(), "bPS")) return {};
    if (p.data_type().find(':') != std::string::npos) {
        int last = 0;
        while (p.item_text(last + 1) != str(kNoData) && last < 64)
            ++last;
        return platform::underscores_to_spaces(p.item_text(last));
    }
    if (p.is_type("float") || p.is_type("STORED_DOT"))
        return p.has_limits() ? platform::fixed(p.maximum(), 1) : std::string("12.5");
    if (p.is_type("int") || p.is_type("int16"))
        return p.has_limits() ? std::to_string(static_cast<long>(p.maximum())) : std::string("7");
    return {};
}

// Every writable value of the module moved off its default (the link's address and rate left alone), and
// some attributes made read-only or the company's.
void vary_module(ModuleAtVersion& m) {
    int with_attributes = 0;
    visit_parameters(*m.doc->root(), [&](const std::string&, Parameter& p) {
        if (!p.writable || p.is_scanner()) return;
        auto entry = m.module->entry(p.network_name(), p.indexed ? p.network_index : -1);
        if (!entry) return;
        if (const auto other = other_value(p)) entry->value = *other;
        if (entry->has_attributes) {
            ++with_attributes;
            if (with_attributes % 3 == 0) entry->access = 0;
            if (with_attributes % 4 == 0) entry->user = 1;
        }
        m.module->add(*entry);
    });
}

std::multiset<std::string> places_of(const std::vector<ParameterRecord>& records) {
    std::multiset<std::string> out;
    for (const auto& r : records)
        out.insert(place_text(r.path, r.name, r.index));
    return out;
}

TEST(ConfigText, AFileReadFromEveryModelAtTwoVersionsSurvivesExportImportAndDiff) {
    Folder folder;
    int version_dependent = 0;
    for (int model = 0; model < kDeviceCount; ++model) {
        std::size_t old_count = 0;
        for (const std::string version : {kOldVersion, kNewVersion}) {
            SCOPED_TRACE(std::string(display_name(model)) + " at " + version);
            const std::string read = folder.file("read.vdc");
            std::multiset<std::string> tree_places;
            std::map<std::string, sim::Entry> module_entries;  // by place, of the parameters read
            {
                ModuleAtVersion m(model, version);
                vary_module(m);
                ASSERT_TRUE(m.doc->read_all());
                ASSERT_TRUE(m.doc->save_file(read));
                tree_places = places_of(parameter_records(*m.doc->root()));
                visit_parameters(*m.doc->root(), [&](const std::string& path, Parameter& p) {
                    const int index = p.indexed ? p.network_index : -1;
                    if (auto e = m.module->entry(p.network_name(), index))
                        module_entries.emplace(place_text(path, p.network_name(), index), *e);
                });
            }
            Quiet quiet;
            const auto loaded = load_configuration_file(read);
            ASSERT_TRUE(loaded->ok()) << loaded->error;
            EXPECT_EQ(loaded->version, version);
            EXPECT_TRUE(loaded->result.unplaced.empty());
            const std::vector<ParameterRecord> records = loaded->records();
            // Every parameter of the tree of that version, holding what the module holds.
            EXPECT_EQ(places_of(records), tree_places);
            int compared = 0;
            visit_parameters(*loaded->description.root(), [&](const std::string& path, Parameter& p) {
                const std::string place =
                    place_text(path, p.network_name(), p.indexed ? p.network_index : -1);
                const auto entry = module_entries.find(place);
                if (entry == module_entries.end()) return;
                ++compared;
                EXPECT_TRUE(p.same_value(p.value_text(), entry->second.value))
                    << place << ": " << p.value_text() << " in the file, " << entry->second.value
                    << " in the module";
                if (!entry->second.has_attributes) return;
                EXPECT_EQ(p.access_attribute, entry->second.access == 1) << place;
                EXPECT_EQ(p.user_attribute, entry->second.user == 1) << place;
            });
            EXPECT_GT(compared, 5);
            if (version == kOldVersion) {
                old_count = records.size();
            } else {
                version_dependent += static_cast<int>(records.size() - old_count);
            }

            // Text, a file made from it, and the text of that file: the same, and --diff finds no difference.
            const std::string json = records_json(model, records);
            const std::string copy = folder.file("copy.vdc");
            const ImportResult imported = import_json(json, copy);
            ASSERT_EQ(imported.error, "") << (imported.refused.empty() ? "" : imported.refused.front());
            EXPECT_TRUE(imported.skipped.empty()) << imported.skipped.front();
            EXPECT_EQ(imported.applied, static_cast<int>(records.size()));
            EXPECT_EQ(records_json(model, load_configuration_file(copy)->records()), json);
            const TextJobResult diff = run_text_job({"--diff", read, copy});
            EXPECT_EQ(diff.exit_code, 0) << diff.output << diff.failure;
            EXPECT_EQ(diff.output, "");
            EXPECT_EQ(run_text_job({"--diff", copy, read}).exit_code, 0);
        }
    }
    // What "#if ver" declares: all eight FiLt of VK00, Prot of VK03, ... — 56 parameters in all.
    EXPECT_EQ(version_dependent, 56);
}

TEST(ConfigText, EveryModelsUnreadTreeSurvivesExportImportExport) {
    Quiet quiet;
    Folder folder;
    DescriptionArchive archive(description_archive_path(), false);
    for (int model = 0; model < kDeviceCount; ++model) {
        SCOPED_TRACE(std::string(display_name(model)));
        DescriptionContext description;
        ASSERT_TRUE(description.LoadDescriptionText(ReadModelDescription(archive, model).text));
        ASSERT_TRUE(description.root());
        std::vector<ParameterRecord> before = parameter_records(*description.root());
        ASSERT_FALSE(before.empty());
        const std::string json = records_json(model, before);

        const std::string file = folder.file("m" + std::to_string(model) + ".vdc");
        const ImportResult imported = import_json(json, file);
        ASSERT_EQ(imported.error, "") << (imported.refused.empty() ? "" : imported.refused.front());
        EXPECT_TRUE(imported.skipped.empty()) << imported.skipped.front();
        EXPECT_EQ(imported.applied, static_cast<int>(before.size()));
        const auto loaded = load_configuration_file(file);
        ASSERT_TRUE(loaded->ok()) << loaded->error;
        EXPECT_EQ(loaded->model, model);
        EXPECT_EQ(records_json(loaded->model, loaded->records()), json);
    }
}

TEST(ConfigText, AFileOfAnotherVersionOrOfNoneSaysWhatItCannotPlace) {
    Folder folder;
    const std::string ravelin = folder.file("ravelin.vdc");
    const std::string dcon = folder.file("dcon.vdc");
    const std::string unknown_ravelin = folder.file("unknown-ravelin.vdc");
    const std::string unknown_dcon = folder.file("unknown-dcon.vdc");
    const std::string old = folder.file("old.vdc");
    {
        ModuleAtVersion m(3, kNewVersion);
        ASSERT_TRUE(m.doc->read_all());
        ASSERT_TRUE(m.doc->save_file(ravelin));
        Parameter* prot = test::find_parameter_named(*m.doc->root(), "Prot");
        ASSERT_TRUE(prot);
        EXPECT_EQ(prot->value_text(), "Ravelin");
        prot->SetValueText("DCON");
        ASSERT_TRUE(m.doc->save_file(dcon));
        // A file whose "ver" was never read: the tree it was saved from held Prot all the same.
        test::find_parameter_named(*m.doc->root(), "ver")->SetValueText(std::string(str(kNoData)));
        ASSERT_TRUE(m.doc->save_file(unknown_dcon));
        prot->SetValueText("Ravelin");
        ASSERT_TRUE(m.doc->save_file(unknown_ravelin));
    }
    {
        ModuleAtVersion m(3, kOldVersion);
        ASSERT_TRUE(m.doc->read_all());
        ASSERT_TRUE(m.doc->save_file(old));
    }
    Quiet quiet;
    // Two files that differ in a parameter only their version declares.
    TextJobResult diff = run_text_job({"--diff", ravelin, dcon});
    EXPECT_EQ(diff.exit_code, 1);
    EXPECT_EQ(diff.output, "Network parameters/Prot: Ravelin -> DCON\n");
    diff = run_text_job({"--diff", old, ravelin});
    EXPECT_EQ(diff.exit_code, 1);
    EXPECT_EQ(diff.output,
              "Сведения о модуле/ver: 1.0 -> 2.10\nNetwork parameters/Prot: (missing) -> Ravelin\n");

    // Without the version the record has no place: it is named, exported as it is, and still compared.
    const auto loaded = load_configuration_file(unknown_dcon);
    ASSERT_TRUE(loaded->ok()) << loaded->error;
    EXPECT_FALSE(loaded->version_known());
    ASSERT_EQ(loaded->unplaced_notes().size(), 1u);
    EXPECT_EQ(
        loaded->unplaced_notes()[0],
        "Network parameters/Prot = DCON: the file does not say the module's version (its \"ver\" is \"no "
        "data\"), and without it Tavik-VK03 has no parameter in that place");
    const TextJobResult exported = run_text_job({"--export:json", unknown_dcon});
    EXPECT_EQ(exported.exit_code, 0);
    EXPECT_NE(
        exported.output.find("\"name\": \"Prot\", \"index\": null, \"description\": \"\", \"type\": \"\", "
                             "\"value\": \"DCON\""),
        std::string::npos)
        << exported.output;
    EXPECT_NE(exported.output.find("\"placed\": false"), std::string::npos);
    ASSERT_EQ(exported.warnings.size(), 1u);
    EXPECT_EQ(exported.warnings[0], unknown_dcon + ": " + loaded->unplaced_notes()[0]);
    diff = run_text_job({"--diff", unknown_ravelin, unknown_dcon});
    EXPECT_EQ(diff.exit_code, 1);
    EXPECT_EQ(diff.output, "Network parameters/Prot: Ravelin -> DCON\n");
    EXPECT_EQ(diff.warnings.size(), 2u);
    // Imported, the record finds no place either, and the import says so.
    const ImportResult imported = import_json(exported.output, folder.file("again.vdc"));
    EXPECT_EQ(imported.error, "");
    ASSERT_EQ(imported.skipped.size(), 1u);
    EXPECT_EQ(
        imported.skipped[0],
        "Network parameters/Prot: no such parameter in Tavik-VK03 while the module's version is unknown (no "
        "\"ver\" record names it)");
}

// A JSON of VK03 around the records given.
std::string vk03(const std::string& records) {
    return R"({"model": "VK03", "parameters": [)" + records + "]}";
}
std::string filter(const std::string& index, const std::string& value, const std::string& input = "Вход 3") {
    return R"({"path": ")" + input + R"(", "name": "FiLt", "index": )" + index + R"(, "value": )" + value +
           "}";
}
const std::string kVersion = R"({"path": "Сведения о модуле", "name": "ver", "value": "2.10"})";

TEST(ConfigText, ImportRefusesWhatJsonOrTheDescriptionForbidsAndWritesNothing) {
    Quiet quiet;
    Folder folder;
    struct Case {
        const char* what;
        std::string json;
        std::string error;    // part of the error ("" none)
        std::string refused;  // part of the first refused record's line ("" none)
    };
    const std::vector<Case> cases = {
        {"a fractional index", vk03(filter("1.9", "\"42\"")), "cannot be taken",
         "record 1: \"index\" is 1.9, not a whole number"},
        {"an index beyond the range", vk03(filter("1e10", "\"42\"")), "",
         "\"index\" is 1e10, not a whole number from 0 to 65535"},
        {"a negative index", vk03(filter("-1", "\"42\"")), "", "\"index\" is -1"},
        {"a value beyond the range", vk03(filter("2", "\"300\"")), "", "cannot be set to 300"},
        {"a number beyond the range", vk03(filter("2", "1e10")), "", "cannot be set to 1e10"},
        {"a fractional whole number", vk03(filter("2", "1.5")), "", "cannot be set to 1.5"},
        {"a value that is no number", vk03(filter("2", "\"many\"")), "", "cannot be set to many"},
        {"NaN in a text", vk03(filter("2", "\"NaN\"")), "", "cannot be set to NaN"},
        {"an item of no list",
         vk03(kVersion + R"(, {"path": "Network parameters", "name": "Prot", "value": "Profibus"})"), "",
         "\"Profibus\" is none of Ravelin, Modbus RTU, Modbus ASCII, DCON"},
        {"a character Windows-1251 lacks",
         vk03(R"({"path": "Сведения о модуле", "name": "dev", "value": "VK03 中"})"), "",
         "(its texts are in Windows-1251)"},
        {"a bad attribute",
         vk03(R"({"path": "Вход 3", "name": "FiLt", "index": 2, "value": "1", "access": "yes"})"), "",
         "\"access\" is \"yes\", not \"read/write\" or \"read-only\""},
        {"a record without value", vk03(R"({"path": "Вход 3", "name": "FiLt", "index": 2})"), "",
         "record 1: no \"value\""},
        {"a record twice", vk03(filter("2", "\"1\"") + "," + filter("2", "\"2\"")), "",
         "record 2 (Вход 3/FiLt:2): the same parameter as record 1"},
        {"NaN", vk03(filter("2", "NaN")), "NaN and Infinity are no JSON numbers", ""},
        {"nan", vk03(filter("2", "nan")), "NaN and Infinity are no JSON numbers", ""},
        {"-Infinity", vk03(filter("2", "-Infinity")), "NaN and Infinity are no JSON numbers", ""},
        {"a leading zero", vk03(filter("02", "\"1\"")), "a number with a leading zero", ""},
        {"a bare point", vk03(filter("2", ".5")), "unexpected character '.'", ""},
        {"a point without digits", vk03(filter("2", "5.")), "without digits after its point", ""},
        {"a plus sign", vk03(filter("+2", "\"1\"")), "unexpected character '+'", ""},
        {"invalid UTF-8",
         vk03(R"({"path": "Вход 3", "name": "FiLt", "index": 2, "value": "1)" + std::string("\xC3\x28") +
              "\"}"),
         "not valid UTF-8", ""},
        {"an overlong UTF-8 form",
         vk03(R"({"path": "Вход 3", "name": "FiLt", "index": 2, "value": "1)" + std::string("\xC0\xAF") +
              "\"}"),
         "not valid UTF-8", ""},
        {"a name twice in a record",
         vk03(R"({"path": "Вход 3", "name": "FiLt", "name": "In.iv", "index": 2, "value": "1"})"),
         "the name \"name\" twice in one object", ""},
        {"a number beyond a double", vk03(filter("2", "1e400")), "beyond the range of a double", ""},
        {"no model", R"({"parameters": [{"name": "Addr", "value": "16"}]})", "the JSON names no model", ""},
        {"an unknown model", R"({"model": "VK99", "parameters": [{"name": "Addr", "value": "16"}]})",
         "\"model\" is \"VK99\", which names no model", ""},
        {"a model number beyond the table",
         R"({"model": 1e10, "parameters": [{"name": "Addr", "value": "16"}]})",
         "\"model\" is 1e10, which names no model", ""},
        {"no parameter list", R"({"model": "VK03"})", "the JSON has no \"parameters\" list", ""},
        {"an empty parameter list", vk03(""), "the \"parameters\" list is empty", ""},
        {"only parameters the model lacks", vk03(R"({"path": "Nowhere", "name": "XyZ", "value": "1"})"),
         "none of the records names a parameter of Tavik-VK03", "Nowhere/XyZ: no such parameter"},
        {"a list at the top", "[1, 2]", "not an object", ""},
        {"nothing", "", "not JSON", ""},
    };
    const std::string out = folder.file("out.vdc");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An existing file stays as it was.
        std::ofstream(out, std::ios::binary | std::ios::trunc) << "kept";
        const ImportResult result = import_json(c.json, out);
        EXPECT_NE(result.error, "");
        if (!c.error.empty()) {
            EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        }
        if (c.refused.empty()) {
            EXPECT_TRUE(result.refused.empty()) << result.refused.front();
        } else {
            ASSERT_FALSE(result.refused.empty()) << result.error;
            EXPECT_NE(result.refused.front().find(c.refused), std::string::npos) << result.refused.front();
        }
        EXPECT_EQ(file_text(out), "kept");
        // Without a file before it, none after it.
        fs::remove(out);
        EXPECT_NE(import_json(c.json, out).error, "");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(ConfigText, ImportReadsEveryJsonNumberAndTakesValuesAsAReadShowsThem) {
    Quiet quiet;
    Folder folder;
    const std::string out = folder.file("out.vdc");
    // A byte order mark, exponents, a number for a value, another case of a list item, attributes.
    const std::string json =
        "\xEF\xBB\xBF" +
        vk03(
            filter("2e0", "1.5e1") + "," + filter("0", "\"2.000\"", "Вход 1") +
            R"(, {"path": "Network parameters", "name": "prot", "value": "modbus_rtu", "access": "read-only", "user": "company"})" +
            R"(, {"path": "Сведения о модуле", "name": "t.out", "value": 255, "access": null})" +
            R"(, {"path": "Nowhere", "name": "XyZ", "value": "1"}, {"path": "Вход 3", "name": "FiLt", "index": 99, "value": "1"})" +
            "," + kVersion);
    const ImportResult imported = import_json(json, out);
    ASSERT_EQ(imported.error, "") << (imported.refused.empty() ? "" : imported.refused.front());
    EXPECT_EQ(imported.applied, 5);  // ver included
    EXPECT_EQ(
        imported.skipped,
        (std::vector<std::string>{"Nowhere/XyZ: no such parameter in Tavik-VK03 at module version 2.10",
                                  "Вход 3/FiLt:99: no such parameter in Tavik-VK03 at module version 2.10"}));
    const auto loaded = load_configuration_file(out);
    ASSERT_TRUE(loaded->ok()) << loaded->error;
    std::map<std::string, ParameterRecord> by_place;
    for (const auto& r : loaded->records())
        by_place.emplace(place_text(r.path, r.name, r.index), r);
    EXPECT_EQ(by_place.at("Вход 3/FiLt:2").value, "15");
    EXPECT_EQ(by_place.at("Вход 1/FiLt:0").value, "2");
    EXPECT_EQ(by_place.at("Вход 2/FiLt:1").value, "no data");
    const ParameterRecord& prot = by_place.at("Network parameters/Prot");
    EXPECT_EQ(prot.value, "Modbus RTU");
    EXPECT_FALSE(prot.access_attribute);
    EXPECT_TRUE(prot.user_attribute);
    EXPECT_EQ(by_place.at("Сведения о модуле/t.out").value, "255");
    EXPECT_TRUE(by_place.at("Сведения о модуле/t.out").access_attribute) << "the description's default";

    // An older export, without attributes, still imports.
    ASSERT_EQ(import_json(vk03(filter("2", "\"42\"")), out).error, "");
    const auto older = load_configuration_file(out);
    ASSERT_TRUE(older->ok());
    for (const auto& r : older->records()) {
        EXPECT_TRUE(r.access_attribute) << r.name;
        EXPECT_FALSE(r.user_attribute) << r.name;
    }
}

TEST(ConfigText, ValuesAreEqualWhenTheyEncodeToTheSameBytes) {
    struct Case {
        const char* type;
        const char* a;
        const char* b;
        bool same;
        const char* read_form_of_a;
    };
    const std::vector<Case> cases = {
        {"float", "2", "2.000", true, "2.000"},
        {"float", "2e0", "2.0", true, "2.000"},
        {"float", "2,5", "2.5", true, "2.500"},
        {"float", "0.0001", "0.000", false, "0.000"},
        {"float", "no data", "0.000", false, "no data"},
        {"int", "2.000", "2", true, "2"},
        {"int", "2", "3", false, "2"},
        {"STORED_DOT", "1.5", "1.50", true, "1.500"},
        {"None:Even:Odd", "even", "Even", true, "Even"},
        {"Ravelin:Modbus_RTU", "modbus_rtu", "Modbus RTU", true, "Modbus RTU"},
        {"Нет:Да", "да", "Да", true, "Да"},
        {"Нет:Да", "Нет", "Да", false, "Нет"},
        {"string", "abc", "ABC", false, "abc"},
        {"string", "abc", "abc", true, "abc"},
    };
    for (const Case& c : cases) {
        Parameter p("Test");
        p.set_data_type(c.type);
        EXPECT_EQ(p.same_value(c.a, c.b), c.same) << c.type << ": " << c.a << " / " << c.b;
        EXPECT_EQ(p.same_value(c.b, c.a), c.same) << c.type << ": " << c.b << " / " << c.a;
        EXPECT_EQ(p.read_form(c.a), c.read_form_of_a) << c.type << ": " << c.a;
    }
}

TEST(ConfigText, DiffAndChangedCompareValuesAndAttributesNotTexts) {
    Folder folder;
    const std::string read = folder.file("read.vdc");
    const std::string retyped = folder.file("retyped.vdc");
    const std::string locked = folder.file("locked.vdc");
    {
        // VK00: floats whose defaults are written "0" and "100" while a read shows "0.000" and "100.000".
        ModuleAtVersion m(0, kNewVersion);
        ASSERT_TRUE(m.doc->read_all());
        ASSERT_TRUE(m.doc->save_file(read));
        int retyped_count = 0;
        visit_parameters(*m.doc->root(), [&](const std::string&, Parameter& p) {
            if (!p.is_type("float") || p.initial_value_text.empty()) return;
            ASSERT_TRUE(p.same_value(p.value_text(), p.initial_value_text)) << p.network_name();
            p.SetValueText(p.initial_value_text);
            ++retyped_count;
        });
        EXPECT_GT(retyped_count, 5);
        ASSERT_TRUE(m.doc->save_file(retyped));
        test::find_parameter_named(*m.doc->root(), "in-t")->access_attribute = false;
        ASSERT_TRUE(m.doc->save_file(locked));
    }
    Quiet quiet;
    TextJobResult diff = run_text_job({"--diff", read, retyped});
    EXPECT_EQ(diff.exit_code, 0) << diff.output;
    diff = run_text_job({"--diff", retyped, locked});
    EXPECT_EQ(diff.exit_code, 1);
    const std::string in_t =
        test::find_parameter_named(*load_configuration_file(read)->description.root(), "in-t")->value_text();
    EXPECT_EQ(diff.output,
              "Канал 1/in-t:0: " + in_t + " (read/write, unknown) -> " + in_t + " (read-only, unknown)\n");
    diff = run_text_job({"--diff", "--json", retyped, locked});
    EXPECT_NE(
        diff.output.find("\"first_access\": \"read/write\", \"first_user\": \"unknown\", \"second\": \"" +
                         in_t + "\", \"second_access\": \"read-only\""),
        std::string::npos)
        << diff.output;

    // A module at its defaults: nothing differs from them, however the default is written.
    for (const std::string& file : {read, retyped}) {
        const TextJobResult changed = run_text_job({"--export:csv", "--changed", file});
        EXPECT_EQ(changed.exit_code, 0);
        EXPECT_EQ(changed.output,
                  "path,name,index,description,type,value,default,differs_from_default,access,user\n");
    }
}

TEST(ConfigText, CsvQuotesWhatNeedsIt) {
    ParameterRecord r;
    r.path = "Вход 1";
    r.name = "FiLt";
    r.index = 0;
    r.description = "Time, \"ms\"";
    r.type = "int";
    r.value = "10";
    r.access_attribute = false;
    EXPECT_EQ(records_csv({r}),
              "path,name,index,description,type,value,default,differs_from_default,access,user\n"
              "Вход 1,FiLt,0,\"Time, \"\"ms\"\"\",int,10,,no,read-only,unknown\n");
}

TEST(Json, ReadsStrictlyAndQuotesBack) {
    std::string error;
    const auto doc = platform::parse_json(
        R"({"a": [1, -2.5e1, true, false, null, 0, -0.5, 1E+2, 1e-400], "s": "x\"\u00e9\ud83d\ude00\n", "u": "Вход €"})",
        error);
    ASSERT_TRUE(doc) << error;
    const platform::JsonValue* a = doc->find("a");
    ASSERT_TRUE(a && a->items.size() == 9);
    EXPECT_EQ(a->items[1].number, -25);
    EXPECT_EQ(a->items[1].text, "-2.5e1");
    EXPECT_TRUE(a->items[2].boolean);
    EXPECT_FALSE(a->items[3].boolean);
    EXPECT_EQ(a->items[4].kind, platform::JsonValue::Kind::Null);
    EXPECT_EQ(a->items[6].number, -0.5);
    EXPECT_EQ(a->items[7].number, 100);
    EXPECT_EQ(a->items[8].number, 0);
    EXPECT_EQ(doc->find("s")->text, "x\"\u00e9\U0001F600\n");
    EXPECT_EQ(doc->find("u")->text, "Вход €");
    EXPECT_EQ(platform::json_quote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");

    for (const std::string bad : {"",
                                  "{",
                                  "[1,]",
                                  "{\"a\" 1}",
                                  "\"\\x\"",
                                  "\"\\ud800\"",
                                  "[1] x",
                                  "tru",
                                  "[01]",
                                  "[.5]",
                                  "[1.]",
                                  "[1e]",
                                  "[+1]",
                                  "[-]",
                                  "[NaN]",
                                  "[Infinity]",
                                  "[1e999]",
                                  "{\"a\": 1, \"a\": 2}",
                                  "\"\xED\xA0\x80\"",
                                  "\"\xF5\x80\x80\x80\"",
                                  "\"\xE2\x82\"",
                                  "[\xC3\xA9]"}) {
        error.clear();
        EXPECT_FALSE(platform::parse_json(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string deep(200, '[');
    EXPECT_FALSE(platform::parse_json(deep, error));
    EXPECT_TRUE(platform::parse_json("\xEF\xBB\xBF[1]", error)) << "a byte order mark is skipped";
}

TEST(Text, Cp1251HoldsWhatItsCodePageHas) {
    EXPECT_TRUE(platform::cp1251_holds("Вход 1 — €, ё, №"));
    EXPECT_FALSE(platform::cp1251_holds("中"));
    EXPECT_FALSE(platform::cp1251_holds("\U0001F600"));
    EXPECT_FALSE(platform::cp1251_holds("\xC3\x28"));
    EXPECT_TRUE(platform::cp1251_holds("?"));
}

}  // namespace
}  // namespace varda
