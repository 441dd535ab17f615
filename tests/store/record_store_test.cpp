#include "store/record_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <thread>

#include "test_files.h"

using namespace store;
using namespace store_test;

namespace {

std::vector<StoreValue> entry(bool income, int day, const std::string& item, float amount) {
    return {StoreValue::ofBool(income),
            StoreValue::ofInt(2024),
            StoreValue::ofInt(3),
            StoreValue::ofInt(day),
            StoreValue::ofText("09\xca\xb1"
                               "05\xb7\xd6"),
            StoreValue::ofText(item),
            StoreValue::ofFloat(amount),
            StoreValue::ofText("n"),
            StoreValue::ofText("c")};
}

class LedgerStore : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.path("Database.edb");
        writeBytes(path, databaseHeader(ledgerFields(), kLedgerLength, 0, 49));
    }
    void openWith(int records) {
        ASSERT_TRUE(db.open(path)) << RecordStore::lastError();
        for (int i = 0; i < records; ++i) {
            ASSERT_TRUE(
                db.appendRecord(entry(i % 2 == 0, i + 1, "item" + std::to_string(i), 1.5f * i)));
        }
    }
    ScratchDir dir;
    std::string path;
    RecordStore db;
};

// A file of two records written byte by byte from the format's tables.
TEST(HandWrittenFile, ReadsBackFieldByField) {
    ScratchDir dir;
    std::string path = dir.path("hand.edb");
    std::string s = databaseHeader(ledgerFields(), kLedgerLength, 2, 60);
    std::string rec(kLedgerLength, '\0');
    put32(rec, 0, 57);  // serial
    rec[4] = 2;         // Bool: any non-zero byte is true
    put32(rec, 5, 2010);
    put32(rec, 9, 2);
    put32(rec, 13, 20);
    std::memcpy(&rec[17],
                "19\xca\xb1"
                "20\xb7\xd6",
                8);                                 // 19时20分, no terminator
    std::memcpy(&rec[25], "\xd4\xe7\xb2\xcd", 4);   // 早餐
    std::memcpy(&rec[225], "\x00\x00\x48\x41", 4);  // 12.5f
    std::memcpy(&rec[229], "note", 4);
    std::memcpy(&rec[279], std::string(20, 'x').data(), 20);  // fills the field, no NUL
    std::string second(kLedgerLength, '\0');
    put32(second, 0, static_cast<uint32_t>(-58));  // marked deleted
    writeBytes(path, s + rec + second);

    RecordStore db;
    ASSERT_TRUE(db.open(path)) << RecordStore::lastError();
    EXPECT_EQ(db.recordCount(), 2);
    EXPECT_EQ(db.fieldCount(), 9);
    EXPECT_EQ(db.recordLength(), 299);
    EXPECT_EQ(db.currentSerial(), 57);
    EXPECT_EQ(db.readField(1), StoreValue::ofBool(true));
    EXPECT_EQ(db.readField(2), StoreValue::ofInt(2010));
    EXPECT_EQ(db.readField(3), StoreValue::ofInt(2));
    EXPECT_EQ(db.readField(4), StoreValue::ofInt(20));
    EXPECT_EQ(db.readField(5), StoreValue::ofText("19\xca\xb1"
                                                  "20\xb7\xd6"));
    EXPECT_EQ(db.readField(6), StoreValue::ofText("\xd4\xe7\xb2\xcd"));
    EXPECT_EQ(db.readField(7), StoreValue::ofFloat(12.5f));
    EXPECT_EQ(db.readField(8), StoreValue::ofText("note"));
    EXPECT_EQ(db.readField(9), StoreValue::ofText(std::string(20, 'x')));
    EXPECT_EQ(RecordStore::lastError(), 0);
    ASSERT_TRUE(db.skip());
    EXPECT_EQ(db.currentSerial(), -58);
    EXPECT_EQ(db.readField(1), StoreValue::ofBool(false));
}

