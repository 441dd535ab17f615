#pragma once

// One QApplication for the whole test program, made on first use (the tests link gtest_main).

#include <QApplication>

inline QApplication* qtApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return app;
}
