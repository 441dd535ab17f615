#include "exchange/exchange_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "ledger/gbk.h"
#include "store/whole_file.h"

namespace exchange {

namespace {

// The store's text for a failed file operation, in UTF-8.
std::string reason(const char* what, store::Status status) {
    return std::string(what) + "：" + ledger::gbkToUtf8(store::errorText(status));
}

}  // namespace

bool readUserFile(const std::string& path, int64_t byteLimit, std::string& bytes,
                  std::string& error, store::FileAccess& files) {
    const size_t limit = byteLimit < 0 ? 0 : static_cast<size_t>(byteLimit);
    switch (const store::Status s = store::readWholeFile(files, path, limit, bytes)) {
        case store::Status::Ok:
            return true;
        case store::Status::BadPath:
            error = "不是普通文件";
            return false;
        case store::Status::NoMemory:
            error = "文件过大（超过 " + std::to_string(byteLimit / (1024 * 1024)) + " MB）";
            return false;
        default:
            error = reason("无法打开文件", s);
            return false;
    }
}

bool writeUserFile(const std::string& path, const std::string& bytes, std::string& error,
                   store::FileAccess& files) {
    const store::Status s = store::replaceWholeFile(files, path, bytes);
    if (s == store::Status::Ok) return true;
    error = reason("写入文件失败", s);
    return false;
}

bool createUserFile(const std::string& path, const std::string& bytes, bool& created,
                    std::string& error, store::FileAccess& files) {
    created = false;
    const store::Status s = store::createWholeFile(files, path, bytes);
    if (s == store::Status::Ok) {
        created = true;
        return true;
    }
    // A file that is there already is kept as it is; that is what the caller asked for.
    store::PathInfo info;
    if (files.stat(path, info) == store::Status::Ok && info.kind == store::PathKind::File) {
        return true;
    }
    error = reason("无法创建文件", s);
    return false;
}

namespace {

void removeTree(const std::string& path) {
    if (DIR* d = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat st {};
            if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                removeTree(child);
            } else {
                ::unlink(child.c_str());
            }
        }
        ::closedir(d);
    }
    ::rmdir(path.c_str());
}

}  // namespace

PrivateTempDir::PrivateTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tamvelo-export.XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

PrivateTempDir::~PrivateTempDir() {
    if (!path_.empty()) removeTree(path_);
}

}  // namespace exchange
