// The differences window's logic against a VK03 document and its simulated module: every difference of a
// module or file comparison, and the two actions on the checked rows.
#include "core/app/document/differences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/app/document/document.h"
#include "core/app/files/config_text.h"
#include "core/platform/strings.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

// A VK03 document identified on its simulated module, with the module's values read into it.
struct Vk03 : test::TreeEditRig {
    Vk03() {
        EXPECT_EQ(doc->device().identify(false), Identification::KnownModel);
        EXPECT_TRUE(doc->read_all());
        ui.clear();
        module->clear_log();
    }
    // The FiLt of input k (0-based).
    Parameter& filter(int k) {
        Parameter* found = nullptr;
        visit_parameters(*doc->root(), [&](const std::string&, Parameter& p) {
            if (p.network_name() == "FiLt" && p.network_index == k) found = &p;
        });
        EXPECT_NE(found, nullptr) << k;
        return *found;
    }
    void module_value(const char* name, int index, const char* value) {
        ASSERT_TRUE(module->set_value(name, index, value)) << name;
    }
    std::unique_ptr<DifferencesController> compare() {
        EXPECT_TRUE(doc->compare());
        return module_differences(*doc);
    }
};

// Branch, parameter, document value, other value: a row as the window shows it.
using Row = std::vector<std::string>;
std::vector<Row> shown_rows(const DifferencesController& c) {
    std::vector<Row> out;
    for (const std::size_t k : c.shown()) {
        const Difference& d = c.rows()[k];
        out.push_back({DifferencesController::cell_text(d, DifferenceColumn::Branch),
                       DifferencesController::cell_text(d, DifferenceColumn::Parameter),
                       DifferencesController::cell_text(d, DifferenceColumn::Document),
                       DifferencesController::cell_text(d, DifferenceColumn::Other)});
    }
    return out;
}

TEST(Differences, AModuleComparisonListsEveryDifferenceWithItsBranchAndIndex) {
    struct Case {
        const char* what;
        std::function<void(Vk03&)> change_module;
        std::vector<Row> rows;
    };
    const std::vector<Case> cases = {
        {"nothing differs", [](Vk03&) {}, {}},
        {"inputs told apart by branch and index",
         [](Vk03& t) {
             t.module_value("FiLt", 1, "20");
             t.module_value("FiLt", 2, "30");
             t.module_value("t.out", -1, "7");
         },
         {{"Сведения о модуле", "t.out", "10", "7"},
          {"Вход 2", "FiLt:1", "10", "20"},
          {"Вход 3", "FiLt:2", "10", "30"}}},
        {"the attributes alone",
         [](Vk03& t) {
             auto entry = t.module->entry("t.out");
             entry->access = 0;
             t.module->add(*entry);
         },
         {{"Сведения о модуле", "t.out", "10", "10 (read-only)"}}},
    };
    for (const Case& c : cases) {
        Vk03 t;
        c.change_module(t);
        const auto differences = t.compare();
        EXPECT_EQ(shown_rows(*differences), c.rows) << c.what;
        // The comparison result names the same places.
        const std::string message = t.messages().at(0);
        for (std::size_t k = 0; k < c.rows.size(); ++k) {
            const std::string place = c.rows[k][0] + "/" + c.rows[k][1];
            EXPECT_NE(message.find(std::to_string(k + 1) + ". Parameter '" + place + " ("), std::string::npos)
                << c.what << "\n"
                << message;
        }
    }
}

TEST(Differences, EveryDifferenceIsListedBeyondTheTenTheMessageDescribes) {
    Vk03 t;
    int changed = 0;
    visit_parameters(*t.doc->root(), [&](const std::string&, Parameter& p) {
        if (!p.writable || p.network_name() == "Addr") return;
        // Another value of its kind: a number, or the other item of a list.
        const auto item = p.item_index(p.value_text());
        const std::string other = p.data_type() == "int" ? "99" : item ? p.item_text(*item == 0 ? 1 : 0) : "";
        if (!other.empty() && t.module->set_value(p.network_name(), p.indexed ? p.network_index : -1, other))
            ++changed;
    });
    ASSERT_GT(changed, 10);
    const auto differences = t.compare();
    EXPECT_EQ(static_cast<int>(differences->rows().size()), changed);
    EXPECT_NE(t.messages().at(0).find("(only the first 10 are shown)"), std::string::npos);
}