// Every field type at a scattered, unordered offset, decoded as its table says.
TEST(HandWrittenFile, EveryFieldTypeDecodes) {
    ScratchDir dir;
    std::string path = dir.path("types.edb");
    std::vector<FieldDef> f = {{"dt", 8, 40, 0},  {"by", 1, 4, 0},   {"sh", 2, 5, 0},
                               {"lo", 4, 7, 0},   {"fl", 5, 15, 0},  {"do", 6, 19, 0},
                               {"rp", 9, 27, 0},  {"bs", 11, 31, 0}, {"bo", 7, 35, 0},
                               {"dt2", 8, 48, 0}, {"dt3", 8, 56, 0}};
    std::string rec(64, '\0');
    put32(rec, 0, 1);
    rec[4] = static_cast<char>(0xFE);
    rec[5] = static_cast<char>(0xFF);
    rec[6] = static_cast<char>(0xFF);  // Short -1
    int64_t lo = -5000000000;
    std::memcpy(&rec[7], &lo, 8);
    float fl = -0.25f;
    std::memcpy(&rec[15], &fl, 4);
    double d = 1e300;
    std::memcpy(&rec[19], &d, 8);
    put32(rec, 27, 1234);
    put32(rec, 31, 7);
    rec[35] = 1;
    double dt = 40229.5, low = -1e9, nan = std::nan("");
    std::memcpy(&rec[40], &dt, 8);
    std::memcpy(&rec[48], &low, 8);
    std::memcpy(&rec[56], &nan, 8);
    writeBytes(path, databaseHeader(f, 64, 1, 2) + rec);
    RecordStore db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(db.readField(1), StoreValue::ofDateTime(40229.5));
    EXPECT_EQ(db.readField(2), StoreValue::ofByte(0xFE));
    EXPECT_EQ(db.readField(3), StoreValue::ofShort(-1));
    EXPECT_EQ(db.readField(4), StoreValue::ofLong(lo));
    EXPECT_EQ(db.readField(5), StoreValue::ofFloat(-0.25f));
    EXPECT_EQ(db.readField(6), StoreValue::ofDouble(1e300));
    EXPECT_EQ(db.readField(7).type, ValueType::RoutinePointer);
    EXPECT_EQ(db.readField(7).integer, 1234);
    EXPECT_EQ(db.readField(8).type, ValueType::Bytes);
    EXPECT_EQ(db.readField(8).integer, 7);
    EXPECT_EQ(db.readField(9), StoreValue::ofBool(true));
    EXPECT_EQ(db.readField(10), StoreValue::ofDateTime(-657434));  // limited
    EXPECT_EQ(db.readField(11), StoreValue::ofDateTime(-657434));  // not a number
}

TEST_F(LedgerStore, FirstAppendGetsSerial49AndIsWrittenAsTheTablesSay) {
    openWith(0);
    ASSERT_TRUE(db.appendRecord(entry(false, 7, "\xd4\xe7\xb2\xcd", 12.5f)));
    EXPECT_EQ(db.recordCount(), 1);
    EXPECT_EQ(db.currentSerial(), 49);
    std::string s = readBytes(path);
    ASSERT_EQ(s.size(), kLedgerDataStart + 299);
    EXPECT_EQ(get32(s, 16), 1);
    EXPECT_EQ(get32(s, 20), 50);
    const size_t r = kLedgerDataStart;
    EXPECT_EQ(get32(s, r), 49);
    EXPECT_EQ(s[r + 4], 0);
    EXPECT_EQ(get32(s, r + 13), 7);
    EXPECT_EQ(s.substr(r + 17, 8),
              "09\xca\xb1"
              "05\xb7\xd6");
    EXPECT_EQ(s.substr(r + 225, 4), std::string("\x00\x00\x48\x41", 4));
    EXPECT_EQ(s.substr(r + 25, 5), std::string("\xd4\xe7\xb2\xcd\0", 5));
}

TEST_F(LedgerStore, EmptyFileCursorEdges) {
    openWith(0);
    db.goToFirst();
    EXPECT_EQ(RecordStore::lastError(), 0);
    EXPECT_EQ(db.readField(1), StoreValue::ofBool(false));
    EXPECT_EQ(RecordStore::lastError(), -10);
    EXPECT_FALSE(db.skip(1));
    EXPECT_EQ(RecordStore::lastError(), -26);
    EXPECT_TRUE(db.goTo(5));
    EXPECT_FALSE(db.skip(-1));
    EXPECT_EQ(RecordStore::lastError(), -25);
    EXPECT_FALSE(db.markDeleted());
    EXPECT_EQ(RecordStore::lastError(), -60);
}

