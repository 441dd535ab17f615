#pragma once

// The window's 导出... (query page) and 导入账单... (settings page): the dialogs they open and what
// they do with the ledger. Kept out of the window so that a page widget can call them as they are.

#include <QString>
#include <functional>
#include <string>

#include "exchange/ledger_export.h"
#include "ledger/work_queue.h"
#include "store/record_store.h"

class QWidget;

namespace ui {

class ImportPreviewDialog;

// What the two actions do outside the window; tests replace these.
struct ExchangeHooks {
    // The file to export to, with its extension; empty when cancelled. Default: ExportFileDialog.
    std::function<QString(QWidget* parent)> chooseExportFile;
    // The file to import; empty when cancelled. Default: an open-file dialog.
    std::function<QString(QWidget* parent)> chooseImportFile;
    // Shows the preview; true when the user confirms. Default: the dialog's exec().
    std::function<bool(ImportPreviewDialog& preview)> confirmImport;
};

// How an action tells the user the outcome (UTF-8 text; `error` for a failure).
using Tell = std::function<void(const QString& text, bool error)>;

// 导出...: asks for a file and exports the entries `filter` takes to it; tells the number written
// or the reason it failed. Nothing is written when the user cancels.
void exportEntries(QWidget* parent, store::RecordStore& store, const exchange::ExportFilter& filter,
                   const ExchangeHooks& hooks, const Tell& tell);

// 导入账单...: asks for a file, reads and plans it (a file that does not read is told with its
// line and reason), shows the preview and, on confirm, adds the ticked rows in one batch under
// `queue` (all or nothing), then calls `added`. Cancelling at any step changes nothing.
void importBill(QWidget* parent, store::RecordStore& store, const std::string& settingsPath,
                ledger::WorkQueue& queue, const ExchangeHooks& hooks, const Tell& tell,
                const std::function<void()>& added);

}  // namespace ui
