#pragma once

// The day page's list: one row per entry of the chosen day and mode. Each row keeps, beside its
// six texts, the entry it shows, so that the record behind a row is found by the entry's serial
// and the day's total is summed from stored amounts, never from the rounded two-decimal text.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ledger/entry.h"
#include "ledger/list_observer.h"

namespace ledger {

// Column numbers of a DayList row.
inline constexpr int kColumnNumber = 0;    // row number, given when the row is added
inline constexpr int kColumnDateTime = 1;  // 2024年3月5日08时05分
inline constexpr int kColumnItem = 2;
inline constexpr int kColumnAmount = 3;  // amountText of the stored amount
inline constexpr int kColumnCategory = 4;
inline constexpr int kColumnNote = 5;
inline constexpr int kDayColumnCount = 6;

struct DayRow {
    std::array<std::string, kDayColumnCount> texts;
    Entry entry;  // the entry the row shows, with its record's serial
    bool operator==(const DayRow&) const = default;
};

class DayList {
  public:
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const DayRow& row(int r) const { return rows_.at(r); }
    const std::string& text(int r, int column) const { return rows_.at(r).texts.at(column); }
    const Entry& entry(int r) const { return rows_.at(r).entry; }
    // The row showing the record with `serial`, -1 when none does.
    int findSerial(int32_t serial) const {
        for (int r = 0; r < rowCount(); ++r) {
            if (rows_[r].entry.serial == serial) return r;
        }
        return -1;
    }

    // The selected row, -1 when none is selected.
    int selected() const { return selected_; }
    // Selects row r; an index outside the list selects none.
    void select(int r) {
        selected_ = (r >= 0 && r < rowCount()) ? r : -1;
        if (observer_) observer_->selectionChanged(selected_);
    }

    // Replaces every row (and drops the selection) in one reset.
    void assign(std::vector<DayRow> rows) {
        if (observer_) observer_->aboutToReset();
        rows_ = std::move(rows);
        selected_ = -1;
        if (observer_) observer_->reset();
    }
    void clear() { assign({}); }
    void append(DayRow row) {
        int r = rowCount();
        if (observer_) observer_->aboutToInsertRows(r, r);
        rows_.push_back(std::move(row));
        if (observer_) observer_->rowsInserted(r, r);
    }
    // Sets one text of row r; an index outside the list changes nothing.
    void setText(int r, int column, std::string text) {
        if (r < 0 || r >= rowCount() || column < 0 || column >= kDayColumnCount) return;
        rows_[r].texts[column] = std::move(text);
        if (observer_) observer_->cellChanged(r, column);
    }
    // Sets the entry that row r carries (its texts are set apart with setText); an index outside
    // the list changes nothing.
    void setEntry(int r, Entry entry) {
        if (r >= 0 && r < rowCount()) rows_[r].entry = std::move(entry);
    }
    // Removes row r; the other rows keep their texts, row numbers included. A selection on the
    // removed row is dropped, one below it moves up with its row.
    void removeRow(int r) {
        if (r < 0 || r >= rowCount()) return;
        if (observer_) observer_->aboutToRemoveRow(r);
        rows_.erase(rows_.begin() + r);
        bool moved = selected_ >= r;
        if (selected_ == r) {
            selected_ = -1;
        } else if (selected_ > r) {
            --selected_;
        }
        if (observer_) observer_->rowRemoved(r);
        if (moved && observer_) observer_->selectionChanged(selected_);
    }

    void setObserver(ListObserver* observer) { observer_ = observer; }

  private:
    std::vector<DayRow> rows_;
    int selected_ = -1;
    ListObserver* observer_ = nullptr;
};

}  // namespace ledger
