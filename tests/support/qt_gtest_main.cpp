// GoogleTest main for widget tests: one QApplication, with the program's own look; each test in
// a runtime folder of its own.
#include "appearance.h"
#include "private_runtime_dir.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qm5083::testing::PrivateRuntimeDir::install();
    // Test discovery runs the binary outside CTest's environment; never reach for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qm5083::window::applyAppearance(app);
    return RUN_ALL_TESTS();
}
