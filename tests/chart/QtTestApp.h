#pragma once

#include <QApplication>

namespace hourlink::testing {

// The one QApplication of a test program, made on first use (the offscreen platform in the tests). It is never
// destroyed: tearing it down among the other static objects at exit crashes.
inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "hourlink-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace hourlink::testing
