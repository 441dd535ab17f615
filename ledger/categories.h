#pragma once

// The categories and their settings file: section "总" key "1" holds the number of categories,
// section "类" keys "1" to n hold their texts. A category belongs to a mode by its wording alone:
// income categories contain "收入", expense categories "开支".

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/ledger_mode.h"
#include "ledger/settings_file.h"
#include "ledger/text_list.h"
#include "store/file_access.h"

namespace ledger {

inline constexpr std::string_view kCountSection = "\xd7\xdc";  // 总
inline constexpr std::string_view kCountKey = "1";
inline constexpr std::string_view kCategorySection = "\xc0\xe0";  // 类

// The category filter's fixed items, before the categories of the file; the first one means
// "no filter".
inline constexpr std::array<std::string_view, 4> kFixedFilterItems = {
    "\xc8\xab\xb2\xbf\xca\xfd\xbe\xdd",  // 全部数据
    "\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7",  // 其它开支
    "\xbc\xd2\xcd\xa5\xcc\xed\xd6\xc3",  // 家庭添置
    "\xc9\xfa\xbb\xee\xbf\xaa\xd6\xa7",  // 生活开支
};
inline constexpr std::string_view kAllCategories = kFixedFilterItems[0];

// The process-wide category state: where the settings file is, the file access it is read and
// written through, and the count last read from it (by loadCategoryLists or a day view refresh)
// plus the categories added since.
struct Categories {
    std::string settingsPath;
    int32_t categoryCount = 0;
    std::shared_ptr<store::FileAccess> files = store::posixFileAccess();
    // Why the last add or remove could not write the file; Ok after success.
    store::Status lastWriteError = store::Status::Ok;
};

// The count in the file: parseInteger of section "总" key "1"; 0 when missing or not a number.
int32_t readCategoryCount(const Categories& c);

// The text of category k (section "类", key integerText(k)); empty when missing.
std::string readCategory(const Categories& c, int32_t k);

// Categories 1 to `count` (section "类", key integerText(k)), a missing key as the empty text,
// read in one pass of the file; none when `count` is 0 or less. Numbers are walked one by one up
// to 1000, or up to a third of the file's bytes when that is more (every category needs a key
// line of at least three bytes, "k=" and a line end); past that (a count edited by hand to a
// billion) only the categories the file holds are listed, in number order. Any count up to 1000
// or that the file can hold reads exactly as number by number.
std::vector<std::string> readCategories(const Categories& c, int32_t count);

// The word that decides which categories a mode offers: "收入" for income, "开支" for expense.
std::string modeCategoryWord(LedgerMode mode);

// Whether `category` is offered in `mode`: the mode's word occurs anywhere in it.
bool offeredInMode(const std::string& category, LedgerMode mode);

// Startup's fill: reads categoryCount from the file, then appends categories 1 to count (as
// readCategories reads them), all of them in file order, to the filter (after its fixed items,
// which the caller has put there) and to the category box. A count of 0 or less changes neither
// list.
void loadCategoryLists(Categories& c, TextList& filter, TextList& box);

// The day view's rebuild of the entry category choices: empties `choices`, reads categoryCount
// from the file, and when it is at least 1 appends every category offered in `mode` and chooses
// the first (none when none qualified).
void loadModeCategoryChoices(Categories& c, LedgerMode mode, TextList& choices);

// Whether a category name can be written and read back as one value: it holds no control
// character (a byte below 32, CR, LF, TAB and NUL among them, or 127).
bool validCategoryName(std::string_view name);

enum class AddResult { Added, BadName, InNoMode, AlreadyThere, WriteFailed };

// The settings page's add, without the checks of addNewCategory. A name that is not
// validCategoryName is refused (BadName): nothing is written and nothing changes. Otherwise
// raises categoryCount by one (wrapping around at the 32-bit limit, as the count is read), writes
// `boxText` under that number in "类" and then the number as the count in "总", and appends
// `boxText` to the box. When a write fails the count in memory and the box change all the same
// (the next refresh reads the count again) and the result is WriteFailed, with the reason in
// c.lastWriteError.
AddResult addCategory(Categories& c, TextList& box, const std::string& boxText);

// The settings page's checked add: a name that neither mode would offer (it holds neither "收入"
// nor "开支") gives InNoMode, and a name already in the box or among the file's categories gives
// AlreadyThere, both changing nothing; any other name is added as addCategory adds it.
AddResult addNewCategory(Categories& c, TextList& box, const std::string& boxText);

enum class RemoveResult { Removed, NotFound, WriteFailed };

// The settings page's remove: takes the count and the categories from the file (as
// readCategories reads them), removes the first category whose text equals `boxText`, moves the
// later ones down one number and lowers the count, in one atomic rewrite; then sets categoryCount
// to the new count and removes the first equal item from the box. NotFound and WriteFailed change
// neither the file nor the memory state.
RemoveResult removeCategory(Categories& c, TextList& box, const std::string& boxText);

}  // namespace ledger
