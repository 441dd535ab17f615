// The window on a ledger of 100k entries over ten years (2015 to 2024): startup to an idle window
// beside startup on an empty ledger, and a ten-year report shown in the list beside a one-year
// report, each pair in one run.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "ledger/session.h"
#include "tests/ledger/entry_file.h"
#include "ui/lunar_date_box.h"
#include "ui/main_window.h"

namespace {

QApplication* app() {
    static int argc = 1;
    static char name[] = "window_ui_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return a;
}

// A directory holding a ledger of `entries` entries spread evenly over 2015-01-01..2024-12-31.
class LedgerDir {
  public:
    explicit LedgerDir(int entries) {
        std::vector<ledger::Entry> all;
        all.reserve(entries);
        const QDate first(2015, 1, 1);
        const int days = static_cast<int>(first.daysTo(QDate(2024, 12, 31))) + 1;
        static const char* const kItems[] = {"\xce\xe7\xb7\xb9", "\xb3\xb5\xb7\xd1",
                                             "\xb9\xa4\xd7\xca"};  // 午饭 车费 工资
        for (int i = 0; i < entries; ++i) {
            QDate d = first.addDays(static_cast<qint64>(i) * days / entries);
            ledger::Entry e;
            e.income = i % 4 == 0;
            e.date = {d.year(), d.month(), d.day()};
            e.time = ledgertest::kFixtureTime;
            e.item = kItems[i % 3];
            e.amount = static_cast<float>(1 + i % 997) / 4.0f;
            all.push_back(std::move(e));
        }
        ledgertest::writeLedgerFile(QFile::encodeName(dir_.filePath("Database.edb")).toStdString(),
                                    all);
    }
    std::string path() const { return QFile::encodeName(dir_.path()).toStdString(); }

  private:
    QTemporaryDir dir_;
};

ui::WindowHooks quietHooks(QDate today) {
    ui::WindowHooks h;
    h.messageBox = [](const ui::MessageBoxRequest&) { return true; };
    h.clock = [today] { return QDateTime(today, QTime(12, 0)); };
    h.quit = [] {};
    return h;
}

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// From creating the session and the window to the window idle after its queued refreshes,
// today's entries shown.
void BM_StartupToIdle(benchmark::State& state) {
    app();
    LedgerDir dir(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto session = std::make_unique<ledger::Session>(dir.path());
        auto w = std::make_unique<ui::MainWindow>(*session, quietHooks(QDate(2020, 6, 15)));
        w->show();
        settle();
        benchmark::DoNotOptimize(session->dayPage().dayList().rowCount());
        state.PauseTiming();
        w.reset();
        session.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToIdle)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// "查询" over the last `years` years, until the list has shown the report.
void BM_ReportShown(benchmark::State& state) {
    app();
    static LedgerDir dir(100000);
    ledger::Session session(dir.path());
    ui::MainWindow w(session, quietHooks(QDate(2024, 12, 31)));
    w.show();
    settle();
    w.onToolbarClick(ui::ToolbarSlot::Query);
    w.findChild<ui::LunarDateBox*>(QStringLiteral("农历日期框2"))
        ->setDate(QDate(2025 - static_cast<int>(state.range(0)), 1, 1));
    w.findChild<ui::LunarDateBox*>(QStringLiteral("农历日期框3"))->setDate(QDate(2024, 12, 31));
    auto* view = w.findChild<QTableView*>(QStringLiteral("超级列表框_查"));
    settle();
    int rows = 0;
    for (auto _ : state) {
        session.rangeReport().run();
        view->repaint();
        rows = view->model()->rowCount();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_ReportShown)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