TEST_F(LedgerStore, FourRecordCursorEdges) {
    openWith(4);
    EXPECT_TRUE(db.goTo(9));
    EXPECT_EQ(db.currentSerial(), 52);
    EXPECT_TRUE(db.goTo(2));
    EXPECT_EQ(db.currentSerial(), 50);
    EXPECT_TRUE(db.goTo(-3));
    EXPECT_EQ(db.currentSerial(), 49);
    EXPECT_TRUE(db.goTo(4));
    EXPECT_TRUE(db.skip(1));  // after the last record
    EXPECT_EQ(db.readField(3), StoreValue::ofInt(0));
    EXPECT_EQ(RecordStore::lastError(), -10);
    EXPECT_FALSE(db.writeField(6, StoreValue::ofText("x")));
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_FALSE(db.markDeleted());
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_FALSE(db.skip(1));
    EXPECT_EQ(RecordStore::lastError(), -26);
    EXPECT_TRUE(db.skip(-100));  // stops before the first record
    EXPECT_EQ(db.readField(2), StoreValue::ofInt(0));
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_FALSE(db.writeField(6, StoreValue::ofText("x")));
    EXPECT_EQ(RecordStore::lastError(), -60);
    EXPECT_FALSE(db.skip(-1));
    EXPECT_EQ(RecordStore::lastError(), -25);
    EXPECT_TRUE(db.skip(100));
    EXPECT_FALSE(db.skip(1));
    EXPECT_TRUE(db.skip(0));
}

TEST_F(LedgerStore, AppendTakesAsManyValuesAsThereAreFields) {
    openWith(0);
    auto values = entry(true, 3, "a", 2.0f);
    values.push_back(StoreValue::ofInt(99));
    ASSERT_TRUE(db.appendRecord(values));
    ASSERT_TRUE(db.appendRecord({StoreValue::ofBool(true), StoreValue::ofInt(2024)}));
    EXPECT_EQ(db.readField(3), StoreValue::ofInt(0));
    EXPECT_EQ(db.readField(6), StoreValue::ofText(""));
    EXPECT_EQ(db.readField(7), StoreValue::ofFloat(0));
    ASSERT_TRUE(db.appendRecord({StoreValue::omitted(), StoreValue::ofInt(1)}));
    EXPECT_EQ(db.readField(1), StoreValue::ofBool(false));
    EXPECT_EQ(db.recordCount(), 3);
}

struct TypeCase {
    const char* name;
    int field;
    StoreValue value;
    int32_t code;
    StoreValue readBack;
};

TEST_F(LedgerStore, WriteFieldTypesAndConversions) {
    const std::vector<TypeCase> cases = {
        {"Int into Bool", 1, StoreValue::ofInt(1), -72, StoreValue::ofBool(true)},
        {"Text into Int", 2, StoreValue::ofText("7"), -72, StoreValue::ofInt(2024)},
        {"Int into Text", 6, StoreValue::ofInt(7), -72, StoreValue::ofText("item0")},
        {"Double into Int truncates", 2, StoreValue::ofDouble(-7.9), 0, StoreValue::ofInt(-7)},
        {"Long into Int keeps low bytes", 3, StoreValue::ofLong(0x100000005), 0,
         StoreValue::ofInt(5)},
        {"Int into Float", 7, StoreValue::ofInt(3), 0, StoreValue::ofFloat(3.0f)},
        {"Double into Float rounds", 7, StoreValue::ofDouble(0.1), 0, StoreValue::ofFloat(0.1f)},
        {"Bool true", 1, StoreValue::ofBool(false), 0, StoreValue::ofBool(false)},
        {"omitted writes zero", 4, StoreValue::omitted(), 0, StoreValue::ofInt(0)},
        {"DateTime into Int", 3, StoreValue::ofDateTime(3), -72, StoreValue::ofInt(5)},
    };
    openWith(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string before = readBytes(path);
        EXPECT_EQ(db.writeField(c.field, c.value), c.code == 0);
        EXPECT_EQ(RecordStore::lastError(), c.code);
        if (c.code != 0) {
            EXPECT_EQ(readBytes(path), before);
        }
        EXPECT_EQ(db.readField(c.field), c.readBack);
    }
    EXPECT_FALSE(db.writeField(10, StoreValue::ofInt(1)));
    EXPECT_EQ(RecordStore::lastError(), -61);
    EXPECT_FALSE(db.writeField(0, StoreValue::ofInt(1)));
    EXPECT_EQ(RecordStore::lastError(), -61);
    EXPECT_FALSE(db.appendRecord({StoreValue::ofInt(1)}));
    EXPECT_EQ(RecordStore::lastError(), -72);
    EXPECT_EQ(db.recordCount(), 1);
}

