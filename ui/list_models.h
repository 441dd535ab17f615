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

// A drop-down list's items over a TextList.
class TextListModel : public QAbstractListModel, public ledger::ListObserver {
    Q_OBJECT
  public:
    TextListModel(ledger::TextList& list, QObject* parent);
    ~TextListModel() override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    ledger::TextList& list() const { return list_; }

  signals:
    // After any change of the items or of the chosen item, so the view can show the choice.
    void listChanged();

  private:
    void aboutToReset() override;
    void reset() override;
    void aboutToInsertRows(int first, int last) override;
    void rowsInserted(int first, int last) override;
    void aboutToRemoveRow(int row) override;
    void rowRemoved(int row) override;
    void selectionChanged(int row) override;

    ledger::TextList& list_;
};

// The day list: six columns, check boxes in front of column 0 (their state lives here, since
// nothing ever reads it).
class DayListModel : public QAbstractTableModel, public ledger::ListObserver {
    Q_OBJECT
  public:
    DayListModel(ledger::DayList& list, QObject* parent);
    ~DayListModel() override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    ledger::DayList& list() const { return list_; }
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
    void cellChanged(int row, int column) override;
    void selectionChanged(int row) override;

    ledger::DayList& list_;
    std::vector<char> checks_;
    bool changingRows_ = false;
};

// The report list: eight columns, image 0 a light red swatch.
class ReportListModel : public QAbstractTableModel, public ledger::ListObserver {
    Q_OBJECT
  public:
    ReportListModel(ledger::ReportList& list, QObject* parent);
    ~ReportListModel() override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    ledger::ReportList& list() const { return list_; }

    static const int kWidths[ledger::kReportColumnCount];
    // Image 0 of the report: a 16 x 15 light red swatch with a lighter second pixel row.
    static QPixmap reportImage();

  private:
    void aboutToReset() override;
    void reset() override;
    void aboutToInsertRows(int first, int last) override;
    void rowsInserted(int first, int last) override;
    void aboutToRemoveRow(int row) override;
    void rowRemoved(int row) override;
    void cellChanged(int row, int column) override;

    ledger::ReportList& list_;
    QPixmap image_;
};

}  // namespace ui
