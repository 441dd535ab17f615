// The window's 导出... and 导入账单...: the query page's range and category reach the export, and
// the preview's ticks and categories decide what an import adds.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ledger/entry.h"
#include "ledger/session.h"
#include "tests/ui/qt_app.h"
#include "tests/ui/sample_ledger.h"
#include "ui/import_dialog.h"
#include "ui/lunar_date_box.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

using ui::MainWindow;
using ui::MessageBoxRequest;
using ui::WindowHooks;

class ExchangeWindowTest : public ::testing::Test {
  protected:
    ExchangeWindowTest() { qtApp(); }

    std::string native(const char* name) const {
        return QFile::encodeName(dir.filePath(QString::fromUtf8(name))).toStdString();
    }

    void start(const std::vector<sample::Entry>& entries) {
        {
            WindowHooks quiet;
            quiet.messageBox = [](const MessageBoxRequest&) { return true; };
            ledger::Session firstRun(native(""));
            MainWindow first(firstRun, quiet);
        }
        sample::writeCategories(native("pz.ini"), sample::weekCategories());
        {
            store::RecordStore s;
            ASSERT_TRUE(s.open(native("Database.edb")));
            for (const auto& e : entries) ASSERT_TRUE(sample::append(s, e));
        }
        WindowHooks hooks;
        hooks.messageBox = [this](const MessageBoxRequest& r) {
            messages.push_back(r);
            return true;
        };
        hooks.clock = [] { return QDateTime(QDate(2024, 3, 5), QTime(8, 5)); };
        hooks.exchange.chooseExportFile = [this](QWidget*) { return chosenFile; };
        hooks.exchange.chooseImportFile = [this](QWidget*) { return chosenFile; };
        hooks.exchange.confirmImport = [this](ui::ImportPreviewDialog& preview) {
            previewRows = preview.rowCount();
            return review ? review(preview) : true;
        };
        session = std::make_unique<ledger::Session>(native(""));
        window = std::make_unique<MainWindow>(*session, hooks);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        settle();
    }
    static void settle() {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    template <class T>
    T* find(const char* name) const {
        T* w = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char* name) {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
        settle();
    }
    std::vector<ledger::Entry> stored() {
        store::RecordStore s;
        EXPECT_TRUE(s.open(native("Database.edb")));
        std::vector<ledger::Entry> out;
        ledger::readEntries(s, [&](const ledger::EntryView& v) {
            out.push_back(v.entry());
            return true;
        });
        return out;
    }
    QString writeFile(const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir;
    std::unique_ptr<ledger::Session> session;
    std::unique_ptr<MainWindow> window;
    std::vector<MessageBoxRequest> messages;
    QString chosenFile;
    std::function<bool(ui::ImportPreviewDialog&)> review;
    int previewRows = -1;
};

TEST_F(ExchangeWindowTest, ExportTakesTheQueryPagesRangeAndCategory) {
    start(sample::week());
    find<ui::LunarDateBox>("农历日期框2")->setDate(QDate(2024, 3, 1));
    find<ui::LunarDateBox>("农历日期框3")->setDate(QDate(2024, 3, 3));
    QComboBox* filter = find<QComboBox>("组合框3");
    // As the user's choice arrives: the box's activated signal.
    const int chosen = filter->findText(QStringLiteral("生活开支"));
    filter->setCurrentIndex(chosen);
    emit filter->activated(chosen);
    settle();
    chosenFile = dir.filePath(QStringLiteral("out.csv"));
    click("按钮_导出");
    QFile f(chosenFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("\xEF\xBB\xBF"
                                      "日期,时间,收支,项目,金额,类别,备注\r\n"
                                      "2024-03-01,18:20,开支,买菜,36.50,生活开支,青菜豆腐\r\n"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("已导出 1 条到 out.csv"));
}

TEST_F(ExchangeWindowTest, ACancelledFileDialogExportsNothing) {
    start(sample::week());
    chosenFile.clear();
    click("按钮_导出");
    EXPECT_TRUE(messages.empty());
}

const QByteArray kBill =
    "\xEF\xBB\xBF"
    "----------------------微信支付账单明细列表--------------------,,,\n"
    "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n"
    "2024-03-05 12:00:00,商户消费,面馆,牛肉面,支出,¥18.50,零钱,支付成功,1,2,/\n"
    "2024-03-05 13:00:00,商户消费,超市,水果,支出,¥20.00,零钱,支付成功,3,4,/\n"
    "2024-03-05 09:00:00,转账,公司,奖金,收入,¥100.00,零钱,已存入零钱,5,6,/\n";

TEST_F(ExchangeWindowTest, ImportAddsTheTickedRowsWithTheChosenCategories) {
    start({});
    chosenFile = writeFile("bill.csv", kBill);
    review = [](ui::ImportPreviewDialog& preview) {
        preview.setRowTicked(1, false);
        EXPECT_FALSE(preview.setRowCategory(0, QStringLiteral("工资收入")));  // not an expense's
        EXPECT_TRUE(preview.setRowCategory(0, QStringLiteral("家庭添置开支")));
        return true;
    };
    click("按钮_导入");
    EXPECT_EQ(previewRows, 3);
    const auto entries = stored();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].item, sample::gbk("牛肉面"));
    EXPECT_EQ(entries[0].category, sample::gbk("家庭添置开支"));
    EXPECT_EQ(entries[1].item, sample::gbk("奖金"));
    EXPECT_EQ(entries[1].category, sample::gbk("工资收入"));  // the income mode's first
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().text, QStringLiteral("已导入 2 条"));

    // The same bill again: what was added is a duplicate; only the row left out before is new.
    review = nullptr;
    click("按钮_导入");
    EXPECT_EQ(previewRows, 1);
    const auto again = stored();
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].item, sample::gbk("水果"));
}

TEST_F(ExchangeWindowTest, NothingIsAddedWithoutConfirmOrFromABadFile) {
    start({});
    chosenFile = writeFile("bill.csv", kBill);
    review = [](ui::ImportPreviewDialog&) { return false; };
    click("按钮_导入");
    EXPECT_EQ(previewRows, 3);
    EXPECT_TRUE(stored().empty());

    previewRows = -1;
    chosenFile = writeFile(
        "bad.csv", kBill + "2024-03-05 14:00:00,商户消费,店,书,支出,¥abc,零钱,支付成功,7,8,/\n");
    click("按钮_导入");
    EXPECT_EQ(previewRows, -1);  // no preview of a file that does not read
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().text, QStringLiteral("bad.csv 第 6 行：金额无法读取：“¥abc”"));
    EXPECT_EQ(messages.back().icon, ledger::MessageIcon::Error);
    EXPECT_TRUE(stored().empty());
}

}  // namespace
