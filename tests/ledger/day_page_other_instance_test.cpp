// The day page while another instance of the program works on the same Database.edb: the other
// one's purge may move the records between the page's locate and its mark.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ledger/day_page.h"
#include "ledger/day_texts.h"
#include "store/file_access.h"
#include "tests/ledger/day_page_fixture.h"

namespace ledger::testing {
namespace {

// Runs `hook` once, just before the given take of a one-byte lock at `offset` (counted from 1),
// as if another process had acted at that moment.
class LockHookAccess : public store::FileAccess {
  public:
    int64_t offset = -1;
    int nth = 0;
    std::function<void()> hook;

    store::FileError open(const std::string& path, bool writable,
                          std::unique_ptr<store::File>& out) override {
        std::unique_ptr<store::File> inner;
        store::FileError e = store::posixFileAccess()->open(path, writable, inner);
        if (e == store::FileError::None) out = std::make_unique<HookFile>(std::move(inner), *this);
        return e;
    }

  private:
    class HookFile : public store::File {
      public:
        HookFile(std::unique_ptr<store::File> inner, LockHookAccess& access)
            : inner_(std::move(inner)), access_(access) {}
        store::IoResult readAt(int64_t o, void* b, size_t n) override {
            return inner_->readAt(o, b, n);
        }
        store::IoResult writeAt(int64_t o, const void* b, size_t n) override {
            return inner_->writeAt(o, b, n);
        }
        store::IoResult size() override { return inner_->size(); }
        store::FileError truncate(int64_t n) override { return inner_->truncate(n); }
        store::FileError sync() override { return inner_->sync(); }
        store::FileError lock(int64_t o, int64_t n) override {
            if (access_.hook && n == 1 && o == access_.offset && --access_.nth == 0) {
                auto hook = std::move(access_.hook);
                access_.hook = nullptr;
                hook();
            }
            return inner_->lock(o, n);
        }
        store::FileError unlock(int64_t o, int64_t n) override { return inner_->unlock(o, n); }
        bool writable() const override { return inner_->writable(); }

      private:
        std::unique_ptr<store::File> inner_;
        LockHookAccess& access_;
    };
};

// What another instance does between the page's locate and its write: it deletes "a", the first
// record, and purges, so every later record moves down one place.
void deleteTheFirstRecordFromAnotherInstance(const std::string& path) {
    store::RecordStore other;
    ASSERT_TRUE(other.open(path));
    ASSERT_TRUE(other.goTo(1));
    ASSERT_TRUE(other.markDeleted());
    ASSERT_TRUE(other.purgeDeleted());
}

// The items of the live records, in store order.
std::vector<std::string> liveItems(store::RecordStore& store) {
    std::vector<std::string> items;
    const int item[] = {kFieldItem};
    EXPECT_TRUE(store.readRecords(item, [&](const store::RecordView& r) {
        if (!r.isDeleted()) items.emplace_back(r.text(kFieldItem));
        return true;
    }));
    return items;
}

TEST_F(DayPageTest, DeleteLeavesTheRecordAnotherInstanceMovedUnderTheCursor) {
    storeEntry(true, window.day, "a", 1);
    storeEntry(true, window.day, "b", 2);
    storeEntry(true, window.day, "c", 3);
    storeEntry(true, window.day, "d", 4);
    store.close();
    auto hooks = std::make_shared<LockHookAccess>();
    store::RecordStore mine(hooks);
    ASSERT_TRUE(mine.open(ledgerPath));
    DayPage page(mine, window, guard, categories);
    page.setLedgerMode(LedgerMode::Income);
    page.refreshDayView();
    ASSERT_EQ(page.dayList().rowCount(), 4);

    // The page locates "c" at position 3 and checks it there; before it marks it, the other
    // instance deletes "a", and position 3 holds "d".
    hooks->offset = 116 + 72 * 9 + 2 * kLedgerRecordLength;
    hooks->nth = 2;  // the check of the serial, then the mark
    hooks->hook = [&] { deleteTheFirstRecordFromAnotherInstance(ledgerPath); };
    page.dayList().select(2);
    page.deleteEntry();
    EXPECT_EQ(hooks->hook, nullptr);

    // "d" is not deleted in place of "c"; "c" is still there to be deleted again.
    EXPECT_EQ(liveItems(mine), (std::vector<std::string>{"b", "c", "d"}));
    page.refreshDayView();
    page.dayList().select(1);
    page.deleteEntry();
    EXPECT_EQ(liveItems(mine), (std::vector<std::string>{"b", "d"}));
}

TEST_F(DayPageTest, SaveLeavesTheRecordAnotherInstanceMovedUnderTheCursor) {
    storeEntry(true, window.day, "a", 1);
    storeEntry(true, window.day, "b", 2);
    storeEntry(true, window.day, "c", 3);
    storeEntry(true, window.day, "d", 4);
    store.close();
    auto hooks = std::make_shared<LockHookAccess>();
    store::RecordStore mine(hooks);
    ASSERT_TRUE(mine.open(ledgerPath));
    DayPage page(mine, window, guard, categories);
    page.setLedgerMode(LedgerMode::Income);
    page.refreshDayView();
    page.dayList().select(2);
    page.beginModify();  // "c" at position 3
    ASSERT_TRUE(page.pendingModify());

    // The save checks "c" at position 3 and reads its fields; before its first write the other
    // instance deletes "a", and position 3 holds "d".
    hooks->offset = 116 + 72 * 9 + 2 * kLedgerRecordLength;
    hooks->nth = 6;  // the check of the serial, four reads, then the first write
    hooks->hook = [&] { deleteTheFirstRecordFromAnotherInstance(ledgerPath); };
    page.entryInputs().item = "changed";
    page.entryInputs().amount = "9";
    page.addOrSave();
    EXPECT_EQ(hooks->hook, nullptr);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, texts::kSaveFailed);

    EXPECT_EQ(liveItems(mine), (std::vector<std::string>{"b", "c", "d"}));
}

}  // namespace
}  // namespace ledger::testing
