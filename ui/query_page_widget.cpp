#include "ui/query_page_widget.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>

#include "ui/choice_binding.h"
#include "ui/controls.h"
#include "ui/list_models.h"
#include "ui/lunar_date_box.h"

namespace ui {
namespace {

// The report's expense item column, and the room a caption needs beside its text: the skin's
// padding on either side and the section's border.
constexpr int kExpenseItemColumn = 5;
constexpr int kCaptionPadding = 6;

}  // namespace

QueryPageWidget::QueryPageWidget(ledger::RangeReport& report, ledger::ReportList& reportList,
                                 ledger::TextList& filter, QWidget* parent)
    : QWidget(parent) {
    setUpPage(this, "查");
    makeLabel(this, "标签6", QStringLiteral("起始时间"), {7, 8, 48, 24});
    startBox_ =
        makeDateBox(this, "农历日期框2", QStringLiteral("起始时间"), {55, 8, 200, 24}, font());
    makeLabel(this, "标签7", QStringLiteral("终止时间"), {264, 10, 47, 24});
    endBox_ =
        makeDateBox(this, "农历日期框3", QStringLiteral("终止时间"), {312, 10, 199, 24}, font());
    makeLabel(this, "标签8", QStringLiteral("类别"), {536, 8, 24, 24});
    filterBox_ = makeCombo(this, "组合框3", false, {568, 8, 143, 24});
    filterBox_->setFont(pixelFont(QString(), 16));
    filterBox_->setProperty("tinted", true);
    filterBox_->setAccessibleName(QStringLiteral("查询类别"));
    auto* query = makeButton(this, "按钮3", QStringLiteral("查询"), {735, 8, 48, 24});
    connect(query, &QPushButton::clicked, this, [&report] { report.run(); });
    auto* exportButton = makeButton(this, "按钮_导出", QStringLiteral("导出..."), {787, 8, 48, 24});
    connect(exportButton, &QPushButton::clicked, this, &QueryPageWidget::exportRequested);

    auto* reportModel = new ReportListModel(reportList, this);
    reportView_ = makeList(this, "超级列表框_查", reportModel, ReportListModel::kWidths,
                           ledger::kReportColumnCount, 20);
    reportView_->setGeometry(1, 42, 782, 286);
    reportView_->setFont(songti(14));
    reportView_->horizontalHeader()->setFont(font());
    reportView_->setIconSize(QSize(16, 15));
    reportView_->setProperty("reportList", true);
    reportView_->setAccessibleName(QStringLiteral("查询结果"));

    new ChoiceBinding(filterBox_, filter, this);
}

void QueryPageWidget::fitListToPage() {
    reportView_->setGeometry(1, 42, 840, 454);
    // The defined widths of the first seven columns leave 备注 almost no room in the full view,
    // less still with a vertical scroll bar; the expense item column, the widest with room to
    // spare around its caption, gives up what 备注 needs, so the list fits without a
    // horizontal scroll bar and every caption reads whole. The others keep their widths.
    QHeaderView* h = reportView_->horizontalHeader();
    reportView_->ensurePolished();
    const int last = ledger::kReportColumnCount - 1;
    const int room = reportView_->width() - 2 * reportView_->frameWidth() -
                     reportView_->verticalScrollBar()->sizeHint().width();
    int others = 0;
    for (int c = 0; c < last; ++c) others += ReportListModel::kWidths[c];
    const QString caption = reportView_->model()->headerData(last, Qt::Horizontal).toString();
    // A stretched section never goes below the header's smallest section.
    const int needed = std::max(h->fontMetrics().horizontalAdvance(caption) + kCaptionPadding,
                                h->minimumSectionSize());
    const int lacking = others + needed - room;
    if (lacking > 0) {
        h->resizeSection(kExpenseItemColumn,
                         ReportListModel::kWidths[kExpenseItemColumn] - lacking);
    }
}

QDate QueryPageWidget::startDate() const { return startBox_->date(); }
QDate QueryPageWidget::endDate() const { return endBox_->date(); }

void QueryPageWidget::setDates(const QDate& start, const QDate& end) {
    startBox_->setDate(start);
    endBox_->setDate(end);
}

}  // namespace ui
