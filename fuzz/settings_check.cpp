#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "ledger/categories.h"
#include "ledger/settings_file.h"
#include "ledger/text_list.h"
#include "ledger/value_texts.h"
#include "testsupport/memory_file_access.h"

namespace fuzz {

namespace {

[[noreturn]] void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond)                              \
    do {                                              \
        if (!(cond)) fail(__FILE__, __LINE__, #cond); \
    } while (0)

// The settings file lives in memory: every write of a check goes through the same seam as on disk
// (whole-file read, atomic replace), without the disk's cost.
constexpr char kPath[] = "/fuzz/pz.ini";

const std::string kCount(ledger::kCountSection);
const std::string kCountKey(ledger::kCountKey);
const std::string kClass(ledger::kCategorySection);
constexpr char kNewCategory[] = "\xd0\xc2\xca\xd5\xc8\xeb";  // 新收入

// Counts beyond this are read only in part: listing all of them rereads the file once for each.
constexpr int32_t kListedMax = 256;

}  // namespace

void checkSettings(const uint8_t* data, size_t size) {
    auto mem = std::make_shared<testsupport::MemoryFileAccess>();
    const std::string path = kPath;
    const std::string original(reinterpret_cast<const char*>(data), size);
    mem->put(path, original);
    const ledger::Categories file{path, 0, mem};

    const std::string countText = ledger::readProfileString(*mem, path, kCount, kCountKey);
    const int32_t n = ledger::readCategoryCount(file);
    FUZZ_CHECK(n == ledger::parseInteger(countText));
    std::vector<std::string> categories;
    for (int32_t k = 1; k <= std::min(n, kListedMax); ++k) {
        categories.push_back(ledger::readCategory(file, k));
        FUZZ_CHECK(categories.back().size() <= ledger::kProfileValueMax);
    }
    if (n <= kListedMax) {
        ledger::Categories c{path, 0, mem};
        ledger::TextList filter, box;
        ledger::loadCategoryLists(c, filter, box);
        FUZZ_CHECK(c.categoryCount == n);
        FUZZ_CHECK(box.items() == categories);
        FUZZ_CHECK(filter.items() == categories);
        for (ledger::LedgerMode mode : {ledger::LedgerMode::Income, ledger::LedgerMode::Expense}) {
            ledger::TextList choices;
            ledger::loadModeCategoryChoices(c, mode, choices);
            for (const std::string& t : choices.items()) FUZZ_CHECK(ledger::offeredInMode(t, mode));
        }
    }
    // Reading never changes the file.
    FUZZ_CHECK(mem->bytes(path) == original);

    // A value taken from the input, without line ends, is written and reads back exactly,
    // leaving the count and the other categories as they were.
    std::string value = original.substr(0, 40);
    value.erase(std::remove_if(value.begin(), value.end(),
                               [](char ch) { return ch == '\r' || ch == '\n'; }),
                value.end());
    FUZZ_CHECK(ledger::writeProfileString(*mem, path, kClass, "7", value));
    FUZZ_CHECK(ledger::readProfileString(*mem, path, kClass, "7") == value);
    FUZZ_CHECK(ledger::readProfileString(*mem, path, kCount, kCountKey) == countText);
    for (int32_t k = 1; k <= static_cast<int32_t>(categories.size()); ++k) {
        if (k != 7)
            FUZZ_CHECK(ledger::readCategory(file, k) == categories[static_cast<size_t>(k - 1)]);
    }

    // Adding goes under the next number and raises the count; removing it again lowers it.
    if (n < kListedMax) {
        ledger::Categories c{path, n, mem};
        ledger::TextList box;
        ledger::addCategory(c, box, kNewCategory);
        FUZZ_CHECK(c.categoryCount == n + 1);
        FUZZ_CHECK(ledger::readCategoryCount(file) == n + 1);
        FUZZ_CHECK(ledger::readCategory(file, n + 1) == kNewCategory);
        if (n + 1 >= 1) {
            FUZZ_CHECK(ledger::removeCategory(c, box, kNewCategory) ==
                       ledger::RemoveResult::Removed);
            FUZZ_CHECK(ledger::readCategoryCount(file) == n);
            FUZZ_CHECK(c.categoryCount == n);
        }
    }
    // Every rewrite went through a temporary file that took the file's name: none is left.
    std::vector<std::filesystem::path> names;
    FUZZ_CHECK(mem->listFiles("/fuzz", names) == store::Status::Ok);
    FUZZ_CHECK(names == std::vector<std::filesystem::path>{"pz.ini"});
}

}  // namespace fuzz
