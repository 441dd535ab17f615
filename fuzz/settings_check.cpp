#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_checks.h"
#include "ledger/categories.h"
#include "ledger/settings_file.h"
#include "ledger/text_list.h"
#include "ledger/value_texts.h"

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

// One scratch directory per process, in memory when the system has one; removed at exit.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                         ? "/dev/shm"
                                         : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "settings_fuzz_XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) std::abort();
        path = buf.data();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& scratchDir() {
    static const ScratchDir dir;
    return dir.path;
}

const std::string kCount(ledger::kCountSection);
const std::string kCountKey(ledger::kCountKey);
const std::string kClass(ledger::kCategorySection);
constexpr char kNewCategory[] = "\xd0\xc2\xca\xd5\xc8\xeb";  // 新收入

// Counts beyond this are read only in part: listing all of them rereads the file once for each.
constexpr int32_t kListedMax = 256;

}  // namespace

void checkSettings(const uint8_t* data, size_t size) {
    const std::string path = scratchDir() + "/pz.ini";
    const std::string original(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(original.data(), static_cast<std::streamsize>(original.size()));
    }

    const std::string countText = ledger::readProfileString(path, kCount, kCountKey);
    const int32_t n = ledger::readCategoryCount(path);
    FUZZ_CHECK(n == ledger::parseInteger(countText));
    std::vector<std::string> categories;
    for (int32_t k = 1; k <= std::min(n, kListedMax); ++k) {
        categories.push_back(ledger::readCategory(path, k));
        FUZZ_CHECK(categories.back().size() <= ledger::kProfileValueMax);
    }
    if (n <= kListedMax) {
        ledger::Categories c{path, 0};
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
    {
        std::ifstream in(path, std::ios::binary);
        FUZZ_CHECK(std::string(std::istreambuf_iterator<char>(in), {}) == original);
    }

    // A value taken from the input, without line ends, is written and reads back exactly,
    // leaving the count and the other categories as they were.
    std::string value = original.substr(0, 40);
    value.erase(std::remove_if(value.begin(), value.end(),
                               [](char ch) { return ch == '\r' || ch == '\n'; }),
                value.end());
    FUZZ_CHECK(ledger::writeProfileString(path, kClass, "7", value));
    FUZZ_CHECK(ledger::readProfileString(path, kClass, "7") == value);
    FUZZ_CHECK(ledger::readProfileString(path, kCount, kCountKey) == countText);
    for (int32_t k = 1; k <= static_cast<int32_t>(categories.size()); ++k) {
        if (k != 7)
            FUZZ_CHECK(ledger::readCategory(path, k) == categories[static_cast<size_t>(k - 1)]);
    }

    // Adding goes under the next number and raises the count; removing it again lowers it.
    if (n < kListedMax) {
        ledger::Categories c{path, n};
        ledger::TextList box;
        ledger::addCategory(c, box, kNewCategory);
        FUZZ_CHECK(c.categoryCount == n + 1);
        FUZZ_CHECK(ledger::readCategoryCount(path) == n + 1);
        FUZZ_CHECK(ledger::readCategory(path, n + 1) == kNewCategory);
        if (n + 1 >= 1) {
            FUZZ_CHECK(ledger::removeCategory(c, box, kNewCategory) ==
                       ledger::RemoveResult::Removed);
            FUZZ_CHECK(ledger::readCategoryCount(path) == n);
            FUZZ_CHECK(c.categoryCount == n);
        }
    }
}

}  // namespace fuzz
