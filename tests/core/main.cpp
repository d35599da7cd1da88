// The core tests run under the locale of their environment, as the window does (QApplication takes the
// user's), so that ./test.sh also runs them under a comma-decimal locale.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
