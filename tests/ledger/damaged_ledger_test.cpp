// A two-entry ledger (serials 49 and 50, nextSerial 51, 1362 bytes) with one header field
// changed byte by byte: every start either keeps both entries, with the file copied aside and the
// repair named, or refuses the file and leaves it as it was. And what an interrupted delete or
// append leaves behind.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "ledger/gbk.h"
#include "ledger/ledger_open.h"
#include "store/record_store.h"
#include "tests/ledger/entry_file.h"

namespace {

namespace fs = std::filesystem;
using store::RecordStore;

// An entry as the cases write it, marked deleted or not.
struct FixtureEntry {
    bool income = true;
    int32_t year = 2024, month = 1, day = 1;
    std::string item;
    float amount = 0;
    std::string category = {};
    std::string note = {};
    bool deleted = false;
};

std::string ledgerBytes(const std::vector<FixtureEntry>& fixtures) {
    std::vector<ledger::Entry> entries;
    std::set<size_t> marked;
    for (const FixtureEntry& f : fixtures) {
        ledger::Entry e;
        e.income = f.income;
        e.date = {f.year, f.month, f.day};
        e.time = ledgertest::kFixtureTime;
        e.item = f.item;
        e.amount = f.amount;
        e.category = f.category;
        e.note = f.note;
        if (f.deleted) marked.insert(entries.size());
        entries.push_back(e);
    }
    return ledgertest::ledgerFileBytes(entries, marked);
}

// Offsets from the format's table, written out so that a wrong constant in the code shows.
constexpr size_t kCountAt = 16, kNextAt = 20, kLengthAt = 24, kFieldCountAt = 112;
constexpr size_t kDataStart = 764, kLength = 299;

int32_t get32(const std::string& s, size_t at) {
    int32_t v;
    std::memcpy(&v, &s[at], 4);
    return v;
}
std::string with32(std::string s, size_t at, int32_t v) {
    std::memcpy(&s[at], &v, 4);
    return s;
}

class DamagedLedger : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "damaged_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = (dir / "Database.edb").string();
        good = ledgerBytes(
            {{true, 2024, 3, 8, "wages", 100.5f, "c", "n"}, {false, 2024, 3, 9, "rice", 12.5f}});
        ASSERT_EQ(good.size(), 1362u);
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every file in the folder but the database.
    std::vector<std::string> others() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().filename() != "Database.edb") names.push_back(e.path().string());
        }
        return names;
    }
    std::string record(const std::string& file, size_t i) const {
        return file.substr(kDataStart + i * kLength, kLength);
    }

    fs::path dir;
    std::string path;
    std::string good;
};

TEST_F(DamagedLedger, OneHeaderFieldChangedKeepsBothEntriesOrIsRefusedUntouched) {
    struct Case {
        const char* change;
        size_t at;
        int32_t value;
        bool opens;
    } cases[] = {
        {"nextSerial 51 -> 49", kNextAt, 49, true},
        {"nextSerial 51 -> 50", kNextAt, 50, true},
        {"recordLength 299 -> 267 (one bit)", kLengthAt, 267, false},
        {"recordLength 299 -> 300", kLengthAt, 300, false},
        {"fieldCount 9 -> 7", kFieldCountAt, 7, false},
        {"fieldCount 9 -> 8", kFieldCountAt, 8, false},
        {"recordCount 2 -> 0", kCountAt, 0, true},
    };
    const std::regex copyName(".*/Database-[0-9]{8}-[0-9]{6}-before-repair\\.edb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
        const std::string damaged = with32(good, c.at, c.value);
        write(damaged);
        RecordStore db;
        ASSERT_EQ(ledger::openLedger(db, path), c.opens);
        if (!c.opens) {
            EXPECT_EQ(RecordStore::lastError(), store::code(store::Status::NotADatabase));
            EXPECT_EQ(read(path), damaged);
            EXPECT_TRUE(others().empty());
            // The store's own open, which knows no ledger, refuses it too rather than repair
            // records it would misread.
            RecordStore plain;
            EXPECT_FALSE(plain.open(path));
            EXPECT_EQ(read(path), damaged);
            EXPECT_TRUE(others().empty());
            continue;
        }
        // Both entries are there, byte for byte, and the header names them again.
        const std::string after = read(path);
        EXPECT_EQ(after.size(), 1362u);
        EXPECT_EQ(get32(after, kCountAt), 2);
        EXPECT_EQ(get32(after, kNextAt), 51);
        EXPECT_EQ(record(after, 0), record(good, 0));
        EXPECT_EQ(record(after, 1), record(good, 1));
        EXPECT_EQ(db.recordCount(), 2);
        // The file as it was lies beside it, and the repair says what it did.
        const store::RepairReport& r = db.lastRepair();
        ASSERT_TRUE(r.changed());
        EXPECT_TRUE(std::regex_match(r.copyPath, copyName)) << r.copyPath;
        EXPECT_EQ(others(), std::vector<std::string>{r.copyPath});
        EXPECT_EQ(read(r.copyPath), damaged);
        EXPECT_FALSE(ledger::repairLines(r).empty());
        // A second start changes nothing and copies nothing.
        db.close();
        ASSERT_TRUE(ledger::openLedger(db, path));
        EXPECT_FALSE(db.lastRepair().changed());
        EXPECT_EQ(read(path), after);
        EXPECT_EQ(others().size(), 1u);
    }
}

