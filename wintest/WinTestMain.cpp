// The test host's entry point: GoogleTest, with crashes ending the process at once.
#include "wintest/WinProcess.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    wintest::ExitOnCrash();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
