#include "ledger/categories.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "ledger/settings_file.h"
#include "ledger/value_texts.h"

namespace ledger {

int32_t readCategoryCount(const std::string& settingsPath) {
    return parseInteger(
        readProfileString(settingsPath, std::string(kCountSection), std::string(kCountKey)));
}

std::string readCategory(const std::string& settingsPath, int32_t k) {
    return readProfileString(settingsPath, std::string(kCategorySection), integerText(k));
}

std::vector<std::string> readCategories(const std::string& settingsPath, int32_t count) {
    if (count < 1) return {};
    ProfileSection section = readProfileSection(settingsPath, std::string(kCategorySection));
    // The shortest key line: a one-digit key, "=", and a line end.
    constexpr size_t kShortestKeyLine = 3;
    const size_t limit = std::min(static_cast<size_t>(count), section.fileBytes / kShortestKeyLine);
    // Keys are digits, which have no case: an exact name is the one readProfileString matches.
    std::unordered_map<std::string, std::string> byKey;
    for (auto& [key, value] : section.entries) byKey.try_emplace(key, std::move(value));
    std::vector<std::string> texts;
    texts.reserve(limit);
    for (size_t k = 1; k <= limit; ++k) {
        auto it = byKey.find(integerText(static_cast<int64_t>(k)));
        texts.push_back(it == byKey.end() ? std::string() : it->second);
    }
    return texts;
}

std::string modeCategoryWord(LedgerMode mode) {
    return std::string(isIncome(mode) ? kIncomeWord : kExpenseWord);
}

bool offeredInMode(const std::string& category, LedgerMode mode) {
    return textFind(category, modeCategoryWord(mode)) > 0;
}

void loadCategoryLists(Categories& c, TextList& filter, TextList& box) {
    c.categoryCount = readCategoryCount(c.settingsPath);
    for (std::string& t : readCategories(c.settingsPath, c.categoryCount)) {
        filter.append(t);
        box.append(std::move(t));
    }
}

void loadModeCategoryChoices(Categories& c, LedgerMode mode, TextList& choices) {
    choices.clear();
    c.categoryCount = readCategoryCount(c.settingsPath);
    if (c.categoryCount < 1) return;
    for (std::string& t : readCategories(c.settingsPath, c.categoryCount)) {
        if (offeredInMode(t, mode)) choices.append(std::move(t));
    }
    choices.select(0);
}

void addCategory(Categories& c, TextList& box, const std::string& boxText) {
    // The count is the one last read plus the categories added since; it is not read again.
    // The category is written before the count, so a file that did not exist gets its "类"
    // section first.
    // A count of INT32_MAX (edited by hand) wraps around as the ledger's 32-bit numbers do,
    // the way parseInteger reads it back, instead of overflowing.
    c.categoryCount = static_cast<int32_t>(static_cast<uint32_t>(c.categoryCount) + 1u);
    std::string n = integerText(c.categoryCount);
    writeProfileString(c.settingsPath, std::string(kCategorySection), n, boxText);
    writeProfileString(c.settingsPath, std::string(kCountSection), std::string(kCountKey), n);
    box.append(boxText);
}

RemoveResult removeCategory(Categories& c, TextList& box, const std::string& boxText) {
    // The file decides what exists: another program, or a failed add, may have changed it since
    // the count in memory was read.
    int32_t n = readCategoryCount(c.settingsPath);
    const std::vector<std::string> texts = readCategories(c.settingsPath, n);  // [k - 1]: k
    // A count beyond what the file can hold is brought down to it by the rewrite.
    if (n > 0) n = static_cast<int32_t>(texts.size());
    int32_t found = 0;
    for (int32_t k = 1; k <= n && found == 0; ++k) {
        if (texts[static_cast<size_t>(k - 1)] == boxText) found = k;
    }
    if (found == 0) return RemoveResult::NotFound;

    // Later categories move down one number, so keys 1 to n - 1 stay contiguous; the last key
    // goes, and the count follows, all in one rewrite of the file.
    const std::string section(kCategorySection);
    std::vector<ProfileChange> changes;
    for (int32_t k = found; k < n; ++k) {
        changes.push_back({section, integerText(k), texts[static_cast<size_t>(k)]});
    }
    changes.push_back({section, integerText(n), std::nullopt});
    changes.push_back({std::string(kCountSection), std::string(kCountKey), integerText(n - 1)});
    if (!writeProfileStrings(c.settingsPath, changes)) return RemoveResult::WriteFailed;

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
