#pragma once

// What an import adds to the ledger: the rows of a parsed file less those the ledger already
// holds, each with its category chosen. Nothing is ever added twice: an entry equal to one in the
// ledger (kind, date, time text, item, amount) is skipped, while equal rows inside one file are
// counted, so the ledger ends with as many of them as the file holds.

#include <string>
#include <unordered_map>
#include <vector>

#include "exchange/bill_import.h"
#include "ledger/entry.h"
#include "store/record_store.h"

namespace exchange {

struct PlannedEntry {
    int line = 0;  // the file's line the entry comes from
    ledger::Entry entry;
};

struct ImportPlan {
    std::vector<PlannedEntry> toAdd;
    int duplicates = 0;  // rows the ledger already holds
    int leftOut = 0;     // rows neither income nor expense, closed or refunded
};

// The category a bill row gets, from the ledger's categories (GBK, in file order): the one this
// ledger last used with the same item and kind; else the first category of the row's mode whose
// name without its mode word (收入, 开支) and the bill's own category contain one another; else
// the mode's first category; empty when the mode has none.
class CategoryChooser {
  public:
    explicit CategoryChooser(std::vector<std::string> categories);
    // Learns that the ledger used `category` for `item` of this kind; later calls win.
    void noteUse(bool income, const std::string& item, const std::string& category);
    std::string choose(const ImportRow& row) const;
    // The ledger's categories of the mode, in file order (what the preview offers).
    std::vector<std::string> categoriesOf(bool income) const;

  private:
    std::vector<std::string> categories_;
    std::unordered_map<std::string, std::string> lastUsed_;  // kind and item -> category
};

// Plans the import of `parsed` into the open store with the categories of its settings file.
// One walk of the store. False with `error` (UTF-8) when the store cannot be read.
bool planImport(store::RecordStore& s, const std::vector<std::string>& categories,
                const ParsedFile& parsed, ImportPlan& plan, std::string& error);

// Appends `entries` in order. All or nothing: when an append fails, the entries already appended
// by this call are marked deleted again, and false is returned with `error` (UTF-8) set.
bool addEntries(store::RecordStore& s, const std::vector<ledger::Entry>& entries,
                std::string& error);

}  // namespace exchange
