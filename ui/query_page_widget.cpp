#include "ui/query_page_widget.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

#include "ui/choice_binding.h"
#include "ui/controls.h"
#include "ui/list_models.h"
#include "ui/lunar_date_box.h"

namespace ui {

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

void QueryPageWidget::fitListToPage() { reportView_->setGeometry(1, 42, 840, 454); }

QDate QueryPageWidget::startDate() const { return startBox_->date(); }
QDate QueryPageWidget::endDate() const { return endBox_->date(); }

void QueryPageWidget::setDates(const QDate& start, const QDate& end) {
    startBox_->setDate(start);
    endBox_->setDate(end);
}

}  // namespace ui
