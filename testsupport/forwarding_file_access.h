#pragma once

// A file access that hands every call to another one, and a file that does the same: the base of
// the tests' small wrappers, which override only the calls they change (a read-only open, a hook
// before a lock).

#include <memory>
#include <utility>

#include "store/file_access.h"

namespace testsupport {

class ForwardingFile : public store::File {
  public:
    explicit ForwardingFile(std::unique_ptr<store::File> inner) : inner_(std::move(inner)) {}

    store::IoResult readAt(int64_t offset, void* buffer, size_t n) override {
        return inner_->readAt(offset, buffer, n);
    }
    store::IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        return inner_->writeAt(offset, buffer, n);
    }
    store::IoResult size() override { return inner_->size(); }
    store::Status truncate(int64_t length) override { return inner_->truncate(length); }
    store::Status sync() override { return inner_->sync(); }
    store::Status lock(int64_t offset, int64_t length) override {
        return inner_->lock(offset, length);
    }
    store::Status unlock(int64_t offset, int64_t length) override {
        return inner_->unlock(offset, length);
    }
    bool writable() const override { return inner_->writable(); }

  protected:
    std::unique_ptr<store::File> inner_;
};

class ForwardingFileAccess : public store::FileAccess {
  public:
    explicit ForwardingFileAccess(
        std::shared_ptr<store::FileAccess> inner = store::posixFileAccess())
        : inner_(std::move(inner)) {}

    store::Status open(const std::filesystem::path& path, bool writable,
                       std::unique_ptr<store::File>& out) override {
        return inner_->open(path, writable, out);
    }
    store::Status createTemporary(const std::filesystem::path& beside, std::filesystem::path& name,
                                  std::unique_ptr<store::File>& out) override {
        return inner_->createTemporary(beside, name, out);
    }
    store::Status rename(const std::filesystem::path& from, const std::filesystem::path& to,
                         bool replace) override {
        return inner_->rename(from, to, replace);
    }
    store::Status removeFile(const std::filesystem::path& path) override {
        return inner_->removeFile(path);
    }
    store::Status createFolder(const std::filesystem::path& path) override {
        return inner_->createFolder(path);
    }
    store::Status syncFolder(const std::filesystem::path& path) override {
        return inner_->syncFolder(path);
    }
    store::Status stat(const std::filesystem::path& path, store::PathInfo& out) override {
        return inner_->stat(path, out);
    }
    store::Status listFiles(const std::filesystem::path& folder,
                            std::vector<std::filesystem::path>& names) override {
        return inner_->listFiles(folder, names);
    }
    int64_t nowMs() override { return inner_->nowMs(); }
    void sleepMs(int ms) override { inner_->sleepMs(ms); }

  protected:
    std::shared_ptr<store::FileAccess> inner_;
};

}  // namespace testsupport
