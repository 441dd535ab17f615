#include "exchange/bill_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/text_encoding.h"
#include "ledger/gbk.h"
#include "tests/exchange/exchange_test_support.h"

namespace {

using exchange::ImportError;
using exchange::ImportFormat;
using exchange::ParsedFile;
using exchangetest::fileBytes;
using exchangetest::fixturePath;

// One imported row as the test reads it back, texts in UTF-8.
struct Row {
    int line;
    bool income;
    ledger::Date date;
    std::string time, item;
    float amount;
    std::string note, billCategory;
};

std::string utf8(const std::string& gbk) { return ledger::gbkToUtf8(gbk); }

struct BillCase {
    const char* file;
    ImportFormat format;
    int leftOut;
    std::vector<Row> rows;
};

void PrintTo(const BillCase& c, std::ostream* os) { *os << c.file; }

class BillFiles : public testing::TestWithParam<BillCase> {};

// Each bill layout read from a small file of its own: which rows become entries, how their texts
// are mapped, and which are left out (own-account moves, 不计收支, closed, fully refunded).
TEST_P(BillFiles, RowsBecomeEntriesAndTheRestIsCounted) {
    const BillCase& c = GetParam();
    ParsedFile parsed;
    ImportError error;
    ASSERT_TRUE(exchange::parseImportFile(fileBytes(fixturePath(c.file)), parsed, error))
        << error.line << " " << error.reason;
    EXPECT_EQ(parsed.format, c.format);
    EXPECT_EQ(parsed.leftOut, c.leftOut);
    ASSERT_EQ(parsed.rows.size(), c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i) {
        SCOPED_TRACE(c.rows[i].item);
        const auto& got = parsed.rows[i];
        const Row& want = c.rows[i];
        EXPECT_EQ(got.line, want.line);
        EXPECT_EQ(got.entry.income, want.income);
        EXPECT_EQ(got.entry.date, want.date);
        EXPECT_EQ(utf8(got.entry.time), want.time);
        EXPECT_EQ(utf8(got.entry.item), want.item);
        EXPECT_FLOAT_EQ(got.entry.amount, want.amount);
        EXPECT_EQ(utf8(got.entry.note), want.note);
        EXPECT_EQ(utf8(got.billCategory), want.billCategory);
        EXPECT_EQ(got.keepsCategory, c.format == ImportFormat::OwnCsv);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BillFiles,
    testing::Values(
        BillCase{"wechat.csv",
                 ImportFormat::WeChat,
                 2,
                 {{14, false, {2026, 11, 30}, "18时05分", "牛肉面", 18.5f, "张记面馆", "商户消费"},
                  // goods "/": the counterparty is the item; the remark follows it in the note
                  {15, false, {2026, 11, 29}, "09时03分", "李四", 100, "李四 房租分摊", "转账"},
                  {17, true, {2026, 11, 25}, "08时30分", "十一月工资", 5000, "公司财务", "工资"},
                  // two equal payments in one minute stay two rows
                  {18, false, {2026, 11, 20}, "19时45分", "蔬菜,水果", 24.8f, "超市", "商户消费"},
                  {19, false, {2026, 11, 20}, "19时45分", "蔬菜,水果", 24.8f, "超市", "商户消费"}}},
        BillCase{"alipay.csv",
                 ImportFormat::AlipayCurrent,
                 2,
                 {{18, false, {2026, 11, 30}, "20时15分", "套餐", 35.5f, "肯德基", "餐饮美食"},
                  {19, false, {2026, 11, 27}, "10时00分", "便利店", 30, "便利店 买水", "日用百货"},
                  {21, true, {2026, 11, 24}, "14时00分", "退款-衬衫", 88, "淘宝商家", "退款"}}},
        BillCase{
            "alipay_older.csv",
            ImportFormat::AlipayOlder,
            2,
            {{6, false, {2019, 1, 11}, "12时30分", "午饭AA", 23, "王五", "即时到账交易"},
             {8, true, {2019, 1, 9}, "21时00分", "还款", 100, "赵六 上月借款", "即时到账交易"}}},
        BillCase{"own.csv",
                 ImportFormat::OwnCsv,
                 0,
                 {{2, false, {2026, 12, 1}, "08时05分", "早饭", 6.5f, "", ""},
                  {3, false, {2026, 12, 1}, "12时30分", "午饭,和同事", 32, "他说\"好吃\"", ""},
                  // a time text that was not HH时MM分 comes back as it was written
                  {4, true, {2026, 12, 2}, "旧时间", "奖金", 1000, "", ""}}}),
    [](const testing::TestParamInfo<BillCase>& info) {
        std::string name = info.param.file;
        name.resize(name.find('.'));
        return name;
    });

TEST(OwnCsv, KeepsTheCategoryAsWritten) {
    ParsedFile parsed;
    ImportError error;
    ASSERT_TRUE(exchange::parseImportFile(fileBytes(fixturePath("own.csv")), parsed, error));
    EXPECT_EQ(utf8(parsed.rows[0].entry.category), "生活开支");
    EXPECT_EQ(utf8(parsed.rows[2].entry.category), "工资收入");
}

TEST(OwnCsv, GbkFileWithoutMarkReadsTheSame) {
    const std::string utf8File = fileBytes(fixturePath("own.csv"));
    const std::string gbkFile = exchangetest::gbk(utf8File.substr(3));
    ParsedFile a, b;
    ImportError error;
    ASSERT_TRUE(exchange::parseImportFile(utf8File, a, error));
    ASSERT_TRUE(exchange::parseImportFile(gbkFile, b, error)) << error.reason;
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (size_t i = 0; i < a.rows.size(); ++i) EXPECT_EQ(a.rows[i].entry, b.rows[i].entry);
}

const std::string kWeChatHead =
    "\xEF\xBB\xBF"
    "微信支付账单明细,,,\n"
    "----------------------微信支付账单明细列表--------------------,,,\n"
    "交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n";

std::string weChatRow(const std::string& time, const std::string& kind, const std::string& amount,
                      const std::string& goods = "牛肉面") {
    return time + ",商户消费,面馆," + goods + "," + kind + "," + amount + ",零钱,支付成功,1,2,/\n";
}

struct BadCase {
    const char* name;
    std::string bytes;
    int line;
    const char* reason;  // a part of the reason
};

// Every file that cannot be read whole is refused with the line and the reason, and nothing of
// it is handed on.
TEST(BadFiles, NameTheLineAndTheReason) {
    const std::vector<BadCase> cases = {
        {"amount",
         kWeChatHead + weChatRow("2026-11-30 18:05:09", "支出", "¥18.50") +
             weChatRow("2026-11-30 18:06:00", "支出", "¥十八"),
         5, "金额无法读取：“¥十八”"},
        {"empty amount", kWeChatHead + weChatRow("2026-11-30 18:05:09", "支出", ""), 4,
         "金额无法读取"},
        {"amount beyond the float range",
         kWeChatHead + weChatRow("2026-11-30 18:05:09", "支出", "¥" + std::string(40, '9')), 4,
         "金额超出可记录的范围：“¥9999"},
        {"own csv amount that would be infinity",
         "日期,时间,收支,项目,金额,类别,备注\r\n2026-12-01,08:05,开支,早饭,6.50,,\r\n"
         "2026-12-01,08:06,开支,午饭,-" +
             std::string(39, '9') + ",,\r\n",
         3, "金额超出可记录的范围"},
        {"date", kWeChatHead + weChatRow("2026-13-30 18:05:09", "支出", "¥1.00"), 4,
         "日期无法读取：“2026-13-30 18:05:09”"},
        {"time", kWeChatHead + weChatRow("2026-11-30 25:05", "支出", "¥1.00"), 4, "日期无法读取"},
        {"february 29th", kWeChatHead + weChatRow("2027-02-29 08:00", "支出", "¥1.00"), 4,
         "日期无法读取"},
        {"kind", kWeChatHead + weChatRow("2026-11-30 08:00", "借出", "¥1.00"), 4,
         "收/支无法读取：“借出”"},
        {"short row", kWeChatHead + "2026-11-30 08:00,商户消费\n", 4, "列数不足"},
        {"unclosed quote", kWeChatHead + weChatRow("2026-11-30 08:00", "支出", "¥1.00", "\"面\n"),
         4, "引号没有闭合"},
        {"own csv kind",
         "日期,时间,收支,项目,金额,类别,备注\r\n2026-12-01,08:05,支出,早饭,6.50,,\r\n", 2,
         "收支应为“收入”或“开支”"},
        {"own csv date",
         "日期,时间,收支,项目,金额,类别,备注\r\n2026-12-1x,08:05,开支,早饭,6.50,,\r\n", 2,
         "日期无法读取"},
        {"unknown format", "名称,数量\n苹果,3\n", 0, "不是能识别的格式"},
        {"empty file", "", 0, "不是能识别的格式"},
        {"neither utf-8 nor gb18030", "\xEF\xBB\xBF\xC3\x28", 0, "既不是有效的 UTF-8"},
        {"not gb18030 either", "\xFF\xFF\xFF", 0, "既不是有效的 UTF-8"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ParsedFile parsed;
        ImportError error;
        EXPECT_FALSE(exchange::parseImportFile(c.bytes, parsed, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.reason.find(c.reason), std::string::npos) << error.reason;
        EXPECT_EQ(exchange::importErrorText("b.csv", error).rfind("b.csv", 0), 0u);
    }
}

TEST(BadFiles, MessageCarriesFileAndLine) {
    EXPECT_EQ(exchange::importErrorText("bill.csv", {7, "金额无法读取"}),
              "bill.csv 第 7 行：金额无法读取");
    EXPECT_EQ(exchange::importErrorText("bill.csv", {0, "不是能识别的格式"}),
              "bill.csv：不是能识别的格式");
}

// Cells of a bill come with spaces and tabs around them and texts longer than the ledger's
// fields; an item is cut at a character boundary and a character GBK lacks is left out.
TEST(BillTexts, TrimmedAndCutToTheFieldWidths) {
    std::string longGoods;
    for (int i = 0; i < 150; ++i) longGoods += "面";
    const std::string bytes = kWeChatHead + " 2026-11-30 18:05 \t,商户消费,\t小店😀\t,x" +
                              longGoods + ",支出 ,\"¥1,234.50\t\",零钱,支付成功,1,2,/\n";
    ParsedFile parsed;
    ImportError error;
    ASSERT_TRUE(exchange::parseImportFile(bytes, parsed, error)) << error.reason;
    ASSERT_EQ(parsed.rows.size(), 1u);
    const ledger::Entry& e = parsed.rows[0].entry;
    // "x" and 99 two-byte characters fill 199 bytes; the 100th would cross the 200-byte width.
    EXPECT_EQ(e.item.size(), 199u);
    EXPECT_EQ(utf8(e.item).substr(0, 4), "x面");
    EXPECT_EQ(utf8(e.note), "小店");
    EXPECT_FLOAT_EQ(e.amount, 1234.5f);
    EXPECT_EQ(e.date, (ledger::Date{2026, 11, 30}));
}

TEST(BillTexts, SlashDatesOfASpreadsheetSavedBillRead) {
    const std::string bytes = kWeChatHead + weChatRow("2026/1/5 7:08", "支出", "￥3");
    ParsedFile parsed;
    ImportError error;
    ASSERT_TRUE(exchange::parseImportFile(bytes, parsed, error)) << error.reason;
    EXPECT_EQ(parsed.rows[0].entry.date, (ledger::Date{2026, 1, 5}));
    EXPECT_EQ(utf8(parsed.rows[0].entry.time), "07时08分");
}

TEST(Encodings, Gb18030FileIsDecodedAndBrokenUtf8WithMarkIsRefused) {
    std::string text;
    EXPECT_TRUE(exchange::decodeFileText(fileBytes(fixturePath("alipay.csv")), text));
    EXPECT_NE(text.find("交易分类"), std::string::npos);
    EXPECT_TRUE(
        exchange::decodeFileText("\xEF\xBB\xBF"
                                 "abc",
                                 text));
    EXPECT_EQ(text, "abc");
    // A mark promises UTF-8: what follows is not read as GB18030 behind the user's back.
    EXPECT_FALSE(exchange::decodeFileText("\xEF\xBB\xBF\xB2\xE2", text));
    EXPECT_FALSE(exchange::isValidUtf8("\xED\xA0\x80"));  // a surrogate
    EXPECT_FALSE(exchange::isValidUtf8("\xC0\xAF"));      // an overlong slash
}

}  // namespace
