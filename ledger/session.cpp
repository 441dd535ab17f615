#include "ledger/session.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

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

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Moves `from` to `to` unless something is at `to` already; false then, and `from` stays.
bool moveIntoPlace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: a hard link refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

Session::Session(const std::string& runDirectory, std::shared_ptr<store::FileAccess> files)
    : runDirectory_(absoluteFolder(runDirectory)),
      ledgerPath_((fs::path(runDirectory_) / kLedgerFile).string()),
      settingsPath_((fs::path(runDirectory_) / kSettingsFile).string()),
      files_(std::move(files)),
      store_(files_) {
    categories_.settingsPath = settingsPath_;
    for (const auto& fixed : kFixedFilterItems) filterList_.append(std::string(fixed));
    filterList_.select(0);
}

Session::~Session() {
    report_.reset();
    dayPage_.reset();
    store_.close(ledgerPath_);
}

void Session::attachWindow(WindowPort& window) {
    dayPage_ = std::make_unique<DayPage>(store_, window, guard_, categories_);
    report_ = std::make_unique<RangeReport>(store_, window, reportList_, guard_);
}

void Session::detachWindow() {
    report_.reset();
    dayPage_.reset();
}

int32_t Session::openLedger() {
    std::error_code ec;
    const bool existed = fs::exists(ledgerPath_, ec);
    if (!existed) writeEmptyDatabase();
    if (!store_.open(ledgerPath_) && existed) return store::RecordStore::lastError();
    return 0;
}

void Session::fillPages() {
    dayPage_->setLedgerMode(LedgerMode::Income);
    dayPage_->refreshDayView();
    loadCategoryLists(categories_, filterList_, categoryBoxList_);
}

// Writes the empty ledger database under a temporary name beside it and moves it into place, so
// that a failed first start never leaves a partial file; the move refuses to replace a file that
// appeared meanwhile.
void Session::writeEmptyDatabase() {
    const std::string bytes = emptyLedgerDatabase();
    std::string temp = (fs::path(ledgerPath_).parent_path() / "Database.edb.XXXXXX").string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return;
    bool ok = writeAll(fd, bytes);
    // Readable by everyone and writable by its owner, as a new file of the program's folder; the
    // temporary file is made for its owner alone. A file left at that is still the ledger.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) ok = false;
    if (!ok || !moveIntoPlace(temp, ledgerPath_)) ::unlink(temp.c_str());
}

}  // namespace ledger
