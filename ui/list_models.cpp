#include "ui/list_models.h"

#include <QPainter>

#include "ledger/gbk.h"

namespace ui {
namespace {

QString shown(const std::string& gbk) { return QString::fromStdString(ledger::gbkToUtf8(gbk)); }

const char* const kDayCaptions[ledger::kDayColumnCount] = {
    " 序号",       "      日    期", "             项         目",
    "金  额     ", "      类",       "        备        注"};
const Qt::Alignment kDayAlignment[ledger::kDayColumnCount] = {
    Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft, Qt::AlignLeft};

const char* const kReportCaptions[ledger::kReportColumnCount] = {
    "序号",        "日  期    ",    "结余金额 ",  "     收入项目",
    "收入金额   ", "     开支项目", "开支金额  ", "备注"};
const Qt::Alignment kReportAlignment[ledger::kReportColumnCount] = {
    Qt::AlignLeft,  Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft,
    Qt::AlignRight, Qt::AlignLeft,  Qt::AlignRight, Qt::AlignLeft};

}  // namespace

// ---- TextListModel ----

TextListModel::TextListModel(ledger::TextList& list, QObject* parent)
    : ListModelBase(list, parent) {}

int TextListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.size();
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.size()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::AccessibleTextRole) {
        return shown(list_.at(index.row()));
    }
    return {};
}

void TextListModel::reset() {
    ListModelBase::reset();
    emit listChanged();
}
void TextListModel::rowsInserted(int first, int last) {
    ListModelBase::rowsInserted(first, last);
    emit listChanged();
}
void TextListModel::rowRemoved(int row) {
    ListModelBase::rowRemoved(row);
    emit listChanged();
}
void TextListModel::selectionChanged(int) { emit listChanged(); }

// ---- DayListModel ----

const int DayListModel::kWidths[ledger::kDayColumnCount] = {50, 150, 250, 100, 100, 200};

DayListModel::DayListModel(ledger::DayList& list, QObject* parent)
    : ListModelBase(list, parent), checks_(static_cast<size_t>(list.rowCount()), 0) {}

int DayListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.rowCount();
}

int DayListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ledger::kDayColumnCount;
}

QVariant DayListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return shown(list_.text(index.row(), index.column()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(kDayAlignment[index.column()] | Qt::AlignVCenter);
        case Qt::CheckStateRole:
            if (index.column() == 0) return checks_[index.row()] ? Qt::Checked : Qt::Unchecked;
            return {};
        default:
            return {};
    }
}

bool DayListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    checks_[index.row()] = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant DayListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ledger::kDayColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) return QString::fromUtf8(kDayCaptions[section]);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(kDayAlignment[section] | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags DayListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

void DayListModel::aboutToReset() {
    changingRows_ = true;
    ListModelBase::aboutToReset();
}
void DayListModel::reset() {
    checks_.assign(list_.rowCount(), 0);
    ListModelBase::reset();
    changingRows_ = false;
    emit ledgerSelectionChanged(list_.selected());
}
void DayListModel::aboutToInsertRows(int first, int last) {
    changingRows_ = true;
    ListModelBase::aboutToInsertRows(first, last);
}
void DayListModel::rowsInserted(int first, int last) {
    checks_.insert(checks_.begin() + first, last - first + 1, 0);
    ListModelBase::rowsInserted(first, last);
    changingRows_ = false;
}
void DayListModel::aboutToRemoveRow(int row) {
    changingRows_ = true;
    ListModelBase::aboutToRemoveRow(row);
}
void DayListModel::rowRemoved(int row) {
    checks_.erase(checks_.begin() + row);
    ListModelBase::rowRemoved(row);
    changingRows_ = false;
    // The view may have selected the next row meanwhile; show the ledger's choice.
    emit ledgerSelectionChanged(list_.selected());
}
void DayListModel::selectionChanged(int row) { emit ledgerSelectionChanged(row); }

// ---- ReportListModel ----

const int ReportListModel::kWidths[ledger::kReportColumnCount] = {50,  110, 100, 180,
                                                                  100, 180, 100, 200};

QPixmap ReportListModel::reportImage() {
    QPixmap p(16, 15);
    p.fill(QColor(232, 150, 155));
    QPainter painter(&p);
    painter.setPen(QColor(240, 176, 180));
    painter.drawLine(0, 1, 15, 1);
    return p;
}

ReportListModel::ReportListModel(ledger::ReportList& list, QObject* parent)
    : ListModelBase(list, parent), image_(reportImage()) {}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.rowCount();
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ledger::kReportColumnCount;
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return shown(list_.text(index.row(), index.column()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(kReportAlignment[index.column()] | Qt::AlignVCenter);
        case Qt::DecorationRole:
            // Only image 0 exists; any other index shows no picture.
            if (list_.image(index.row(), index.column()) == ledger::kReportImage) return image_;
            return {};
        default:
            return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ledger::kReportColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) return QString::fromUtf8(kReportCaptions[section]);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(kReportAlignment[section] | Qt::AlignVCenter);
    }
    return {};
}

}  // namespace ui
