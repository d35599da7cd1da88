// Configurations as text: every model's tree survives export, import and export again; JSON is read
// strictly; differences name their place.
#include "core/app/config_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/app/headless_ui.h"
#include "core/app/paths.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/json.h"

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
    ~Quiet() {
        set_ui(nullptr);
        set_current_model_index(kNoModel);
    }
    HeadlessUi ui{false};
};

TEST(ConfigText, EveryModelsTreeSurvivesExportImportExport) {
    Quiet quiet;
    Folder folder;
    DescriptionArchive archive(description_archive_path(), false);
    for (int model = 0; model < kDeviceCount; ++model) {
        SCOPED_TRACE(std::string(display_name(model)));
        set_current_model_index(model);
        DescriptionContext description;
        ASSERT_TRUE(description.LoadDescriptionText(ReadModelDescription(archive, model).text));
        ASSERT_TRUE(description.root());
        std::vector<ParameterRecord> before = parameter_records(*description.root());
        ASSERT_FALSE(before.empty());
        const std::string json = records_json(model, before);

        const std::string file = folder.file("m" + std::to_string(model) + ".vdc");
        const ImportResult imported = import_json(json, file);
        ASSERT_EQ(imported.error, "");
        EXPECT_TRUE(imported.skipped.empty()) << imported.skipped.front();
        EXPECT_EQ(imported.applied, static_cast<int>(before.size()));
        const auto loaded = load_configuration_file(file);
        ASSERT_TRUE(loaded->ok()) << loaded->error;
        EXPECT_EQ(loaded->model, model);
        EXPECT_EQ(records_json(loaded->model, parameter_records(*loaded->description.root())), json);
    }
}

TEST(ConfigText, ImportTakesValuesReportsStrangersAndDiffNamesThePlace) {
    Quiet quiet;
    Folder folder;
    const std::string json = R"({"model": "vk03", "parameters": [
        {"path": "Вход 3", "name": "FiLt", "index": 2, "value": "42"},
        {"path": "Вход 3", "name": "FiLt", "index": 99, "value": "1"},
        {"path": "Вход 1", "name": "FiLt", "index": 0, "value": "many"},
        {"path": "Nowhere", "name": "XyZ", "index": null, "value": "1"}]})";
    const ImportResult imported = import_json(json, folder.file("a.vdc"));
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.applied, 1);
    ASSERT_EQ(imported.skipped.size(), 3u);
    EXPECT_EQ(imported.skipped[0], "Вход 3/FiLt:99: no such parameter in Tavik-VK03");
    EXPECT_EQ(imported.skipped[1], "Вход 1/FiLt:0: the value \"many\" is refused");

    ASSERT_EQ(import_json(R"({"model": "VK03", "parameters": []})", folder.file("b.vdc")).error, "");
    const auto a = load_configuration_file(folder.file("a.vdc"));
    const auto b = load_configuration_file(folder.file("b.vdc"));
    ASSERT_TRUE(a->ok() && b->ok());
    const auto differences = config_differences(*b->description.root(), *a->description.root());
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(difference_text(differences[0]).rfind("Вход 3/FiLt:2: ", 0), 0u);
    EXPECT_EQ(differences[0].second, "42");

    for (const char* bad : {"", "{", R"({"model": "VK99", "parameters": []})", R"({"model": "VK03"})"})
        EXPECT_NE(import_json(bad, folder.file("c.vdc")).error, "") << bad;
    EXPECT_FALSE(fs::exists(folder.file("c.vdc")));
    EXPECT_FALSE(load_configuration_file(folder.file("none.vdc"))->ok());
}

TEST(ConfigText, CsvQuotesWhatNeedsIt) {
    ParameterRecord r;
    r.path = "Вход 1";
    r.name = "FiLt";
    r.index = 0;
    r.description = "Time, \"ms\"";
    r.type = "int";
    r.value = "10";
    EXPECT_EQ(records_csv({r}),
              "path,name,index,description,type,value,default,differs_from_default\n"
              "Вход 1,FiLt,0,\"Time, \"\"ms\"\"\",int,10,,no\n");
}

TEST(Json, ReadsStrictlyAndQuotesBack) {
    std::string error;
    const auto doc = platform::parse_json(R"({"a": [1, -2.5e1, true, false, null], "s": "x\"\u00e9\ud83d\ude00\n"})", error);
    ASSERT_TRUE(doc) << error;
    const platform::JsonValue* a = doc->find("a");
    ASSERT_TRUE(a && a->items.size() == 5);
    EXPECT_EQ(a->items[1].number, -25);
    EXPECT_TRUE(a->items[2].boolean);
    EXPECT_FALSE(a->items[3].boolean);
    EXPECT_EQ(a->items[4].kind, platform::JsonValue::Kind::Null);
    EXPECT_EQ(doc->find("s")->text, "x\"\u00e9\U0001F600\n");
    EXPECT_EQ(platform::json_quote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");

    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"\\x\"", "\"\\ud800\"", "[1] x", "tru"}) {
        error.clear();
        EXPECT_FALSE(platform::parse_json(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string deep(200, '[');
    EXPECT_FALSE(platform::parse_json(deep, error));
}

}  // namespace
}  // namespace varda
