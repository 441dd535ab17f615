#pragma once

// Qt models over the ledger's plain lists. Each wraps one list, holds none of its state, and
// turns the list's change notices into the model signals; texts cross from GBK to UTF-8 here.

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QPixmap>
#include <vector>

#include "ledger/day_list.h"
#include "ledger/list_observer.h"
#include "ledger/report_list.h"
#include "ledger/text_list.h"

namespace ui {

// What every model here shares: it observes its list for as long as it lives and turns the
// list's row notices into the model's begin and end calls, so a view never reads a row count
// that the list no longer has. Models that do more on a notice override it and call this one.
template <class QtModel, class List>
class ListModelBase : public QtModel, public ledger::ListObserver {
  public:
    List& list() const { return list_; }

  protected:
    ListModelBase(List& list, QObject* parent) : QtModel(parent), list_(list) {
        list_.setObserver(this);
    }
    ~ListModelBase() override { list_.setObserver(nullptr); }

    void aboutToReset() override { this->beginResetModel(); }
    void reset() override { this->endResetModel(); }
    void aboutToInsertRows(int first, int last) override { this->beginInsertRows({}, first, last); }
    void rowsInserted(int, int) override { this->endInsertRows(); }
    void aboutToRemoveRow(int row) override { this->beginRemoveRows({}, row, row); }
    void rowRemoved(int) override { this->endRemoveRows(); }
    void cellChanged(int row, int column) override {
        const QModelIndex at = this->index(row, column);
        emit this->dataChanged(at, at);
    }

    List& list_;
};

// A drop-down list's items over a TextList.
class TextListModel : public ListModelBase<QAbstractListModel, ledger::TextList> {
    Q_OBJECT
  public:
    TextListModel(ledger::TextList& list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  signals:
    // After any change of the items or of the chosen item, so the view can show the choice.
    void listChanged();

  private:
    void reset() override;
    void rowsInserted(int first, int last) override;
    void rowRemoved(int row) override;
    void selectionChanged(int row) override;
};

// The day list: six columns, check boxes in front of column 0 (their state lives here, since
// nothing ever reads it).
class DayListModel : public ListModelBase<QAbstractTableModel, ledger::DayList> {
    Q_OBJECT
  public:
    DayListModel(ledger::DayList& list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // True while the ledger is inserting, removing or replacing rows. A view moves its own
    // selection then (it selects the row after a removed one), which is not the user's choice.
    bool changingRows() const { return changingRows_; }

    static const int kWidths[ledger::kDayColumnCount];

  signals:
    // The ledger chose row `row` (-1: none).
    void ledgerSelectionChanged(int row);

  private:
    void aboutToReset() override;
    void reset() override;
    void aboutToInsertRows(int first, int last) override;
    void rowsInserted(int first, int last) override;
    void aboutToRemoveRow(int row) override;
    void rowRemoved(int row) override;
    void selectionChanged(int row) override;

    std::vector<char> checks_;
    bool changingRows_ = false;
};

// The report list: eight columns, image 0 a light red swatch.
class ReportListModel : public ListModelBase<QAbstractTableModel, ledger::ReportList> {
    Q_OBJECT
  public:
    ReportListModel(ledger::ReportList& list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const int kWidths[ledger::kReportColumnCount];
    // Image 0 of the report: a 16 x 15 light red swatch with a lighter second pixel row.
    static QPixmap reportImage();

  private:
    QPixmap image_;
};

}  // namespace ui
