#include <gtest/gtest.h>

#include "../store/test_files.h"
#include "ledger/field_positions.h"
#include "ledger/ledger_schema.h"
#include "store/record_store.h"

namespace {

// The empty ledger, written out by hand: header, fieldCount, nine descriptors.
std::string handWrittenEmptyLedger() {
    std::string s(764, '\0');
    auto bytes = [&](size_t at, std::initializer_list<int> b) {
        for (int v : b) s[at++] = static_cast<char>(v);
    };
    bytes(0x000, {0x57, 0x45, 0x44, 0x42});                          // WEDB
    bytes(0x004, {0x00, 0x00, 0x01, 0x00});                          // version
    bytes(0x008, {0x0C, 0xA0, 0xDE, 0xC7, 0xB9, 0xA4, 0xE3, 0x40});  // createdAt
    bytes(0x010, {0, 0, 0, 0});                                      // recordCount
    bytes(0x014, {0x31, 0, 0, 0});                                   // nextSerial 49
    bytes(0x018, {0x2B, 0x01, 0, 0});                                // recordLength 299
    bytes(0x070, {9, 0, 0, 0});                                      // fieldCount
    struct D {
        size_t at;
        std::initializer_list<int> name;
        int type, offset, width;
    } d[] = {
        {0x074, {0xC0, 0xE0, 0xD0, 0xCD}, 7, 4, 0},      // 类型
        {0x0BC, {0xC4, 0xEA}, 3, 5, 0},                  // 年
        {0x104, {0xD4, 0xC2}, 3, 9, 0},                  // 月
        {0x14C, {0xC8, 0xD5}, 3, 13, 0},                 // 日
        {0x194, {0xCA, 0xB1}, 10, 17, 8},                // 时
        {0x1DC, {0xCF, 0xEE, 0xC4, 0xBF}, 10, 25, 200},  // 项目
        {0x224, {0xBD, 0xF0, 0xB6, 0xEE}, 5, 225, 0},    // 金额
        {0x26C, {0xB1, 0xB8, 0xD7, 0xA2}, 10, 229, 50},  // 备注
        {0x2B4, {0xC0, 0xE0, 0xB1, 0xF0}, 10, 279, 20},  // 类别
    };
    for (const auto& x : d) {
        bytes(x.at, x.name);
        bytes(x.at + 20, {x.type, 0, 0, 0});
        bytes(x.at + 24, {x.offset & 0xFF, x.offset >> 8, 0, 0});
        bytes(x.at + 28, {x.width & 0xFF, x.width >> 8, 0, 0});
    }
    return s;
}

TEST(EmptyLedgerDatabase, IsTheFixedBytes) {
    std::string bytes = ledger::emptyLedgerDatabase();
    ASSERT_EQ(bytes.size(), 764u);
    std::string want = handWrittenEmptyLedger();
    for (size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(want[i]))
            << "byte 0x" << std::hex << i;
    }
}

TEST(EmptyLedgerDatabase, OpensAndTakesTheFirstEntryAsSerial49) {
    store_test::ScratchDir dir;
    std::string path = dir.path("Database.edb");
    store_test::writeBytes(path, ledger::emptyLedgerDatabase());
    store::RecordStore db;
    ASSERT_TRUE(db.open(path)) << store::RecordStore::lastError();
    EXPECT_EQ(db.fieldCount(), ledger::kFieldCount);
    EXPECT_EQ(db.recordLength(), ledger::kLedgerRecordLength);
    EXPECT_EQ(db.recordCount(), 0);
    using store::StoreValue;
    ASSERT_TRUE(db.appendRecord({StoreValue::ofBool(true), StoreValue::ofInt(2024),
                                 StoreValue::ofInt(5), StoreValue::ofInt(1),
                                 StoreValue::ofText("00\xca\xb1"
                                                    "07\xb7\xd6"),  // 00时07分
                                 StoreValue::ofText("x"), StoreValue::ofFloat(12.5f),
                                 StoreValue::ofText(""), StoreValue::ofText("")}));
    EXPECT_EQ(db.currentSerial(), ledger::kFirstSerial);
    EXPECT_EQ(db.readField(ledger::kFieldTime), StoreValue::ofText("00\xca\xb1"
                                                                   "07\xb7\xd6"));
    std::string after = store_test::readBytes(path);
    EXPECT_EQ(store_test::get32(after, 16), 1);
    EXPECT_EQ(store_test::get32(after, 20), 50);
    EXPECT_EQ(after.substr(764 + 225, 4), std::string("\x00\x00\x48\x41", 4));
}

}  // namespace
