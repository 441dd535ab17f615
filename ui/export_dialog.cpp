#include "ui/export_dialog.h"

namespace ui {

namespace {
const QString kCsvFilter = QStringLiteral("CSV 文件 (*.csv)");
const QString kXlsxFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
}  // namespace

ExportFileDialog::ExportFileDialog(QWidget* parent, const QString& suggestedName)
    : QFileDialog(parent, QStringLiteral("导出账目")) {
    setObjectName(QStringLiteral("导出文件"));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters({kCsvFilter, kXlsxFilter});
    if (!suggestedName.isEmpty()) selectFile(suggestedName);
}

QString ExportFileDialog::chosenPath() const {
    const QStringList files = selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return {};
    QString path = files.front();
    const QString lower = path.toLower();
    if (!lower.endsWith(QLatin1String(".csv")) && !lower.endsWith(QLatin1String(".xlsx"))) {
        path +=
            selectedNameFilter() == kXlsxFilter ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    }
    return path;
}

}  // namespace ui
