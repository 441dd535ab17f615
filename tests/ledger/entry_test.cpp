// The entry codec against ledger files written byte by byte from the format's offsets: what the
// codec writes is those bytes, what it reads from them is the entries written.

#include "ledger/entry.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ledger/ledger_schema.h"
#include "testsupport/fault_file_access.h"
#include "store/record_store.h"
#include "tests/ledger/entry_file.h"
#include "tests/store/test_files.h"

namespace ledger {
namespace {

Entry entry(bool income, Date d, std::string time, std::string item, float amount,
            std::string category, std::string note) {
    Entry e;
    e.income = income;
    e.date = d;
    e.time = std::move(time);
    e.item = std::move(item);
    e.amount = amount;
    e.category = std::move(category);
    e.note = std::move(note);
    return e;
}

// Entries that reach every edge of the record: texts filling their fields exactly (stored
// without a terminator), empty texts, GBK texts, an amount that is no short decimal.
std::vector<Entry> sampleEntries() {
    return {
        entry(true, {2024, 3, 5},
              "08\xca\xb1"
              "05\xb7\xd6",
              "\xb9\xa4\xd7\xca", 6800, "", ""),
        entry(false, {2024, 12, 31},
              "00\xca\xb1"
              "07\xb7\xd6",
              std::string(kItemWidth, 'i'), 12.345f, std::string(kCategoryWidth, 'c'),
              std::string(kNoteWidth, 'n')),
        entry(false, {1901, 2, 19},
              "23\xca\xb1"
              "59\xb7\xd6",
              "\xc2\xf2\xb2\xcb", -0.5f, "\xc9\xfa\xbb\xee\xbf\xaa\xd6\xa7", "\xd4\xe7\xca\xd0"),
        entry(true, {2048, 1, 1}, "", "x", 0, "", ""),
    };
}

std::vector<Entry> readAll(store::RecordStore& s) {
    std::vector<Entry> out;
    EXPECT_TRUE(readEntries(s, [&](const EntryView& v) {
        out.push_back(v.entry());
        return true;
    }));
    return out;
}

class EntryCodecTest : public ::testing::Test {
  protected:
    void useFile(const std::vector<Entry>& entries, const std::set<size_t>& marked = {}) {
        store.close();
        ASSERT_TRUE(ledgertest::writeLedgerFile(path, entries, marked));
        ASSERT_TRUE(store.open(path));
    }

