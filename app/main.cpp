#include <QApplication>

#include "store/record_store.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    store::setFatalHandler(&ui::fatalStop);
    ui::MainWindow window;
    window.show();
    return app.exec();
}
