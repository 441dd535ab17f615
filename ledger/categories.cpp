#include "ledger/categories.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "ledger/settings_file.h"
#include "ledger/value_texts.h"

namespace ledger {

int32_t readCategoryCount(const Categories& c) {
    return parseInteger(readProfileString(*c.files, c.settingsPath, std::string(kCountSection),
                                          std::string(kCountKey)));
}

std::string readCategory(const Categories& c, int32_t k) {
    return readProfileString(*c.files, c.settingsPath, std::string(kCategorySection),
                             integerText(k));
}

namespace {

// A held category: its number and its text.
struct Held {
    int32_t k;
    std::string text;
};

// Categories 1 to `count` as the lists show them, read in one pass of the file. Counts up to
// kAlwaysWalked, and any count the file could hold (each category needs a key line of at least
// three bytes, "k=" and a line end), are walked number by number, a missing key giving an empty
// category. Beyond that (a count edited by hand to a billion) only the keys the file holds are
// taken, in number order, so that no list or refresh loops a billion times.
std::vector<Held> heldCategories(const Categories& c, int32_t count) {
    if (count < 1) return {};
    ProfileSection section =
        readProfileSection(*c.files, c.settingsPath, std::string(kCategorySection));
    constexpr size_t kShortestKeyLine = 3;
    constexpr size_t kAlwaysWalked = 1000;
    const int32_t walked = static_cast<int32_t>(std::min(
        static_cast<size_t>(count), std::max(kAlwaysWalked, section.fileBytes / kShortestKeyLine)));
    // Keys are digits, which have no case: an exact name is the one readProfileString matches.
    std::unordered_map<std::string, std::string> byKey;
    std::vector<int32_t> beyond;
    for (auto& [key, value] : section.entries) {
        const int32_t k = parseInteger(key);
        if (!byKey.try_emplace(key, std::move(value)).second) continue;
        if (k > walked && k <= count && integerText(k) == key) beyond.push_back(k);
    }
    std::sort(beyond.begin(), beyond.end());
    std::vector<Held> held;
    held.reserve(static_cast<size_t>(walked) + beyond.size());
    for (int64_t k = 1; k <= walked; ++k) {  // 64 bits: walked may be INT32_MAX
        auto it = byKey.find(integerText(k));
        held.push_back({static_cast<int32_t>(k), it == byKey.end() ? std::string() : it->second});
    }
    for (int32_t k : beyond) held.push_back({k, byKey[integerText(k)]});
    return held;
}

}  // namespace

std::vector<std::string> readCategories(const Categories& c, int32_t count) {
    std::vector<std::string> texts;
    for (Held& h : heldCategories(c, count)) texts.push_back(std::move(h.text));
    return texts;
}

std::string modeCategoryWord(LedgerMode mode) { return modeWord(mode); }

bool offeredInMode(const std::string& category, LedgerMode mode) {
    return textFind(category, modeCategoryWord(mode)) > 0;
}

void loadCategoryLists(Categories& c, TextList& filter, TextList& box) {
    c.categoryCount = readCategoryCount(c);
    for (std::string& t : readCategories(c, c.categoryCount)) {
        filter.append(t);
        box.append(std::move(t));
    }
}

void loadModeCategoryChoices(Categories& c, LedgerMode mode, TextList& choices) {
    choices.clear();
    c.categoryCount = readCategoryCount(c);
    if (c.categoryCount < 1) return;
    for (std::string& t : readCategories(c, c.categoryCount)) {
        if (offeredInMode(t, mode)) choices.append(std::move(t));
    }
    choices.select(0);
}

bool validCategoryName(std::string_view name) {
    // No byte of a two-byte GBK character is below 0x40, so a byte test finds only real
    // control characters.
    return std::none_of(name.begin(), name.end(), [](char ch) {
        unsigned char b = static_cast<unsigned char>(ch);
        return b < 0x20 || b == 0x7F;
    });
}

AddResult addCategory(Categories& c, TextList& box, const std::string& boxText) {
    if (!validCategoryName(boxText)) return AddResult::BadName;
    // The count is the one last read plus the categories added since; it is not read again.
    // The category is written before the count, so a file that did not exist gets its "类"
    // section first.
    // A count of INT32_MAX (edited by hand) wraps around as the ledger's 32-bit numbers do,
    // the way parseInteger reads it back, instead of overflowing.
    c.categoryCount = static_cast<int32_t>(static_cast<uint32_t>(c.categoryCount) + 1u);
    std::string n = integerText(c.categoryCount);
    bool written =
        writeProfileString(*c.files, c.settingsPath, std::string(kCategorySection), n, boxText);
    store::Status why = lastProfileWriteError();
    written = writeProfileString(*c.files, c.settingsPath, std::string(kCountSection),
                                 std::string(kCountKey), n) &&
              written;
    if (why == store::Status::Ok) why = lastProfileWriteError();
    c.lastWriteError = why;
    box.append(boxText);
    return written ? AddResult::Added : AddResult::WriteFailed;
}

AddResult addNewCategory(Categories& c, TextList& box, const std::string& boxText) {
    // A category is offered by its wording alone, so a name without either word would sit in the
    // file and never be chosen.
    if (!offeredInMode(boxText, LedgerMode::Income) && !offeredInMode(boxText, LedgerMode::Expense))
        return AddResult::InNoMode;
    // The box holds what this window added; the file also holds what another program wrote.
    const auto& shown = box.items();
    if (std::find(shown.begin(), shown.end(), boxText) != shown.end())
        return AddResult::AlreadyThere;
    for (const std::string& t : readCategories(c, readCategoryCount(c))) {
        if (t == boxText) return AddResult::AlreadyThere;
    }
    return addCategory(c, box, boxText);
}

RemoveResult removeCategory(Categories& c, TextList& box, const std::string& boxText) {
    // The file decides what exists: another program, or a failed add, may have changed it since
    // the count in memory was read.
    const std::vector<Held> held = heldCategories(c, readCategoryCount(c));
    size_t found = 0;
    while (found < held.size() && held[found].text != boxText) ++found;
    if (found == held.size()) return RemoveResult::NotFound;

    // Later categories move down one number, so keys 1 to n - 1 stay contiguous; the keys no
    // longer used go, and the count follows, all in one rewrite of the file. (A count beyond what
    // the file holds is brought down to the categories it holds.)
    const int32_t n = static_cast<int32_t>(held.size());
    const std::string section(kCategorySection);
    std::vector<ProfileChange> changes;
    for (int32_t k = static_cast<int32_t>(found) + 1; k < n; ++k) {
        changes.push_back({section, integerText(k), held[static_cast<size_t>(k)].text});
    }
    for (const Held& h : held) {
        if (h.k >= n) changes.push_back({section, integerText(h.k), std::nullopt});
    }
    changes.push_back({std::string(kCountSection), std::string(kCountKey), integerText(n - 1)});
    if (!writeProfileStrings(*c.files, c.settingsPath, changes)) {
        c.lastWriteError = lastProfileWriteError();
        return RemoveResult::WriteFailed;
    }

    c.categoryCount = n - 1;
    for (int i = 0; i < box.size(); ++i) {
        if (box.at(i) == boxText) {
            box.removeAt(i);
            break;
        }
    }
    return RemoveResult::Removed;
}

}  // namespace ledger
