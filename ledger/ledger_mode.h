#pragma once

namespace ledger {

// The day page's mode; compared with an entry's kind (true = income) as 1 or 0.
enum class LedgerMode { Expense = 0, Income = 1 };

inline bool isIncome(LedgerMode m) { return m == LedgerMode::Income; }

}  // namespace ledger
