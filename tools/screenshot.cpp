// Starts the window on a small sample ledger in a fresh directory and writes a PNG of each of
// its three pages: day.png (income mode), query.png (a report of the sample week) and
// settings.png, and of the day box's drop-down calendar, calendar.png.
// Usage: screenshot <output directory>.

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <cstdio>

#include "ledger/session.h"
#include "tests/ui/sample_ledger.h"
#include "ui/lunar_date_box.h"
#include "ui/main_window.h"
#include "ui/qt_translations.h"

namespace {

void settle() {
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

bool save(ui::MainWindow& w, const QString& path) {
    settle();
    bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Clicks toolbar slot `index` as the user would.
void click(ui::MainWindow& w, ui::ToolbarSlot slot) {
    w.findChild<QToolButton*>(QStringLiteral("工具条1_%1").arg(static_cast<int>(slot)))->click();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::installQtTranslations(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    out.mkpath(QStringLiteral("."));
    QTemporaryDir dir;
    sample::writeCategories(QFile::encodeName(dir.filePath(QStringLiteral("pz.ini"))).toStdString(),
                            sample::weekCategories());
    const std::string runDirectory = QFile::encodeName(dir.path()).toStdString();
    {
        // The first start writes the empty database; the sample goes in through the store.
        ui::WindowHooks quiet;
        quiet.messageBox = [](const ui::MessageBoxRequest&) { return true; };
        ledger::Session firstRun(runDirectory);
        ui::MainWindow first(firstRun, quiet);
        for (const auto& e : sample::week()) sample::append(firstRun.recordStore(), e);
    }
    ui::WindowHooks hooks;
    hooks.messageBox = [](const ui::MessageBoxRequest&) { return true; };
    hooks.clock = [] { return QDateTime(QDate(2024, 3, 5), QTime(20, 30)); };
    ledger::Session session(runDirectory);
    ui::MainWindow w(session, hooks);
    w.show();
    settle();
    bool ok = save(w, out.filePath(QStringLiteral("day.png")));

    click(w, ui::ToolbarSlot::Query);
    w.findChild<ui::LunarDateBox*>(QStringLiteral("农历日期框2"))->setDate({2024, 3, 1});
    session.rangeReport().run();
    ok = save(w, out.filePath(QStringLiteral("query.png"))) && ok;

    click(w, ui::ToolbarSlot::Settings);
    ok = save(w, out.filePath(QStringLiteral("settings.png"))) && ok;

    // The day box's drop-down calendar.
    click(w, ui::ToolbarSlot::Income);
    auto* box = w.findChild<ui::LunarDateBox*>(QStringLiteral("农历日期框1"));
    box->showPopup();
    settle();
    bool shown = box->calendar()->grab().save(out.filePath(QStringLiteral("calendar.png")));
    std::printf("%s %s\n", shown ? "wrote" : "FAILED", qPrintable(out.filePath("calendar.png")));
    box->hidePopup();
    ok = shown && ok;
    return ok ? 0 : 1;
}