TEST_F(LedgerStore, TextIsCutAtItsWidth) {
    // note field: width 50
    const std::string dbcs(26, '\0');
    struct Case {
        std::string written, read;
    } cases[] = {
        {std::string(50, 'a'), std::string(50, 'a')},
        {std::string(49, 'b'), std::string(49, 'b')},
        {std::string(51, 'c'), std::string(50, 'c')},
        // cut inside a double-byte character: the first byte of the 26th 汉 stays
        {[] {
             std::string s;
             for (int i = 0; i < 26; ++i) s += "\xba\xba";
             return s;
         }(),
         [] {
             std::string s;
             for (int i = 0; i < 25; ++i) s += "\xba\xba";
             return s;
         }()},
        {"", ""},
    };
    openWith(1);
    for (const auto& c : cases) {
        ASSERT_TRUE(db.writeField(8, StoreValue::ofText(c.written)));
        EXPECT_EQ(db.readField(8), StoreValue::ofText(c.read));
    }
    std::string s = readBytes(path);
    EXPECT_EQ(s.substr(kLedgerDataStart + 229, 50), std::string(50, '\0'));
    EXPECT_EQ(s.substr(kLedgerDataStart + 279), std::string("c") + std::string(19, '\0'));
    ASSERT_TRUE(db.appendRecord(
        {StoreValue::omitted(), StoreValue::omitted(), StoreValue::omitted(), StoreValue::omitted(),
         StoreValue::omitted(), StoreValue::ofText(std::string(300, 'z'))}));
    EXPECT_EQ(db.readField(6), StoreValue::ofText(std::string(200, 'z')));
    EXPECT_EQ(db.readField(7), StoreValue::ofFloat(0));
}

TEST_F(LedgerStore, MarkCountsUntilPurged) {
    openWith(3);
    ASSERT_TRUE(db.goTo(2));
    ASSERT_TRUE(db.markDeleted());
    ASSERT_TRUE(db.markDeleted());
    EXPECT_EQ(db.currentSerial(), -50);  // marked once, not restored
    EXPECT_EQ(db.recordCount(), 3);
    auto size = readBytes(path).size();
    ASSERT_TRUE(db.purgeDeleted());
    EXPECT_EQ(db.recordCount(), 2);
    EXPECT_EQ(readBytes(path).size(), size - 299);
    std::string s = readBytes(path);
    EXPECT_EQ(get32(s, 20), 52);  // nextSerial untouched
    db.goToFirst();
    EXPECT_EQ(db.currentSerial(), 49);
    EXPECT_EQ(db.readField(6), StoreValue::ofText("item0"));
    db.skip();
    EXPECT_EQ(db.currentSerial(), 51);
    EXPECT_EQ(db.readField(6), StoreValue::ofText("item2"));
}

TEST_F(LedgerStore, PurgeWithNothingMarkedWritesNothing) {
    openWith(3);
    std::string before = readBytes(path);
    db.goTo(3);
    ASSERT_TRUE(db.purgeDeleted());
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(db.currentSerial(), 49);  // cursor 0
}