TEST(Differences, AFileComparisonListsWhereTheFileDiffers) {
    struct Case {
        const char* what;
        std::function<void(Vk03&)> edit_document_after_saving;
        std::vector<Row> rows;
    };
    const std::vector<Case> cases = {
        {"the file as saved", [](Vk03&) {}, {}},
        {"two inputs edited",
         [](Vk03& t) {
             t.filter(0).SetValueText("11");
             t.filter(3).SetValueText("44");
         },
         {{"Вход 1", "FiLt:0", "11", "10"}, {"Вход 4", "FiLt:3", "44", "10"}}},
    };
    const auto folder = std::filesystem::path(testing::TempDir()) / "differences_file";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "saved.vdc").string();
    for (const Case& c : cases) {
        Vk03 t;
        ASSERT_TRUE(t.doc->save_file(path));
        c.edit_document_after_saving(t);
        std::string error;
        const auto differences = file_differences(*t.doc, path, error);
        ASSERT_TRUE(differences) << error;
        EXPECT_EQ(differences->other_name(), "saved.vdc");
        EXPECT_EQ(shown_rows(*differences), c.rows) << c.what;
        EXPECT_EQ(t.filter(0).value_text(), c.rows.empty() ? "10" : "11") << "the document stays as it was";
        // The comparison result names each place with both values.
        t.ui.clear();
        EXPECT_TRUE(compare_with_file(*t.doc, path));
        const std::string message = t.messages().at(0);
        for (std::size_t k = 0; k < c.rows.size(); ++k) {
            const Row& r = c.rows[k];
            EXPECT_NE(message.find(std::to_string(k + 1) + ". Parameter '" + r[0] + "/" + r[1] + " (" +
                                   t.filter(0).description + ")\nconfiguration: value = " + r[2] +
                                   ", access = read/write, user = unknown\nfile: value = " + r[3] +
                                   ", access = read/write, user = unknown\n"),
                      std::string::npos)
                << message;
        }
        if (c.rows.empty()) {
            EXPECT_EQ(message, "No difference found");
        }
    }
}

TEST(Differences, AFileThatCannotBeComparedSaysWhy) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "differences_refused";
    std::filesystem::create_directories(folder);
    const std::string other_model = (folder / "vk07.vdc").string();
    {
        test::TreeEditRig vk07(7);
        ASSERT_TRUE(vk07.doc->save_file(other_model));
    }
    Vk03 t;
    std::string error;
    EXPECT_FALSE(file_differences(*t.doc, other_model, error));
    EXPECT_NE(error.find("not of"), std::string::npos) << error;
    EXPECT_FALSE(file_differences(*t.doc, (folder / "missing.vdc").string(), error));
    EXPECT_NE(error.find("missing.vdc"), std::string::npos) << error;
    t.ui.clear();
    EXPECT_FALSE(compare_with_file(*t.doc, other_model));
    ASSERT_EQ(t.messages().size(), 1u);
    EXPECT_NE(t.messages()[0].find("not of"), std::string::npos) << t.messages()[0];
}

// Three differences in two inputs and the module's information branch.
struct ThreeDifferences : Vk03 {
    ThreeDifferences() {
        module_value("FiLt", 1, "20");
        module_value("FiLt", 2, "30");
        module_value("t.out", -1, "7");
        differences = compare();
        EXPECT_EQ(differences->rows().size(), 3u);
        module->clear_log();
    }
    // Unchecks the row of the FiLt of input 2.
    void uncheck_input_2() {
        for (std::size_t k = 0; k < differences->rows().size(); ++k)
            if (differences->rows()[k].path == "Вход 2") differences->set_checked(k, false);
    }
    std::unique_ptr<DifferencesController> differences;
};

