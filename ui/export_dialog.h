#pragma once

// The file dialog of 导出...: a file to save, as CSV or as an Excel workbook; the name gets the
// extension of the chosen type when the user typed none.

#include <QFileDialog>

namespace ui {

class ExportFileDialog : public QFileDialog {
    Q_OBJECT
  public:
    explicit ExportFileDialog(QWidget* parent = nullptr, const QString& suggestedName = QString());
    // The chosen file with its extension (.csv or .xlsx); empty when nothing was chosen.
    QString chosenPath() const;
};

}  // namespace ui
