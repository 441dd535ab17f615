#pragma once

// The query page ("查"): the start and end date boxes, the category filter and the 查询 button,
// and the report list the ledger's RangeReport fills.

#include <QDate>
#include <QWidget>

#include "ledger/range_report.h"
#include "ledger/report_list.h"
#include "ledger/text_list.h"

class QComboBox;
class QTableView;

namespace ui {

class LunarDateBox;

class QueryPageWidget : public QWidget {
    Q_OBJECT
  public:
    // Builds the page's controls in their first state, in the font `parent` passes down: the
    // filter shows `filter`, the list shows `reportList`, and 查询 runs `report`. All three
    // outlive the page.
    QueryPageWidget(ledger::RangeReport& report, ledger::ReportList& reportList,
                    ledger::TextList& filter, QWidget* parent);

    // Gives the report list its full place on the page, as startup sizes it.
    void fitListToPage();

    // The start and end date boxes' dates.
    QDate startDate() const;
    QDate endDate() const;
    // Writes `start` into the start box, then `end` into the end box; each box ignores a date it
    // cannot show and queues its date-changed notification for one it can.
    void setDates(const QDate& start, const QDate& end);

  signals:
    // 导出...: the user asks to export the range and category the page has chosen.
    void exportRequested();

  private:
    LunarDateBox* startBox_ = nullptr;  // 农历日期框2
    LunarDateBox* endBox_ = nullptr;    // 农历日期框3
    QComboBox* filterBox_ = nullptr;    // 组合框3
    QTableView* reportView_ = nullptr;  // 超级列表框_查
};

}  // namespace ui
