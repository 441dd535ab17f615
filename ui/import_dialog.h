#pragma once

// The preview of an import: one row for each entry the file would add (kind, date, item, amount,
// category), each with a tick and a category that can be changed among those of its mode. The
// window adds the ticked rows only once the user confirms.

#include <QDialog>
#include <string>
#include <vector>

#include "exchange/import_plan.h"
#include "ledger/entry.h"

class QLabel;
class QTableWidget;

namespace ui {

class ImportPreviewDialog : public QDialog {
    Q_OBJECT
  public:
    // `categories` are the ledger's categories (GBK, in file order); `fileName` names the file.
    ImportPreviewDialog(const QString& fileName, const exchange::ImportPlan& plan,
                        std::vector<std::string> categories, QWidget* parent = nullptr);

    int rowCount() const;
    void setRowTicked(int row, bool ticked);
    // Sets row `row`'s category (UTF-8); a name that is not one of the row's mode is refused.
    bool setRowCategory(int row, const QString& category);
    // The entries of the ticked rows, in file order, with the categories as chosen.
    std::vector<ledger::Entry> tickedEntries() const;

    // The categories offered for an entry of this kind (UTF-8).
    QStringList categoriesOf(bool income) const;

  private:
    std::vector<exchange::PlannedEntry> rows_;
    std::vector<std::string> categories_;
    QTableWidget* table_ = nullptr;
};

}  // namespace ui