TEST_F(DamagedLedger, RepairLinesNameWhatWasDone) {
    write(with32(good, kNextAt, 49));
    RecordStore db;
    ASSERT_TRUE(ledger::openLedger(db, path));
    std::vector<std::string> lines;
    for (const std::string& l : ledger::repairLines(db.lastRepair())) {
        lines.push_back(ledger::gbkToUtf8(l));
    }
    EXPECT_EQ(lines, std::vector<std::string>{"下一个记录序号由 49 提高到 51，记录一条未删。"});

    db.close();
    write(with32(good, kCountAt, 0));
    ASSERT_TRUE(ledger::openLedger(db, path));
    lines.clear();
    for (const std::string& l : ledger::repairLines(db.lastRepair())) {
        lines.push_back(ledger::gbkToUtf8(l));
    }
    EXPECT_EQ(lines,
              std::vector<std::string>{"找回记录数之外的 2 条完整记录，记录数由 0 改为 2。"});
}

// A file of another table is no ledger, even when nothing about it needs repair.
TEST_F(DamagedLedger, AnotherTableIsRefusedByTheLedger) {
    std::string bytes = good;
    bytes[116 + 72 * 6 + 20] = 6;  // 金额 a Double: eight bytes where the ledger has four
    write(bytes);
    RecordStore db;
    EXPECT_FALSE(ledger::openLedger(db, path));
    EXPECT_EQ(RecordStore::lastError(), store::code(store::Status::NotADatabase));
    EXPECT_EQ(read(path), bytes);
}

// Left by a kill between the mark and the purge's first move: the ledger never leaves a mark
// between operations, so its next open purges the record. The store's own open keeps it.
TEST_F(DamagedLedger, AMarkLeftByAnInterruptedDeleteIsPurgedAtTheNextStart) {
    FixtureEntry gone{true, 2024, 3, 8, "gone", 1.f};
    gone.deleted = true;
    const std::string marked =
        ledgerBytes({{true, 2024, 3, 7, "kept", 2.f}, gone, {true, 2024, 3, 9, "also", 3.f}});
    write(marked);
    {
        RecordStore plain;
        ASSERT_TRUE(plain.open(path));
        EXPECT_EQ(plain.recordCount(), 3);
        EXPECT_FALSE(plain.lastRepair().changed());
    }
    EXPECT_EQ(read(path), marked);
    RecordStore db;
    ASSERT_TRUE(ledger::openLedger(db, path));
    EXPECT_EQ(db.lastRepair().markedPurged, 1);
    const std::string after = read(path);
    EXPECT_EQ(get32(after, kCountAt), 2);
    EXPECT_EQ(record(after, 0), record(marked, 0));
    EXPECT_EQ(record(after, 1), record(marked, 2));
    EXPECT_EQ(read(db.lastRepair().copyPath), marked);
}

// An append killed between its record and its count leaves a record of serial nextSerial that
// was never acknowledged: it goes as it always has, without a copy or a word. A record of a
// serial already given found there means the count was damaged, and is kept.
TEST_F(DamagedLedger, WhatLiesPastTheCount) {
    const std::string three = ledgerBytes(
        {{true, 2024, 3, 8, "a", 1.f}, {true, 2024, 3, 8, "b", 2.f}, {true, 2024, 3, 8, "c", 3.f}});
    struct Case {
        const char* what;
        std::string bytes;
        int32_t count;
        bool reported;
    } cases[] = {
        {"the record of an append cut short (serial nextSerial)",
         with32(with32(three, kCountAt, 2), kNextAt, 51), 2, false},
        {"half a record", with32(three.substr(0, kDataStart + 2 * kLength + 100), kCountAt, 2), 2,
         false},
        {"a counted record's old place (a purge cut short before its cut)",
         with32(three.substr(0, kDataStart + 2 * kLength) + record(three, 1), kCountAt, 2), 2,
         false},
        {"a record of a serial given before", with32(three, kCountAt, 2), 3, true},
        {"junk the size of a record",
         with32(three.substr(0, kDataStart + 2 * kLength) + std::string(kLength, 'j'), kCountAt, 2),
         2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
        write(c.bytes);
        RecordStore db;
        ASSERT_TRUE(ledger::openLedger(db, path));
        const std::string after = read(path);
        EXPECT_EQ(get32(after, kCountAt), c.count);
        EXPECT_EQ(after.size(), kDataStart + size_t(c.count) * kLength);
        for (int i = 0; i < c.count; ++i) EXPECT_EQ(record(after, i), record(three, i));
        EXPECT_EQ(db.lastRepair().changed(), c.reported);
        EXPECT_EQ(others().size(), c.reported ? 1u : 0u);
    }
}

// A counted record that lost its serial (0) keeps its entry under a serial of its own; a slot
// of zero bytes only holds nothing and goes.
TEST_F(DamagedLedger, SerialZero) {
    std::string bytes = ledgerBytes(
        {{true, 2024, 3, 8, "a", 1.f}, {true, 2024, 3, 8, "b", 2.f}, {true, 2024, 3, 8, "c", 3.f}});
    bytes = with32(bytes, kDataStart + kLength, 0);  // "b" without its serial
    std::fill(bytes.begin() + kDataStart + 2 * kLength, bytes.end(), '\0');  // an empty slot
    write(bytes);
    RecordStore db;
    ASSERT_TRUE(ledger::openLedger(db, path));
    EXPECT_EQ(db.lastRepair().serialsGiven, 1);
    EXPECT_EQ(db.lastRepair().emptySlotsRemoved, 1);
    const std::string after = read(path);
    ASSERT_EQ(get32(after, kCountAt), 2);
    EXPECT_EQ(get32(record(after, 1), 0), 52);
    EXPECT_EQ(record(after, 1).substr(4), record(bytes, 1).substr(4));
    EXPECT_EQ(get32(after, kNextAt), 53);
}

}  // namespace
