#pragma once

// A plain list of texts with a chosen item, as the window's drop-down lists show it: the item
// input's presets, the entry category choices, the query filter and the settings category box.

#include <string>
#include <utility>
#include <vector>

#include "ledger/list_observer.h"

namespace ledger {

class TextList {
  public:
    const std::vector<std::string>& items() const { return items_; }
    int size() const { return static_cast<int>(items_.size()); }
    const std::string& at(int i) const { return items_.at(i); }

    void clear() {
        if (observer_) observer_->aboutToReset();
        items_.clear();
        selected_ = -1;
        if (observer_) observer_->reset();
    }
    void append(std::string text) {
        int row = size();
        if (observer_) observer_->aboutToInsertRows(row, row);
        items_.push_back(std::move(text));
        if (observer_) observer_->rowsInserted(row, row);
    }
    void removeAt(int i) {
        if (i < 0 || i >= size()) return;
        if (observer_) observer_->aboutToRemoveRow(i);
        items_.erase(items_.begin() + i);
        if (selected_ == i) {
            selected_ = -1;
        } else if (selected_ > i) {
            --selected_;
        }
        if (observer_) observer_->rowRemoved(i);
    }

    // The chosen item's index, -1 when none.
    int selected() const { return selected_; }
    // Chooses item i; an index outside the list chooses none.
    void select(int i) {
        selected_ = (i >= 0 && i < size()) ? i : -1;
        if (observer_) observer_->selectionChanged(selected_);
    }
    // The chosen item's text, empty when none is chosen.
    std::string selectedText() const { return selected_ >= 0 ? items_[selected_] : std::string(); }
    // Chooses the first item whose text is exactly `text`; none is chosen when no item has it.
    void selectText(const std::string& text) {
        int found = -1;
        for (int i = 0; i < size(); ++i) {
            if (items_[i] == text) {
                found = i;
                break;
            }
        }
        select(found);
    }

    void setObserver(ListObserver* observer) { observer_ = observer; }

  private:
    std::vector<std::string> items_;
    int selected_ = -1;
    ListObserver* observer_ = nullptr;
};

}  // namespace ledger
