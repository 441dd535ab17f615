#pragma once

namespace ledger {

// The day page's mode; compared with an entry's kind (true = income) as 1 or 0.
enum class LedgerMode { Expense = 0, Income = 1 };

inline bool isIncome(LedgerMode m) { return m == LedgerMode::Income; }

// The words for the two kinds, GBK bytes. A category belongs to a mode by containing its word,
// and the status bar shows the word after a mode switch.
inline constexpr char kIncomeWord[] = "\xca\xd5\xc8\xeb";   // 收入
inline constexpr char kExpenseWord[] = "\xbf\xaa\xd6\xa7";  // 开支

// "收入" in income mode, "开支" in expense mode.
inline const char* modeWord(LedgerMode m) { return isIncome(m) ? kIncomeWord : kExpenseWord; }

}  // namespace ledger