TEST(Differences, TakingTheCheckedValuesIsOneUndoableEdit) {
    ThreeDifferences t;
    Parameter& untouched = t.filter(1);
    Parameter& taken = t.filter(2);
    const ParameterState before = capture_state(taken);
    ASSERT_FALSE(before.value_modified);
    t.uncheck_input_2();
    EXPECT_EQ(t.differences->take_checked(), 2);
    EXPECT_EQ(taken.value_text(), "30");
    EXPECT_EQ(t.p("t.out").value_text(), "7");
    EXPECT_EQ(untouched.value_text(), "10");
    EXPECT_EQ(shown_rows(*t.differences), (std::vector<Row>{{"Вход 2", "FiLt:1", "10", "20"}}));
    EXPECT_TRUE(t.module->log().empty()) << "taking values writes nothing";

    EXPECT_EQ(t.doc->history().undo_name(), "Take values from the module");
    ASSERT_TRUE(t.doc->undo());
    EXPECT_EQ(taken.value_text(), before.value_text);
    EXPECT_TRUE(taken.value_modified) << "the restored value differs from the module again";
    EXPECT_EQ(t.p("t.out").value_text(), "10");
    EXPECT_FALSE(t.doc->history().can_undo()) << "one step";
    ASSERT_TRUE(t.doc->redo());
    EXPECT_EQ(taken.value_text(), "30");
}

TEST(Differences, WritingTheCheckedRowsWritesOnlyThose) {
    ThreeDifferences t;
    t.uncheck_input_2();
    ASSERT_TRUE(t.differences->write_checked());
    EXPECT_EQ(test::named_requests(*t.module, {"FiLt", "t.out"}),
              (std::vector<std::string>{"W t.out", "W FiLt"}));
    EXPECT_EQ(t.module->value("FiLt", 2), "10");
    EXPECT_EQ(t.module->value("t.out"), "10");
    EXPECT_EQ(t.module->value("FiLt", 1), "20") << "the unchecked row is left alone";
    EXPECT_EQ(t.ui.exchange_titles().back(), "Write parameters to device");
    EXPECT_EQ(shown_rows(*t.differences), (std::vector<Row>{{"Вход 2", "FiLt:1", "10", "20"}}));
}

TEST(Differences, RowsAreFilteredByBranchAndSorted) {
    ThreeDifferences t;
    EXPECT_EQ(t.differences->branches(), (std::vector<std::string>{"Вход 2", "Вход 3", "Сведения о модуле"}));
    t.differences->set_branch_filter("Вход 3");
    EXPECT_EQ(shown_rows(*t.differences), (std::vector<Row>{{"Вход 3", "FiLt:2", "10", "30"}}));
    t.differences->check_shown(false);
    EXPECT_EQ(t.differences->checked_count(), 2);
    t.differences->set_branch_filter(std::nullopt);
    t.differences->sort_by(DifferenceColumn::Other, false);
    EXPECT_EQ(shown_rows(*t.differences), (std::vector<Row>{{"Вход 3", "FiLt:2", "10", "30"},
                                                            {"Вход 2", "FiLt:1", "10", "20"},
                                                            {"Сведения о модуле", "t.out", "10", "7"}}));
}

