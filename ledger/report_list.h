#pragma once

// The query page's report table as a plain model: rows of eight text cells, each cell with an
// image index. The window's Qt model shows it and learns of changes through a ListObserver.

#include <array>
#include <string>
#include <vector>

#include "ledger/list_observer.h"

namespace ledger {

inline constexpr int kReportColumnCount = 8;
inline constexpr int kNoImage = -1;
// The one picture the report puts into cells (block numbers and the separator row).
inline constexpr int kReportImage = 0;

struct ReportRow {
    std::array<std::string, kReportColumnCount> texts{};
    std::array<int, kReportColumnCount> images{kNoImage, kNoImage, kNoImage, kNoImage,
                                               kNoImage, kNoImage, kNoImage, kNoImage};
    bool operator==(const ReportRow&) const = default;
};

class ReportList {
  public:
    int rowCount() const { return static_cast<int>(rows_.size()); }
    // The cell's text; empty for a cell outside the list.
    const std::string& text(int row, int column) const;
    // The cell's image index; kNoImage for a cell without one or outside the list.
    int image(int row, int column) const;
    const std::vector<ReportRow>& rows() const { return rows_; }

    // Removes every row (one reset notification).
    void removeAll();
    // Appends one empty row and returns its index (one insert notification).
    int appendRow();
    // Makes room for `rows` rows in all, so that later appends do not move the rows already
    // there; changes nothing that a view sees.
    void reserve(int rows);
    // Appends `rows` at the end with a single insert notification; nothing when it is empty.
    void appendRows(std::vector<ReportRow>&& rows);
    // Sets one cell's text or image; a cell outside the list is ignored.
    void setText(int row, int column, std::string text);
    void setImage(int row, int column, int image);

    // The observer told of every change; null for none. Not owned.
    void setObserver(ListObserver* observer) { observer_ = observer; }

  private:
    bool inside(int row, int column) const {
        return row >= 0 && row < rowCount() && column >= 0 && column < kReportColumnCount;
    }

    std::vector<ReportRow> rows_;
    ListObserver* observer_ = nullptr;
};

}  // namespace ledger