    store_test::ScratchDir dir;
    std::string path = dir.path("Database.edb");
    std::shared_ptr<testsupport::FaultFileAccess> files = std::make_shared<testsupport::FaultFileAccess>();
    store::RecordStore store{files};
};

TEST_F(EntryCodecTest, EntriesWrittenByteByByteReadBackWithTheirSerials) {
    const std::vector<Entry> written = sampleEntries();
    useFile(written, {2});  // the third record is marked deleted

    std::vector<Entry> expected;
    std::vector<int32_t> indexes;
    for (size_t i = 0; i < written.size(); ++i) {
        if (i == 2) continue;
        Entry e = written[i];
        e.serial = kFirstSerial + static_cast<int32_t>(i);
        expected.push_back(e);
        indexes.push_back(static_cast<int32_t>(i));
    }
    std::vector<Entry> read;
    std::vector<int32_t> readIndexes;
    ASSERT_TRUE(readEntries(store, [&](const EntryView& v) {
        read.push_back(v.entry());
        readIndexes.push_back(v.index());
        // The view's own reads agree with the entry it builds.
        EXPECT_EQ(v.income(), read.back().income);
        EXPECT_EQ(v.date(), read.back().date);
        EXPECT_TRUE(v.isOn(read.back().date));
        EXPECT_EQ(v.amount(), read.back().amount);
        EXPECT_EQ(v.item(), read.back().item);
        return true;
    }));
    EXPECT_EQ(read, expected);
    EXPECT_EQ(readIndexes, indexes);
}

TEST_F(EntryCodecTest, AppendedEntriesAreTheBytesTheFormatDefines) {
    useFile({});
    const std::vector<Entry> entries = sampleEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry e = entries[i];
        e.serial = 7;  // not the store's to take
        EXPECT_EQ(appendEntry(store, e), kFirstSerial + static_cast<int32_t>(i));
        EXPECT_EQ(store.currentSerial(), kFirstSerial + static_cast<int32_t>(i));
    }
    store.close();
    EXPECT_EQ(store_test::readBytes(path), ledgertest::ledgerFileBytes(entries));
}

TEST_F(EntryCodecTest, TextsLongerThanTheirFieldsAreCut) {
    useFile({});
    Entry e = entry(true, {2024, 3, 5},
                    "08\xca\xb1"
                    "05\xb7\xd6"
                    "extra",
                    std::string(250, 'i'), 1, std::string(30, 'c'), std::string(60, 'n'));
    ASSERT_NE(appendEntry(store, e), 0);
    Entry cut = e;
    cut.time.resize(kTimeWidth);
    cut.item.resize(kItemWidth);
    cut.category.resize(kCategoryWidth);
    cut.note.resize(kNoteWidth);
    cut.serial = kFirstSerial;
    EXPECT_EQ(readAll(store), std::vector<Entry>{cut});
}

TEST_F(EntryCodecTest, AnEntryIsOnItsOwnDayOnly) {
    useFile({entry(true, {2024, 3, 5}, "", "a", 1, "", "")});
    const struct {
        Date day;
        bool on;
    } cases[] = {
        {{2024, 3, 5}, true},  {{2024, 4, 5}, false}, {{2023, 3, 5}, false},
        {{2024, 3, 6}, false}, {{2025, 4, 6}, false},
    };
    for (const auto& c : cases) {
        bool on = false;
        ASSERT_TRUE(readEntries(store, [&](const EntryView& v) {
            on = v.isOn(c.day);
            return true;
        }));
        EXPECT_EQ(on, c.on) << c.day.year << "-" << c.day.month << "-" << c.day.day;
    }
}

TEST_F(EntryCodecTest, AWalkStopsWhereTheVisitorSays) {
    useFile(sampleEntries());
    int visits = 0;
    EXPECT_TRUE(readEntries(store, [&](const EntryView& v) {
        ++visits;
        return v.serial() != kFirstSerial + 1;
    }));
    EXPECT_EQ(visits, 2);
}

TEST_F(EntryCodecTest, AStoreWithoutTheLedgersFieldsHoldsNoEntries) {
    const Entry e = sampleEntries()[0];
    // Closed.
    store.close();
    EXPECT_FALSE(holdsEntries(store));
    EXPECT_FALSE(readEntries(store, [](const EntryView&) { return true; }));
    EXPECT_EQ(appendEntry(store, e), 0);
    EXPECT_FALSE(rewriteEntry(store, kFirstSerial, e));

    // Open, but with the first eight fields only: no category field.
    std::string bytes = emptyLedgerDatabase();
    bytes.resize(116 + 72 * 8);
    bytes[112] = 8;
    bytes[24] = static_cast<char>(279 & 0xFF);
    bytes[25] = static_cast<char>(279 >> 8);
    store_test::writeBytes(path, bytes);
    ASSERT_TRUE(store.open(path));
    EXPECT_FALSE(holdsEntries(store));
    int visits = 0;
    EXPECT_FALSE(readEntries(store, [&](const EntryView&) { return ++visits, true; }));
    EXPECT_EQ(visits, 0);
    EXPECT_EQ(appendEntry(store, e), 0);
    EXPECT_EQ(store.recordCount(), 0);
}

TEST_F(EntryCodecTest, ARewriteChangesItemAmountNoteAndCategoryOnly) {
    const std::vector<Entry> entries = sampleEntries();
    useFile(entries);
    const int32_t serial = kFirstSerial + 1;
    Entry change = entry(true, {2000, 1, 1},
                         "99\xca\xb1"
                         "99\xb7\xd6",
                         "changed", 20, "\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7", "new note");
    ASSERT_TRUE(store.goTo(2));
    ASSERT_TRUE(rewriteEntry(store, serial, change));

    std::vector<Entry> expected = entries;
    for (size_t i = 0; i < expected.size(); ++i) expected[i].serial = kFirstSerial + int32_t(i);
    // The kind, date and time stay as the entry was added.
    expected[1].item = change.item;
    expected[1].amount = change.amount;
    expected[1].note = change.note;
    expected[1].category = change.category;
    EXPECT_EQ(readAll(store), expected);

    // A record that holds another serial now is left alone.
    ASSERT_TRUE(store.goTo(3));
    EXPECT_FALSE(rewriteEntry(store, serial, sampleEntries()[0]));
    EXPECT_EQ(readAll(store), expected);
}

TEST_F(EntryCodecTest, ARewriteIsAllOrNothingAtEveryFailingWrite) {
    const std::vector<Entry> entries = sampleEntries();
    const Entry change = entry(false, {2024, 1, 1}, "", "changed", 20, "c", "n");
    for (int k = 0;; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " fails");
        useFile(entries);
        ASSERT_TRUE(store.goTo(1));
        testsupport::FaultPlan plan;
        plan.failWriteAt = k;
        files->setPlan(plan);
        const bool done = rewriteEntry(store, kFirstSerial, change);
        files->setPlan({});

        std::vector<Entry> expected = entries;
        for (size_t i = 0; i < expected.size(); ++i) expected[i].serial = kFirstSerial + int32_t(i);
        if (done) {
            expected[0].item = change.item;
            expected[0].amount = change.amount;
            expected[0].note = change.note;
            expected[0].category = change.category;
        }
        EXPECT_EQ(readAll(store), expected);
        if (done) break;
        ASSERT_LT(k, 10);
    }
}

}  // namespace
}  // namespace ledger
