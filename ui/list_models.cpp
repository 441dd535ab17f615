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
    : QAbstractListModel(parent), list_(list) {
    list_.setObserver(this);
}

TextListModel::~TextListModel() { list_.setObserver(nullptr); }

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

void TextListModel::aboutToReset() { beginResetModel(); }
void TextListModel::reset() {
    endResetModel();
    emit listChanged();
}
void TextListModel::aboutToInsertRows(int first, int last) { beginInsertRows({}, first, last); }
void TextListModel::rowsInserted(int, int) {
    endInsertRows();
    emit listChanged();
}
void TextListModel::aboutToRemoveRow(int row) { beginRemoveRows({}, row, row); }
void TextListModel::rowRemoved(int) {
    endRemoveRows();
    emit listChanged();
}
void TextListModel::selectionChanged(int) { emit listChanged(); }

// ---- DayListModel ----

const int DayListModel::kWidths[ledger::kDayColumnCount] = {50, 150, 250, 100, 100, 200};

DayListModel::DayListModel(ledger::DayList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    checks_.assign(list_.rowCount(), 0);
    list_.setObserver(this);
}

DayListModel::~DayListModel() { list_.setObserver(nullptr); }

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
    beginResetModel();
}
void DayListModel::reset() {
    checks_.assign(list_.rowCount(), 0);
    endResetModel();
    changingRows_ = false;
    emit ledgerSelectionChanged(list_.selected());
}
void DayListModel::aboutToInsertRows(int first, int last) {
    changingRows_ = true;
    beginInsertRows({}, first, last);
}
void DayListModel::rowsInserted(int first, int last) {
    checks_.insert(checks_.begin() + first, last - first + 1, 0);
    endInsertRows();
    changingRows_ = false;
}
void DayListModel::aboutToRemoveRow(int row) {
    changingRows_ = true;
    beginRemoveRows({}, row, row);
}
void DayListModel::rowRemoved(int row) {
    checks_.erase(checks_.begin() + row);
    endRemoveRows();
    changingRows_ = false;
    // The view may have selected the next row meanwhile; show the ledger's choice.
    emit ledgerSelectionChanged(list_.selected());
}
void DayListModel::cellChanged(int row, int column) {
    emit dataChanged(index(row, column), index(row, column));
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
    : QAbstractTableModel(parent), list_(list), image_(reportImage()) {
    list_.setObserver(this);
}

ReportListModel::~ReportListModel() { list_.setObserver(nullptr); }

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

void ReportListModel::aboutToReset() { beginResetModel(); }
void ReportListModel::reset() { endResetModel(); }
void ReportListModel::aboutToInsertRows(int first, int last) { beginInsertRows({}, first, last); }
void ReportListModel::rowsInserted(int, int) { endInsertRows(); }
void ReportListModel::aboutToRemoveRow(int row) { beginRemoveRows({}, row, row); }
void ReportListModel::rowRemoved(int) { endRemoveRows(); }
void ReportListModel::cellChanged(int row, int column) {
    emit dataChanged(index(row, column), index(row, column));
}

}  // namespace ui
