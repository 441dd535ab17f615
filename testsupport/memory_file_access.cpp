#include "testsupport/memory_file_access.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

using store::IoResult;
using store::Status;
namespace fs = std::filesystem;

namespace {

class MemoryFile : public store::File {
  public:
    MemoryFile(std::shared_ptr<std::string> data, bool writable)
        : data_(std::move(data)), writable_(writable) {}

    IoResult readAt(int64_t offset, void* buffer, size_t n) override {
        if (offset < 0) return {0, Status::SeekFailed};
        int64_t size = static_cast<int64_t>(data_->size());
        if (offset >= size) return {0, Status::Ok};
        size_t got = static_cast<size_t>(std::min<int64_t>(size - offset, static_cast<int64_t>(n)));
        std::memcpy(buffer, data_->data() + offset, got);
        return {static_cast<int64_t>(got), Status::Ok};
    }
    IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        if (!writable_) return {0, Status::AccessDenied};
        if (offset < 0) return {0, Status::SeekFailed};
        if (offset + static_cast<int64_t>(n) > MemoryFileAccess::kMaxFile) {
            return {0, Status::DiskFull};
        }
        size_t end = static_cast<size_t>(offset) + n;
        if (data_->size() < end) data_->resize(end, '\0');
        if (n > 0) std::memcpy(data_->data() + offset, buffer, n);
        return {static_cast<int64_t>(n), Status::Ok};
    }
    IoResult size() override { return {static_cast<int64_t>(data_->size()), Status::Ok}; }
    Status truncate(int64_t length) override {
        if (!writable_) return Status::AccessDenied;
        if (length < 0) return Status::SeekFailed;
        if (length > MemoryFileAccess::kMaxFile) return Status::DiskFull;
        data_->resize(static_cast<size_t>(length), '\0');
        return Status::Ok;
    }
    Status sync() override { return Status::Ok; }
    Status lock(int64_t, int64_t) override { return Status::Ok; }
    Status unlock(int64_t, int64_t) override { return Status::Ok; }
    bool writable() const override { return writable_; }

  private:
    std::shared_ptr<std::string> data_;
    bool writable_;
};

}  // namespace

std::string MemoryFileAccess::key(const fs::path& path) {
    std::string k = path.lexically_normal().string();
    while (k.size() > 1 && k.back() == '/') k.pop_back();
    return k;
}

bool MemoryFileAccess::isFolder(const std::string& k) const {
    if (k.empty() || k == "." || folders_.count(k)) return true;
    for (const auto& [name, data] : files_) {
        if (fs::path(name).parent_path().string() == k) return true;
    }
    return false;
}

void MemoryFileAccess::put(const fs::path& path, std::string bytes) {
    files_[key(path)] = std::make_shared<std::string>(std::move(bytes));
}

std::string MemoryFileAccess::bytes(const fs::path& path) const {
    auto it = files_.find(key(path));
    return it == files_.end() ? std::string() : *it->second;
}

bool MemoryFileAccess::has(const fs::path& path) const { return files_.count(key(path)) > 0; }

Status MemoryFileAccess::open(const fs::path& path, bool writable,
                              std::unique_ptr<store::File>& out) {
    std::string k = key(path);
    auto it = files_.find(k);
    if (it == files_.end()) return isFolder(k) ? Status::BadPath : Status::NotFound;
    out = std::make_unique<MemoryFile>(it->second, writable);
    return Status::Ok;
}

Status MemoryFileAccess::createTemporary(const fs::path& beside, fs::path& name,
                                         std::unique_ptr<store::File>& out) {
    std::string folder = fs::path(key(beside)).parent_path().string();
    if (!isFolder(folder.empty() ? "." : folder)) return Status::NotFound;
    std::string k;
    do {
        k = key(beside) + ".tmp" + std::to_string(temporaries_++);
    } while (files_.count(k));
    auto data = std::make_shared<std::string>();
    files_[k] = data;
    name = k;
    out = std::make_unique<MemoryFile>(data, true);
    return Status::Ok;
}

Status MemoryFileAccess::rename(const fs::path& from, const fs::path& to, bool replace) {
    auto it = files_.find(key(from));
    if (it == files_.end()) return Status::NotFound;
    std::string target = key(to);
    // A name that is taken, by a file or a folder, refuses a rename that may not replace.
    if (!replace && (files_.count(target) || isFolder(target))) return Status::AccessDenied;
    if (isFolder(target)) return Status::BadPath;
    std::shared_ptr<std::string> data = it->second;
    files_.erase(it);
    files_[target] = std::move(data);
    return Status::Ok;
}

Status MemoryFileAccess::removeFile(const fs::path& path) {
    std::string k = key(path);
    if (files_.erase(k) > 0) return Status::Ok;
    return isFolder(k) ? Status::BadPath : Status::NotFound;
}

Status MemoryFileAccess::createFolder(const fs::path& path) {
    std::string k = key(path);
    if (files_.count(k)) return Status::BadPath;
    folders_.insert(k);
    return Status::Ok;
}

Status MemoryFileAccess::syncFolder(const fs::path& path) {
    return isFolder(key(path)) ? Status::Ok : Status::NotFound;
}

Status MemoryFileAccess::stat(const fs::path& path, store::PathInfo& out) {
    out = {};
    std::string k = key(path);
    if (files_.count(k)) {
        out.kind = store::PathKind::File;
        out.writable = true;
        out.target = k;
    } else if (isFolder(k)) {
        out.kind = store::PathKind::Folder;
    }
    return Status::Ok;
}

Status MemoryFileAccess::listFiles(const fs::path& folder, std::vector<fs::path>& names) {
    names.clear();
    std::string k = key(folder);
    if (files_.count(k)) return Status::BadPath;
    if (!isFolder(k)) return Status::NotFound;
    for (const auto& [name, data] : files_) {
        fs::path p(name);
        std::string parent = p.parent_path().string();
        if (parent == k || (parent.empty() && k == ".")) names.push_back(p.filename());
    }
    std::sort(names.begin(), names.end());
    return Status::Ok;
}

}  // namespace testsupport