// A document of VK03 at version 2.10 (its tree holds Prot) and files of the same module.
TEST(Differences, AFileComparisonNeverOffersWhatTheFileLacksAsAValue) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "differences_lacking";
    std::filesystem::create_directories(folder);
    const std::string old_version = (folder / "old.vdc").string();
    const std::string unread = (folder / "unread.vdc").string();
    {
        test::TreeEditRig old(3, "1.0");
        ASSERT_TRUE(old.doc->read_all());
        old.p("FiLt").SetValueText("55");
        ASSERT_TRUE(old.doc->save_file(old_version));
    }
    test::TreeEditRig t(3, "2.10");
    ASSERT_TRUE(t.doc->read_all());
    // Saved with Prot never read.
    t.p("Prot").SetValueText(std::string(str(kNoData)));
    ASSERT_TRUE(t.doc->save_file(unread));
    ASSERT_TRUE(t.doc->read_all());
    ASSERT_EQ(t.p("Prot").value_text(), "Ravelin");

    struct Case {
        std::string file;
        std::vector<std::string> not_compared;
        std::string filter_taken;  // FiLt:0 of the file
    };
    for (const Case& c : {Case{old_version, {"Network parameters/Prot: the file does not hold it"}, "55"},
                          Case{unread, {"Network parameters/Prot: the file holds no value for it"}, "10"}}) {
        SCOPED_TRACE(c.file);
        std::string error;
        const auto differences = file_differences(*t.doc, c.file, error);
        ASSERT_TRUE(differences) << error;
        EXPECT_EQ(differences->not_compared(), c.not_compared);
        for (const Difference& d : differences->rows()) {
            EXPECT_NE(d.name, "Prot");
            EXPECT_NE(d.other_value, "(missing)");
        }
        t.ui.clear();
        EXPECT_TRUE(compare_with_file(*t.doc, c.file));
        EXPECT_NE(test::message_texts(t.ui).at(0).find("Not compared (no value on one side):\n" +
                                                       c.not_compared[0]),
                  std::string::npos)
            << test::message_texts(t.ui).at(0);
        // Taking every row leaves Prot as it was, and the document can still be written whole.
        differences->take_checked();
        EXPECT_EQ(t.p("Prot").value_text(), "Ravelin");
        EXPECT_EQ(t.p("FiLt").value_text(), c.filter_taken);
        t.module->clear_log();
        ASSERT_TRUE(t.doc->write_all());
        EXPECT_EQ(t.p("Prot").error_text, "");
        EXPECT_EQ(t.module->value("Prot"), "Ravelin");
    }
}

TEST(Differences, WritingCheckedAfterAFileComparisonSendsTheFilesValuesAndAttributes) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "differences_write_file";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "saved.vdc").string();
    Vk03 t;
    // The file: FiLt:0 = 10, FiLt:3 read-only. The document: FiLt:0 = 11, FiLt:3 read/write.
    t.filter(3).access_attribute = false;
    ASSERT_TRUE(t.doc->save_file(path));
    t.filter(3).access_attribute = true;
    t.filter(0).SetValueText("11");
    t.module_value("FiLt", 0, "33");
    std::string error;
    const auto differences = file_differences(*t.doc, path, error);
    ASSERT_TRUE(differences) << error;
    EXPECT_EQ(shown_rows(*differences), (std::vector<Row>{{"Вход 1", "FiLt:0", "11", "10"},
                                                          {"Вход 4", "FiLt:3", "10", "10 (read-only)"}}));
    ASSERT_TRUE(differences->write_checked());
    EXPECT_EQ(t.module->value("FiLt", 0), "10") << "the file's value, not the document's";
    EXPECT_EQ(t.module->entry("FiLt", 3)->access, 0) << "the file's attribute";
    EXPECT_EQ(t.filter(0).value_text(), "11") << "the document stays as it was";
    EXPECT_EQ(differences->rows().size(), 2u);

    // Taking them brings the file's value and attribute in as edits still to be written.
    EXPECT_EQ(differences->take_checked(), 2);
    EXPECT_EQ(t.filter(0).value_text(), "10");
    EXPECT_TRUE(t.filter(0).value_modified);
    EXPECT_FALSE(t.filter(3).access_attribute);
    EXPECT_TRUE(t.filter(3).access_modified);
}

TEST(Differences, TwoTextsOfOneValueAreNoDifference) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "differences_same_value";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "saved.vdc").string();
    Vk03 t;
    ASSERT_TRUE(t.doc->save_file(path));
    t.filter(0).SetValueText("10.000");
    t.filter(1).SetValueText("1e1");
    std::string error;
    const auto differences = file_differences(*t.doc, path, error);
    ASSERT_TRUE(differences) << error;
    EXPECT_TRUE(differences->rows().empty());
    // Nor against the module.
    EXPECT_TRUE(t.compare()->rows().empty());
}

}  // namespace
}  // namespace varda
