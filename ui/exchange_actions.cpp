#include "ui/exchange_actions.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "exchange/bill_import.h"
#include "exchange/exchange_files.h"
#include "exchange/import_plan.h"
#include "ledger/categories.h"
#include "ui/export_dialog.h"
#include "ui/import_dialog.h"

namespace ui {

namespace {

// A bill of a whole year is a few megabytes; a file far past this is no bill.
constexpr int64_t kImportByteLimit = 64 * 1024 * 1024;

QString u(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

void exportEntries(QWidget* parent, store::RecordStore& store, const exchange::ExportFilter& filter,
                   const ExchangeHooks& hooks, const Tell& tell) {
    QString path;
    if (hooks.chooseExportFile) {
        path = hooks.chooseExportFile(parent);
    } else {
        ExportFileDialog dialog(parent, QStringLiteral("账目.csv"));
        if (dialog.exec() == QDialog::Accepted) path = dialog.chosenPath();
    }
    if (path.isEmpty()) return;
    const auto result = exchange::exportToFile(store, filter, QFile::encodeName(path).toStdString(),
                                               exchange::CsvEncoding::Utf8);
    if (!result.ok) {
        tell(QStringLiteral("导出失败：%1").arg(u(result.error)), true);
        return;
    }
    tell(QStringLiteral("已导出 %1 条到 %2").arg(result.count).arg(QFileInfo(path).fileName()),
         false);
}

void importBill(QWidget* parent, store::RecordStore& store, const std::string& settingsPath,
                ledger::WorkQueue& queue, const ExchangeHooks& hooks, const Tell& tell,
                const std::function<void()>& added) {
    const QString path =
        hooks.chooseImportFile
            ? hooks.chooseImportFile(parent)
            : QFileDialog::getOpenFileName(parent, QStringLiteral("导入账单"), QString(),
                                           QStringLiteral("账单 (*.csv *.txt);;所有文件 (*)"));
    if (path.isEmpty()) return;
    const std::string name = QFileInfo(path).fileName().toStdString();
    std::string bytes;
    std::string error;
    if (!exchange::readUserFile(QFile::encodeName(path).toStdString(), kImportByteLimit, bytes,
                                error)) {
        tell(u(name + "：" + error), true);
        return;
    }
    exchange::ParsedFile parsed;
    exchange::ImportError bad;
    if (!exchange::parseImportFile(bytes, parsed, bad)) {
        tell(u(exchange::importErrorText(name, bad)), true);
        return;
    }
    const auto categories =
        ledger::readCategories(ledger::Categories{settingsPath}, ledger::readCategoryCount(ledger::Categories{settingsPath}));
    exchange::ImportPlan plan;
    if (!exchange::planImport(store, categories, parsed, plan, error)) {
        tell(u(error), true);
        return;
    }
    ImportPreviewDialog preview(u(name), plan, categories, parent);
    const bool confirmed =
        hooks.confirmImport ? hooks.confirmImport(preview) : preview.exec() == QDialog::Accepted;
    if (!confirmed) return;
    std::vector<ledger::Entry> entries = preview.tickedEntries();
    if (entries.empty()) return;
    // The appends move the store's one cursor, so they wait for a walk that lets events in; the
    // work owns what it needs, as it may run after this handler has returned.
    queue.run(ledger::WorkQueue::Work::Edit, [&store, entries = std::move(entries), tell, added] {
        std::string failure;
        if (!exchange::addEntries(store, entries, failure)) {
            tell(QStringLiteral("导入失败，账本未改动：%1").arg(u(failure)), true);
            return;
        }
        if (added) added();
        tell(QStringLiteral("已导入 %1 条").arg(entries.size()), false);
    });
}

}  // namespace ui
