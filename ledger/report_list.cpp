#include "ledger/report_list.h"

#include <iterator>
#include <utility>

namespace ledger {

namespace {
const std::string kEmptyText;
}

const std::string& ReportList::text(int row, int column) const {
    return inside(row, column) ? rows_[row].texts[column] : kEmptyText;
}

int ReportList::image(int row, int column) const {
    return inside(row, column) ? rows_[row].images[column] : kNoImage;
}

void ReportList::removeAll() {
    if (observer_) observer_->aboutToReset();
    rows_.clear();
    rows_.shrink_to_fit();
    if (observer_) observer_->reset();
}

int ReportList::appendRow() {
    int row = rowCount();
    if (observer_) observer_->aboutToInsertRows(row, row);
    rows_.emplace_back();
    if (observer_) observer_->rowsInserted(row, row);
    return row;
}

void ReportList::reserve(int rows) {
    if (rows > 0) rows_.reserve(static_cast<size_t>(rows));
}

void ReportList::appendRows(std::vector<ReportRow>&& rows) {
    if (rows.empty()) return;
    int first = rowCount();
    int last = first + static_cast<int>(rows.size()) - 1;
    if (observer_) observer_->aboutToInsertRows(first, last);
    if (rows_.empty() && rows_.capacity() <= rows.capacity()) {
        rows_ = std::move(rows);
    } else {
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.end()));
    }
    rows.clear();
    if (observer_) observer_->rowsInserted(first, last);
}

void ReportList::setText(int row, int column, std::string text) {
    if (!inside(row, column)) return;
    rows_[row].texts[column] = std::move(text);
    if (observer_) observer_->cellChanged(row, column);
}

void ReportList::setImage(int row, int column, int image) {
    if (!inside(row, column)) return;
    rows_[row].images[column] = image;
    if (observer_) observer_->cellChanged(row, column);
}

}  // namespace ledger
