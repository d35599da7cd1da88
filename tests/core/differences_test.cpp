#include "core/app/differences.h"

#include <gtest/gtest.h>

#include "core/app/headless_ui.h"
#include "core/model/description.h"
#include "core/model/parameter.h"

namespace varda {
namespace {

// Two numbered inputs with the same parameters, so only the branch path and index tell them apart.
constexpr const char* kDescription = R"(parameter Fl float Filter
parameter Addr int Address
branch Вход_№1 1 3 3 Fl
branch Вход_№2 1 3 3 Fl
root Module 1 0 0 Addr Вход_№1 Вход_№2
)";

struct Tree {
    Tree() {
        context.LoadDescriptionText(kDescription);
        for (int k = 0; k < 2; ++k) {
            Parameter& filter = *context.root()->children[static_cast<std::size_t>(k)]->parameters.at(0);
            filter.network_index = k;
            filter.SetValueText("1.000");
        }
        context.root()->parameters.at(0)->SetValueText("5");
    }
    Parameter& filter(int k) {
        return *context.root()->children[static_cast<std::size_t>(k)]->parameters.at(0);
    }
    DescriptionContext context;
};

class Differences : public ::testing::Test {
  protected:
    Differences() { set_ui(&ui); }
    ~Differences() override { set_ui(nullptr); }
    HeadlessUi ui{true};
};

TEST_F(Differences, EqualTreesHaveNone) {
    Tree document, other;
    EXPECT_TRUE(tree_differences(*document.context.root(), *other.context.root()).empty());
}

TEST_F(Differences, EveryDifferenceNamesItsBranchIndexAndBothValues) {
    Tree document, other;
    other.filter(1).SetValueText("2.500");
    other.context.root()->parameters.at(0)->SetValueText("7");
    const auto found = tree_differences(*document.context.root(), *other.context.root());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].branch_path, "");
    EXPECT_EQ(found[0].network_name, "Addr");
    EXPECT_EQ(found[0].document_value, "5");
    EXPECT_EQ(found[0].other_value, "7");
    EXPECT_EQ(found[1].branch_path, "Вход №2\\");
    EXPECT_EQ(found[1].network_name, "Fl");
    EXPECT_EQ(found[1].network_index, 1);
    EXPECT_EQ(found[1].document_value, "1.000");
    EXPECT_EQ(found[1].other_value, "2.500");
}

}  // namespace
}  // namespace varda
