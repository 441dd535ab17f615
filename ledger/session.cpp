#include "ledger/session.h"

#include <filesystem>
#include <system_error>

#include "ledger/ledger_open.h"
#include "ledger/ledger_schema.h"

namespace ledger {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLedgerFile = "Database.edb";
constexpr const char* kSettingsFile = "pz.ini";

std::string absoluteFolder(const std::string& folder) {
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(folder), ec);
    return ec ? folder : absolute.string();
}

}  // namespace

Session::Session(const std::string& runDirectory, std::shared_ptr<store::FileAccess> files)
    : runDirectory_(absoluteFolder(runDirectory)),
      ledgerPath_((fs::path(runDirectory_) / kLedgerFile).string()),
      settingsPath_((fs::path(runDirectory_) / kSettingsFile).string()),
      files_(std::move(files)),
      store_(files_) {
    categories_.settingsPath = settingsPath_;
    categories_.files = files_;
    for (const auto& fixed : kFixedFilterItems) filterList_.append(std::string(fixed));
    filterList_.select(0);
}

Session::~Session() {
    report_.reset();
    dayPage_.reset();
    store_.close(ledgerPath_);
}

void Session::attachWindow(WindowPort& window) {
    dayPage_ = std::make_unique<DayPage>(store_, window, queue_, categories_);
    report_ = std::make_unique<RangeReport>(store_, window, reportList_, queue_);
}

void Session::detachWindow() {
    report_.reset();
    dayPage_.reset();
}

int32_t Session::openLedger() {
    // A first start writes the empty database; a file that is there, whatever it holds, is
    // never replaced.
    store::PathInfo info;
    const bool existed = files_->stat(ledgerPath_, info) == store::Status::Ok &&
                         info.kind != store::PathKind::Missing;
    if (!existed) writeEmptyDatabase(*files_, ledgerPath_);
    if (!ledger::openLedger(store_, ledgerPath_) && existed) return store::RecordStore::lastError();
    return 0;
}

void Session::fillPages() {
    dayPage_->setLedgerMode(LedgerMode::Income);
    dayPage_->refreshDayView();
    loadCategoryLists(categories_, filterList_, categoryBoxList_);
}

}  // namespace ledger
