#include "ledger/categories.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ledger/settings_file.h"
#include "ledger/value_texts.h"

namespace ledger {
namespace {

namespace fs = std::filesystem;

const std::string kWage = "\xb9\xa4\xd7\xca\xca\xd5\xc8\xeb";                      // 工资收入
const std::string kOther = "\xc6\xe4\xcb\xfc\xbf\xaa\xd6\xa7";                     // 其它开支
const std::string kTransfer = "\xca\xd5\xc8\xeb\xbf\xaa\xd6\xa7\xd7\xaa\xd5\xcb";  // 收入开支转账
const std::string kFood = "\xc2\xf2\xb2\xcb";                                      // 买菜
const std::string kCount = "[\xd7\xdc]\r\n";                                       // [总]
const std::string kList = "[\xc0\xe0]\r\n";                                        // [类]

std::vector<std::string> items(const TextList& l) { return l.items(); }

TextList filterWithFixedItems() {
    TextList filter;
    for (std::string_view item : kFixedFilterItems) filter.append(std::string(item));
    return filter;
}

class CategoriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("categories_test_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        c_.settingsPath = (dir_ / "pz.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(c_.settingsPath, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }

    void put(const std::string& bytes) {
        std::ofstream(c_.settingsPath, std::ios::binary) << bytes;
    }
    std::string file() const {
        std::ifstream in(c_.settingsPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void putThreeCategories() {
        put(kCount + "1=3\r\n" + kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n3=" + kTransfer +
            "\r\n");
    }

    fs::path dir_;
    Categories c_;
};

TEST(ModeRule, TheModeWordAnywhereInTheTextOffersIt) {
    EXPECT_EQ(modeCategoryWord(LedgerMode::Income), "\xca\xd5\xc8\xeb");
    EXPECT_EQ(modeCategoryWord(LedgerMode::Expense), "\xbf\xaa\xd6\xa7");
    struct Case {
        std::string text;
        bool income, expense;
    };
    const std::vector<Case> cases = {
        {kWage, true, false},
        {kOther, false, true},
        {kTransfer, true, true},
        {kFood, false, false},
        {"", false, false},
        // The bytes of 收入 (CA D5 C8 EB) straddling the characters A1CA D5C8 EBA1: not the word.
        {"\xa1\xca\xd5\xc8\xeb\xa1", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(offeredInMode(c.text, LedgerMode::Income), c.income) << c.text;
        EXPECT_EQ(offeredInMode(c.text, LedgerMode::Expense), c.expense) << c.text;
    }
}

TEST_F(CategoriesTest, ThreeCategoriesInBothModes) {
    putThreeCategories();
    TextList filter = filterWithFixedItems();
    TextList box;
    loadCategoryLists(c_, filter, box);
    EXPECT_EQ(c_.categoryCount, 3);
    std::vector<std::string> expectedFilter(kFixedFilterItems.begin(), kFixedFilterItems.end());
    expectedFilter.insert(expectedFilter.end(), {kWage, kOther, kTransfer});
    EXPECT_EQ(items(filter), expectedFilter);
    EXPECT_EQ(items(box), (std::vector<std::string>{kWage, kOther, kTransfer}));

    TextList choices;
    loadModeCategoryChoices(c_, LedgerMode::Income, choices);
    EXPECT_EQ(items(choices), (std::vector<std::string>{kWage, kTransfer}));
    EXPECT_EQ(choices.selected(), 0);
    loadModeCategoryChoices(c_, LedgerMode::Expense, choices);
    EXPECT_EQ(items(choices), (std::vector<std::string>{kOther, kTransfer}));
    EXPECT_EQ(choices.selected(), 0);
}

TEST_F(CategoriesTest, CountsThatDoNotMatchTheKeys) {
    struct Case {
        std::string count;
        int32_t read;
        std::vector<std::string> listed;
    };
    const std::vector<Case> cases = {
        {"3\xb8\xf6", 3, {kWage, kOther, ""}},  // 3个: leading digits count; key 3 is missing
        {"0", 0, {}},
        {"-5", -5, {}},
        {"many", 0, {}},
        {"", 0, {}},
    };
    for (const Case& k : cases) {
        put(kCount + "1=" + k.count + "\r\n" + kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n");
        TextList filter;
        TextList box;
        loadCategoryLists(c_, filter, box);
        EXPECT_EQ(c_.categoryCount, k.read) << k.count;
        EXPECT_EQ(items(filter), k.listed) << k.count;
        EXPECT_EQ(items(box), k.listed) << k.count;
    }
}

TEST_F(CategoriesTest, AHugeCountReadsNoMoreThanTheFileCanHold) {
    // A count edited by hand: every list and every refresh would otherwise loop that often.
    // Numbers are walked one by one only up to 1000 or as far as the file could hold categories;
    // a category held under a larger number is still listed, after them.
    const std::string kBonus = "\xbd\xb1\xbd\xf0\xca\xd5\xc8\xeb";  // 奖金收入
    for (const std::string count : {"1000000000", "2147483647"}) {
        const std::string list = kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n3=" + kTransfer +
                                 "\r\n500000000=" + kBonus + "\r\n";
        put(kCount + "1=" + count + "\r\n" + list);
        const size_t fileBytes = file().size();

        TextList filter;
        TextList box;
        loadCategoryLists(c_, filter, box);
        EXPECT_EQ(c_.categoryCount, parseInteger(count));
        ASSERT_GE(box.size(), 4) << count;
        const size_t walked = std::max<size_t>(1000, fileBytes / 3);
        EXPECT_LE(static_cast<size_t>(box.size()), walked + 1) << count;
        EXPECT_EQ(std::vector<std::string>(box.items().begin(), box.items().begin() + 3),
                  (std::vector<std::string>{kWage, kOther, kTransfer}));
        for (int i = 3; i + 1 < box.size(); ++i) EXPECT_EQ(box.at(i), "") << i;
        EXPECT_EQ(box.at(box.size() - 1), kBonus);
        EXPECT_EQ(items(filter), items(box));

        TextList choices;
        loadModeCategoryChoices(c_, LedgerMode::Income, choices);
        EXPECT_EQ(items(choices), (std::vector<std::string>{kWage, kTransfer, kBonus})) << count;

        // Removing renumbers what the file holds and brings the count down to it.
        EXPECT_EQ(removeCategory(c_, box, kOther), RemoveResult::Removed);
        const int32_t n = readCategoryCount(c_);
        EXPECT_LE(n, static_cast<int32_t>(walked));
        EXPECT_EQ(readCategory(c_, 1), kWage);
        EXPECT_EQ(readCategory(c_, 2), kTransfer);
        EXPECT_EQ(readCategory(c_, n), kBonus);
        EXPECT_EQ(readCategory(c_, 500000000), "");
        TextList again;
        loadModeCategoryChoices(c_, LedgerMode::Income, again);
        EXPECT_EQ(items(again), (std::vector<std::string>{kWage, kTransfer, kBonus})) << count;
    }
}

TEST_F(CategoriesTest, NoFileListsNothingAndOffersNothing) {
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    EXPECT_EQ(c_.categoryCount, 0);
    EXPECT_EQ(filter.size() + box.size(), 0);
    TextList choices;
    choices.append("stale");
    choices.select(0);
    loadModeCategoryChoices(c_, LedgerMode::Income, choices);
    EXPECT_EQ(choices.size(), 0);
    EXPECT_EQ(choices.selected(), -1);
    EXPECT_FALSE(fs::exists(c_.settingsPath));
}

TEST_F(CategoriesTest, NoQualifyingCategoryChoosesNone) {
    put(kCount + "1=2\r\n" + kList + "1=" + kFood + "\r\n2=\r\n");
    TextList choices;
    loadModeCategoryChoices(c_, LedgerMode::Expense, choices);
    EXPECT_EQ(choices.size(), 0);
    EXPECT_EQ(choices.selected(), -1);
}

TEST_F(CategoriesTest, FirstAddCreatesTheListSectionBeforeTheCount) {
    TextList box;
    addCategory(c_, box, kWage);
    EXPECT_EQ(file(), kList + "1=" + kWage + "\r\n" + kCount + "1=1\r\n");
    EXPECT_EQ(c_.categoryCount, 1);
    EXPECT_EQ(items(box), std::vector<std::string>{kWage});
}

TEST_F(CategoriesTest, AddTakesEmptyAndRepeatedNamesUnchecked) {
    TextList box;
    addCategory(c_, box, kOther);
    addCategory(c_, box, kOther);
    addCategory(c_, box, "");
    EXPECT_EQ(file(),
              kList + "1=" + kOther + "\r\n2=" + kOther + "\r\n3=\r\n" + kCount + "1=3\r\n");
    EXPECT_EQ(items(box), (std::vector<std::string>{kOther, kOther, ""}));
    TextList choices;
    loadModeCategoryChoices(c_, LedgerMode::Expense, choices);
    EXPECT_EQ(items(choices), (std::vector<std::string>{kOther, kOther}));
}

// The checked add refuses what could never be chosen and what is already there, from the box or
// from the file, and then leaves both the file and the box exactly as they were.
TEST_F(CategoriesTest, CheckedAddRefusesNamesNoModeOffersAndNamesAlreadyThere) {
    const std::string kPocketMoney = "\xc1\xe3\xbb\xa8\xc7\xae";    // 零花钱
    const std::string kBonus = "\xbd\xb1\xbd\xf0\xca\xd5\xc8\xeb";  // 奖金收入
    // The bytes of 收入 starting on a second byte, across three other characters: no word.
    const std::string kSplitWord = "\xb0\xca\xd5\xc8\xeb\xb0";
    struct Case {
        std::string name;
        AddResult result;
    };
    const std::vector<Case> cases = {
        {kPocketMoney, AddResult::InNoMode},
        {"", AddResult::InNoMode},
        {kFood, AddResult::InNoMode},
        {kWage, AddResult::AlreadyThere},      // in the file and the box
        {kTransfer, AddResult::AlreadyThere},  // in the file only (written by another program)
        {kSplitWord, AddResult::InNoMode},
        {"a" + kTransfer, AddResult::Added},  // holds both words
        {kBonus, AddResult::Added},
        {kBonus, AddResult::AlreadyThere},  // just added by this window
    };
    putThreeCategories();
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    box.removeAt(2);  // the box no longer shows 收入开支转账, the file still holds it
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::string before = file();
        const std::vector<std::string> shown = items(box);
        const int32_t count = c_.categoryCount;
        EXPECT_EQ(addNewCategory(c_, box, k.name), k.result);
        if (k.result == AddResult::Added) {
            EXPECT_EQ(c_.categoryCount, count + 1);
            EXPECT_EQ(readCategory(c_, count + 1), k.name);
            EXPECT_EQ(box.items().back(), k.name);
        } else {
            EXPECT_EQ(file(), before);
            EXPECT_EQ(items(box), shown);
            EXPECT_EQ(c_.categoryCount, count);
        }
    }
}

TEST_F(CategoriesTest, CheckedAddAtAFirstStartCreatesTheFile) {
    TextList box;
    EXPECT_EQ(addNewCategory(c_, box, "x"), AddResult::InNoMode);
    EXPECT_FALSE(fs::exists(c_.settingsPath));
    EXPECT_EQ(addNewCategory(c_, box, kOther), AddResult::Added);
    EXPECT_EQ(file(), kList + "1=" + kOther + "\r\n" + kCount + "1=1\r\n");
}

TEST_F(CategoriesTest, AddUsesTheCountInMemory) {
    // A zero count with values present: nothing is listed and the next add overwrites key 1.
    put(kCount + "1=0\r\n" + kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n");
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    addCategory(c_, box, kFood);
    EXPECT_EQ(file(), kCount + "1=1\r\n" + kList + "1=" + kFood + "\r\n2=" + kOther + "\r\n");

    // A negative count: the add goes under key -4 and the count becomes -4.
    put(kCount + "1=-5\r\n" + kList + "1=" + kWage + "\r\n");
    box.clear();
    loadCategoryLists(c_, filter, box);
    addCategory(c_, box, kFood);
    EXPECT_EQ(c_.categoryCount, -4);
    EXPECT_EQ(file(), kCount + "1=-4\r\n" + kList + "1=" + kWage + "\r\n-4=" + kFood + "\r\n");
    EXPECT_EQ(items(box), std::vector<std::string>{kFood});
}

TEST_F(CategoriesTest, AddAtTheLargestCountWrapsAroundLikeTheCountsReading) {
    put(kCount + "1=2147483647\r\n" + kList + "1=" + kWage + "\r\n");
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    addCategory(c_, box, kFood);
    EXPECT_EQ(c_.categoryCount, INT32_MIN);
    EXPECT_EQ(readCategoryCount(c_), INT32_MIN);
    EXPECT_EQ(readCategory(c_, INT32_MIN), kFood);
}

TEST_F(CategoriesTest, FailedAddStillChangesMemoryUntilTheNextRead) {
    putThreeCategories();
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    const std::string before = file();
    fs::permissions(c_.settingsPath, fs::perms::owner_read);  // read-only, also for root
    addCategory(c_, box, kFood);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(c_.categoryCount, 4);
    EXPECT_EQ(box.size(), 4);
    TextList choices;
    loadModeCategoryChoices(c_, LedgerMode::Income, choices);
    EXPECT_EQ(c_.categoryCount, 3);
}

TEST_F(CategoriesTest, RemoveMovesLaterCategoriesDown) {
    putThreeCategories();
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    EXPECT_EQ(removeCategory(c_, box, kOther), RemoveResult::Removed);
    EXPECT_EQ(file(), kCount + "1=2\r\n" + kList + "1=" + kWage + "\r\n2=" + kTransfer + "\r\n");
    EXPECT_EQ(c_.categoryCount, 2);
    EXPECT_EQ(items(box), (std::vector<std::string>{kWage, kTransfer}));

    EXPECT_EQ(removeCategory(c_, box, kTransfer), RemoveResult::Removed);
    EXPECT_EQ(removeCategory(c_, box, kWage), RemoveResult::Removed);
    EXPECT_EQ(file(), kCount + "1=0\r\n" + kList);
    EXPECT_EQ(box.size(), 0);
    // The next add starts again at key 1.
    addCategory(c_, box, kFood);
    EXPECT_EQ(file(), kCount + "1=1\r\n" + kList + "1=" + kFood + "\r\n");
}

TEST_F(CategoriesTest, RemoveTakesOnlyTheFirstOfEqualNames) {
    put(kCount + "1=3\r\n" + kList + "1=" + kOther + "\r\n2=" + kWage + "\r\n3=" + kOther + "\r\n");
    TextList box;
    box.append(kOther);
    box.append(kWage);
    box.append(kOther);
    EXPECT_EQ(removeCategory(c_, box, kOther), RemoveResult::Removed);
    EXPECT_EQ(file(), kCount + "1=2\r\n" + kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n");
    EXPECT_EQ(items(box), (std::vector<std::string>{kWage, kOther}));
}

TEST_F(CategoriesTest, RemoveOfAnUnknownNameOrAFailedWriteChangesNothing) {
    putThreeCategories();
    TextList filter;
    TextList box;
    loadCategoryLists(c_, filter, box);
    const std::string before = file();
    // Keys past the count are not categories, and neither is an empty text here.
    put(before + "4=" + kFood + "\r\n");
    const std::string withExtra = file();
    EXPECT_EQ(removeCategory(c_, box, kFood), RemoveResult::NotFound);
    EXPECT_EQ(removeCategory(c_, box, ""), RemoveResult::NotFound);
    EXPECT_EQ(removeCategory(c_, box, kWage + " "), RemoveResult::NotFound);
    EXPECT_EQ(file(), withExtra);

    fs::permissions(c_.settingsPath, fs::perms::owner_read);
    EXPECT_EQ(removeCategory(c_, box, kWage), RemoveResult::WriteFailed);
    EXPECT_EQ(file(), withExtra);
    EXPECT_EQ(c_.categoryCount, 3);
    EXPECT_EQ(box.size(), 3);
}

TEST_F(CategoriesTest, RemoveFindsAnEmptyCategoryBelowTheCount) {
    put(kCount + "1=3\r\n" + kList + "1=" + kWage + "\r\n3=" + kOther + "\r\n");
    TextList box;
    EXPECT_EQ(removeCategory(c_, box, ""), RemoveResult::Removed);
    EXPECT_EQ(file(), kCount + "1=2\r\n" + kList + "1=" + kWage + "\r\n2=" + kOther + "\r\n");
}

}  // namespace
}  // namespace ledger
