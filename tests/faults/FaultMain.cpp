#include <QApplication>

#include <gtest/gtest.h>

#include "faults/MountSandbox.h"

// The fault tests mount small file systems of their own; that needs a private mount namespace, which a
// process can only enter while it has a single thread, so before the application object exists. The
// window tests need the application object and draw offscreen.
int main(int argc, char** argv) {
    hourlink::testing::EnterPrivateMountNamespace();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
