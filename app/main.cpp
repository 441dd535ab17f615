#include <QApplication>
#include <QFile>

#include "app/command_line.h"
#include "ledger/session.h"
#include "store/record_store.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/qt_translations.h"

// Wires the program: the session owns the ledger beside the program file (not the working
// directory), the window shows it. The session is made first and goes last, so the store is
// closed after the window has gone.
int main(int argc, char** argv) {
    // Decided before any application object exists: a command needs no display.
    if (app::wantsCommand(argc, argv)) return app::runCommand(argc, argv);
    QApplication app(argc, argv);
    ui::installQtTranslations(app);
    store::setFatalHandler(&ui::fatalStop);
    ledger::Session session(
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    ui::MainWindow window(session);
    window.show();
    return app.exec();
}
