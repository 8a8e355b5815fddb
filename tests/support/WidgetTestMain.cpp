#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need one application object for the whole run.
// They draw offscreen unless told otherwise, so they run the same with or without a display.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
