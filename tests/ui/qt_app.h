#pragma once

// One QApplication for the whole test program, made on first use (the tests link gtest_main),
// with Qt's Chinese texts installed as the program installs them.

#include <QApplication>

#include "ui/qt_translations.h"

inline QApplication* qtApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        // The tests see Qt's texts as the program shows them.
        ui::installQtTranslations(*a);
        return a;
    }();
    return app;
}
