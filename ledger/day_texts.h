#pragma once

// The day page's own texts, as GBK bytes (sources are UTF-8, so each text is spelled out in
// escaped bytes with its Chinese beside it).

namespace ledger::texts {

inline constexpr char kProgressRefresh[] =  // "  正在初始化数据库..."
    "  \xd5\xfd\xd4\xda\xb3\xf5\xca\xbc\xbb\xaf\xca\xfd\xbe\xdd\xbf\xe2...";
inline constexpr char kProgressAdd[] = "  \xcc\xed\xbc\xd3\xbc\xc7\xc2\xbc...";  // "  添加记录..."
inline constexpr char kProgressScan[] =  // "  修改数据库记录..."
    "  \xd0\xde\xb8\xc4\xca\xfd\xbe\xdd\xbf\xe2\xbc\xc7\xc2\xbc...";

inline constexpr char kDayIncomeLabel[] =
    "\xb1\xbe\xcc\xec\xd7\xdc\xca\xd5\xc8\xeb\xa3\xba";  // 本天总收入：
inline constexpr char kDayExpenseLabel[] =
    "\xb1\xbe\xcc\xec\xd7\xdc\xbf\xaa\xd6\xa7\xa3\xba";  // 本天总开支：
inline constexpr char kNetIncomeLabel[] =
    "\xb1\xbe\xcc\xec\xbe\xbb\xca\xd5\xc8\xeb\xa3\xba";  // 本天净收入：

inline constexpr char kDeleteQuestion[] =  // 您确定要删除此项记录吗？
    "\xc4\xfa\xc8\xb7\xb6\xa8\xd2\xaa\xc9\xbe\xb3\xfd\xb4\xcb\xcf\xee\xbc\xc7\xc2\xbc\xc2\xf0\xa3"
    "\xbf";
inline constexpr char kAddFailed[] = "\xcc\xed\xbc\xd3\xca\xa7\xb0\xdc!";  // 添加失败!
// 金额超出范围!
inline constexpr char kAmountOutOfRange[] = "\xbd\xf0\xb6\xee\xb3\xac\xb3\xf6\xb7\xb6\xce\xa7!";
inline constexpr char kSaveFailed[] = "\xd0\xde\xb8\xc4\xca\xa7\xb0\xdc!";  // 修改失败!
inline constexpr char kInfoTitle[] = "\xd0\xc5\xcf\xa2\xa3\xba";            // 信息：
// The actions a failed write names in status bar part 4.
inline constexpr char kActionAdd[] = "\xcc\xed\xbc\xd3";     // 添加
inline constexpr char kActionSave[] = "\xd0\xde\xb8\xc4";    // 修改
inline constexpr char kActionDelete[] = "\xc9\xbe\xb3\xfd";  // 删除

// The captions of the item and amount inputs follow the mode's word: 收入项目, 开支金额.
inline constexpr char kItemCaptionEnd[] = "\xcf\xee\xc4\xbf";    // 项目
inline constexpr char kAmountCaptionEnd[] = "\xbd\xf0\xb6\xee";  // 金额

}  // namespace ledger::texts
