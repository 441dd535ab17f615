#pragma once

// A file access that keeps its files in memory, for the fuzz checks: no disk traffic, and every
// byte the store leaves behind can be compared directly. Locks always succeed (one user).

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/file_access.h"

namespace fuzz {

class MemoryFileAccess : public store::FileAccess {
  public:
    // The bytes of the file at `path`, created or replaced.
    void put(const std::string& path, std::string bytes) {
        files_[path] = std::make_shared<std::string>(std::move(bytes));
    }
    // The bytes of the file at `path` now (empty when there is none).
    std::string bytes(const std::string& path) const {
        auto it = files_.find(path);
        return it == files_.end() ? std::string() : *it->second;
    }

    store::FileError open(const std::string& path, bool writable,
                          std::unique_ptr<store::File>& out) override {
        auto it = files_.find(path);
        if (it == files_.end()) return store::FileError::NotFound;
        out = std::make_unique<MemoryFile>(it->second, writable);
        return store::FileError::None;
    }
    store::FileError createNew(const std::string& path, std::unique_ptr<store::File>& out,
                               bool& exists) override {
        exists = files_.count(path) > 0;
        if (exists) return store::FileError::AccessDenied;
        put(path, {});
        return open(path, true, out);
    }
    store::FileError removeFile(const std::string& path) override {
        return files_.erase(path) ? store::FileError::None : store::FileError::NotFound;
    }
    // Every file name held, for checks of what an open left beside the database.
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& [name, data] : files_) n.push_back(name);
        return n;
    }
    int64_t nowMs() override { return now_; }
    void sleepMs(int ms) override { now_ += ms; }

  private:
    class MemoryFile : public store::File {
      public:
        MemoryFile(std::shared_ptr<std::string> data, bool writable)
            : data_(std::move(data)), writable_(writable) {}
        store::IoResult readAt(int64_t offset, void* buffer, size_t n) override {
            if (offset < 0) return {0, store::FileError::SeekFailed};
            int64_t size = static_cast<int64_t>(data_->size());
            if (offset >= size) return {0, store::FileError::None};
            size_t got =
                static_cast<size_t>(std::min<int64_t>(size - offset, static_cast<int64_t>(n)));
            std::memcpy(buffer, data_->data() + offset, got);
            return {static_cast<int64_t>(got), store::FileError::None};
        }
        store::IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
            if (!writable_) return {0, store::FileError::AccessDenied};
            if (offset < 0) return {0, store::FileError::SeekFailed};
            // A file larger than this is a disk that is full; the fuzz check never needs one.
            if (offset + static_cast<int64_t>(n) > kMaxFile) return {0, store::FileError::DiskFull};
            size_t end = static_cast<size_t>(offset) + n;
            if (data_->size() < end) data_->resize(end, '\0');
            std::memcpy(data_->data() + offset, buffer, n);
            return {static_cast<int64_t>(n), store::FileError::None};
        }
        store::IoResult size() override {
            return {static_cast<int64_t>(data_->size()), store::FileError::None};
        }
        store::FileError truncate(int64_t length) override {
            if (!writable_) return store::FileError::AccessDenied;
            if (length < 0) return store::FileError::SeekFailed;
            if (length > kMaxFile) return store::FileError::DiskFull;
            data_->resize(static_cast<size_t>(length), '\0');
            return store::FileError::None;
        }
        store::FileError lock(int64_t, int64_t) override { return store::FileError::None; }
        store::FileError unlock(int64_t, int64_t) override { return store::FileError::None; }
        bool writable() const override { return writable_; }
        store::FileError sync() override { return store::FileError::None; }

      private:
        static constexpr int64_t kMaxFile = int64_t{64} << 20;
        std::shared_ptr<std::string> data_;
        bool writable_;
    };

    std::map<std::string, std::shared_ptr<std::string>> files_;
    int64_t now_ = 0;
};

}  // namespace fuzz