TEST_F(LedgerStore, PurgeAcrossChunksKeepsOrderAndSerials) {
    // 547 ledger records fit one chunk; mark every third of 1200.
    openWith(0);
    for (int i = 0; i < 1200; ++i) {
        ASSERT_TRUE(db.appendRecord(entry(true, i % 28 + 1, "r" + std::to_string(i), float(i))));
        if (i % 3 == 0) {
            ASSERT_TRUE(db.markDeleted());
        }
    }
    ASSERT_TRUE(db.purgeDeleted());
    ASSERT_EQ(db.recordCount(), 800);
    std::vector<int> order;
    int fields[] = {6};
    ASSERT_TRUE(db.readRecords(fields, [&](const RecordView& r) {
        int i = r.serial() - 49;
        EXPECT_NE(i % 3, 0);
        EXPECT_EQ(r.text(6), "r" + std::to_string(i));
        order.push_back(i);
        return true;
    }));
    ASSERT_EQ(order.size(), 800u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(readBytes(path).size(), kLedgerDataStart + 800 * 299);
}

TEST_F(LedgerStore, BatchReadSeesWhatReadFieldSees) {
    openWith(1100);  // two chunks and a part
    ASSERT_TRUE(db.goTo(5));
    ASSERT_TRUE(db.markDeleted());
    ASSERT_TRUE(db.goTo(7));
    int fields[] = {1, 2, 3, 4, 7};
    int visits = 0;
    RecordStore other;
    ASSERT_TRUE(db.readRecords(fields, [&](const RecordView& r) {
        EXPECT_EQ(r.index(), visits);
        EXPECT_EQ(std::abs(r.serial()), 49 + visits);
        EXPECT_EQ(r.isDeleted(), visits == 4);
        EXPECT_EQ(r.field(1), StoreValue::ofBool(visits % 2 == 0));
        EXPECT_EQ(r.integer(1), visits % 2 == 0 ? 1 : 0);
        EXPECT_EQ(r.integer(4), visits + 1);
        EXPECT_EQ(r.field(7), StoreValue::ofFloat(1.5f * visits));
        EXPECT_DOUBLE_EQ(r.real(7), 1.5f * visits);
        EXPECT_EQ(r.field(6), StoreValue::ofText("item" + std::to_string(visits)));
        ++visits;
        return true;
    }));
    EXPECT_EQ(visits, 1100);
    EXPECT_EQ(db.currentSerial(), 55);  // cursor did not move
    visits = 0;
    EXPECT_TRUE(db.readRecords(fields, [&](const RecordView&) { return ++visits < 3; }));
    EXPECT_EQ(visits, 3);
    int bad[] = {10};
    EXPECT_FALSE(db.readRecords(bad, [](const RecordView&) { return true; }));
    EXPECT_EQ(RecordStore::lastError(), -61);
    // The lock is released: another open of the file can take the whole file.
    db.close();
    EXPECT_TRUE(other.open(path));
}

TEST_F(LedgerStore, LastErrorIsKeptPerThread) {
    openWith(0);
    EXPECT_FALSE(db.skip(1));
    int32_t seen = 1;
    std::thread([&] {
        db.goToFirst();
        seen = RecordStore::lastError();
    }).join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(RecordStore::lastError(), -26);
}

TEST(ClosedStore, OperationsReportNoOpenStore) {
    RecordStore db;
    EXPECT_EQ(db.recordCount(), 0);
    EXPECT_EQ(RecordStore::lastError(), -67);
    EXPECT_FALSE(db.goTo(1));
    EXPECT_FALSE(db.skip(1));
    EXPECT_EQ(RecordStore::lastError(), -67);
    EXPECT_FALSE(db.writeField(1, StoreValue::ofInt(1)));
    EXPECT_EQ(RecordStore::lastError(), -66);
    EXPECT_FALSE(db.appendRecord({}));
    EXPECT_FALSE(db.markDeleted());
    EXPECT_FALSE(db.purgeDeleted());
    EXPECT_EQ(RecordStore::lastError(), -67);
}

using ReadFieldDeathTest = LedgerStore;

TEST_F(ReadFieldDeathTest, MisusesStopTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RecordStore closed;
    EXPECT_EXIT(closed.readField(1), ::testing::ExitedWithCode(255),
                "\xce\xb4\xd6\xb8\xb6\xa8\xb5\xb1\xc7\xb0");  // 未指定当前...
    openWith(1);
    EXPECT_EXIT(db.readField(10), ::testing::ExitedWithCode(255),
                "\xd6\xb8\xb6\xa8\xd7\xd6\xb6\xce\xb2\xbb\xb4\xe6\xd4\xda");  // 指定字段不存在
    EXPECT_EXIT(db.readField(0), ::testing::ExitedWithCode(255), "");
}

TEST(ErrorTexts, EveryCodeHasItsText) {
    const int32_t codes[] = {-3,  -4,  -5,  -6,  -7,  -10, -11, -12, -13, -14, -15,
                             -21, -22, -23, -25, -26, -28, -29, -38, -45, -46, -47,
                             -48, -60, -61, -62, -65, -66, -67, -72, -78};
    const std::string unknown = errorText(-1);
    EXPECT_EQ(unknown, "\xce\xb4\xd6\xaa\xb4\xed\xce\xf3");  // 未知错误
    std::set<std::string> seen;
    for (int32_t c : codes) {
        EXPECT_NE(errorText(c), unknown) << c;
        seen.insert(errorText(c));
    }
    EXPECT_EQ(seen.size(), std::size(codes));
    EXPECT_EQ(errorText(-14), "\xb4\xc5\xc5\xcc\xbf\xd5\xbc\xe4\xb2\xbb\xb9\xbb");  // 磁盘空间不够
    EXPECT_EQ(errorText(-999), unknown);
}

}  // namespace
