// GoogleTest main for the tests without widgets: each test in a runtime folder of its own.
#include "private_runtime_dir.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qm5083::testing::PrivateRuntimeDir::install();
    return RUN_ALL_TESTS();
}
