#pragma once

// Which of the ledger's nine fields holds what, by 1-based position, for the code that still
// reads records field by field. The entry codec (ledger/entry.h) keeps its own copy and is the
// one to use for new code.

#include "ledger/ledger_schema.h"

namespace ledger {

inline constexpr int kFieldKind = 1;      // Bool: true for income
inline constexpr int kFieldYear = 2;      // Int
inline constexpr int kFieldMonth = 3;     // Int
inline constexpr int kFieldDay = 4;       // Int
inline constexpr int kFieldTime = 5;      // Text, 8 bytes: "08时05分"
inline constexpr int kFieldItem = 6;      // Text, 200 bytes
inline constexpr int kFieldAmount = 7;    // Float
inline constexpr int kFieldNote = 8;      // Text, 50 bytes
inline constexpr int kFieldCategory = 9;  // Text, kCategoryWidth bytes

}  // namespace ledger
