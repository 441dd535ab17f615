#include <QApplication>

#include "app/command_line.h"
#include "store/record_store.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    // Decided before any application object exists: a command needs no display.
    if (app::wantsCommand(argc, argv)) return app::runCommand(argc, argv);
    QApplication app(argc, argv);
    store::setFatalHandler(&ui::fatalStop);
    ui::MainWindow window;
    window.show();
    return app.exec();
}
