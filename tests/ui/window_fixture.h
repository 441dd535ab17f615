#pragma once

// The window on a session in a fresh directory, with a fixed clock, for the frame's and the
// pages' tests; and the helpers they share for typing, clicking and reading the files back.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ledger/entry.h"
#include "ledger/session.h"
#include "store/record_store.h"
#include "store/store_value.h"
#include "tests/ui/qt_app.h"
#include "tests/ui/sample_ledger.h"
#include "ui/main_window.h"

namespace ui {

inline std::string u8(const QString& s) { return s.toStdString(); }

// Types `text` one character at a time as key events carrying the character, the way an input
// method delivers Chinese text (QTest::keyClicks only knows ASCII keys).
inline void typeText(QWidget* w, const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QString ch = text.mid(i, n);
        i += n - 1;
        int key = ch.size() == 1 && ch.at(0).unicode() < 128 ? int{ch.at(0).toUpper().unicode()}
                                                             : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, ch);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, ch);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A session and its window started in a fresh directory with a fixed clock; message boxes are
// recorded and answered from `answers` (Yes when it runs dry).
class WindowTest : public ::testing::Test {
  protected:
    WindowTest() { qtApp(); }

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    std::string nativePath(const char* name) const {
        return QFile::encodeName(path(name)).toStdString();
    }
    std::string runDirectory() const { return QFile::encodeName(dir.path()).toStdString(); }

    void start() {
        WindowHooks hooks;
        hooks.messageBox = [this](const MessageBoxRequest& r) {
            messages.push_back(r);
            if (!r.yesNo || answers.empty()) return true;
            bool a = answers.front();
            answers.pop_front();
            return a;
        };
        hooks.openUrl = [this](const QUrl& u) { opened.push_back(u); };
        hooks.clock = [this] { return clock; };
        hooks.quit = [this] { ++quits; };
        session = std::make_unique<ledger::Session>(runDirectory());
        window = std::make_unique<MainWindow>(*session, hooks);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }

    // Lets the queued notifications run.
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }

    // Writes entries through a store of its own, as a previous run would have.
    void seed(const std::vector<sample::Entry>& entries) {
        {
            WindowHooks quiet;
            quiet.messageBox = [](const MessageBoxRequest&) { return true; };
            ledger::Session firstRun(runDirectory());
            MainWindow first(firstRun, quiet);
        }
        sample::writeCategories(nativePath("pz.ini"), sample::weekCategories());
        store::RecordStore s;
        ASSERT_TRUE(s.open(nativePath("Database.edb")));
        for (const auto& e : entries) ASSERT_TRUE(sample::append(s, e));
        s.close();
    }

    template <class T>
    T* find(const char* name) const {
        T* w = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString labelText(const char* name) const { return find<QLabel>(name)->text(); }

    void clickToolbar(ToolbarSlot slot) {
        QToolButton* b = find<QToolButton>(
            QStringLiteral("工具条1_%1").arg(static_cast<int>(slot)).toUtf8().data());
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
    void clickButton(const char* name) {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
        settle();
    }

    QAbstractItemModel* dayModel() const { return find<QTableView>("超级列表框_收支")->model(); }
    QString dayCell(int row, int column) const {
        return dayModel()->index(row, column).data().toString();
    }
    void doubleClickDayRow(int row) {
        QTableView* v = find<QTableView>("超级列表框_收支");
        QPoint p = v->visualRect(v->model()->index(row, 2)).center();
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, p);
        settle();
    }
    void selectDayRow(int row) {
        QTableView* v = find<QTableView>("超级列表框_收支");
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {},
                          v->visualRect(v->model()->index(row, 2)).center());
        settle();
    }

    // Field p of 1-based record n, read through a store of its own.
    // The entry of 1-based record n, read through a store of its own.
    ledger::Entry storedEntry(int n) {
        store::RecordStore s;
        EXPECT_TRUE(s.open(nativePath("Database.edb")));
        ledger::Entry found;
        EXPECT_TRUE(ledger::readEntries(s, [&](const ledger::EntryView& e) {
            if (e.index() != n - 1) return true;
            found = e.entry();
            return false;
        }));
        s.close();
        return found;
    }
    int32_t storedCount() {
        store::RecordStore s;
        EXPECT_TRUE(s.open(nativePath("Database.edb")));
        int32_t n = s.recordCount();
        s.close();
        return n;
    }

    QTemporaryDir dir;
    QDateTime clock{QDate(2024, 3, 5), QTime(8, 5)};
    std::vector<MessageBoxRequest> messages;
    std::deque<bool> answers;
    std::vector<QUrl> opened;
    int quits = 0;
    // The window goes first, as the program's own: the session outlives it.
    std::unique_ptr<ledger::Session> session;
    std::unique_ptr<MainWindow> window;
};

// The pages' tests run on the same window; their suites are named by the page.
using DayPageTest = WindowTest;
using QueryPageTest = WindowTest;
using SettingsPageTest = WindowTest;

}  // namespace ui
