#pragma once

// A file access that keeps its files in memory, for the fuzz checks and for tests that want no
// disk traffic: every byte left behind can be compared directly. Locks always succeed (one
// user), flushes have nothing to do, every file may be written, and a folder exists once a file
// lies in it or it was created. Paths are compared as written, made lexically normal.

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "store/file_access.h"

namespace testsupport {

class MemoryFileAccess : public store::FileAccess {
  public:
    // The bytes of the file at `path`, created or replaced.
    void put(const std::filesystem::path& path, std::string bytes);
    // The bytes of the file at `path` now (empty when there is none).
    std::string bytes(const std::filesystem::path& path) const;
    bool has(const std::filesystem::path& path) const;

    store::Status open(const std::filesystem::path& path, bool writable,
                       std::unique_ptr<store::File>& out) override;
    store::Status createTemporary(const std::filesystem::path& beside, std::filesystem::path& name,
                                  std::unique_ptr<store::File>& out) override;
    store::Status rename(const std::filesystem::path& from, const std::filesystem::path& to,
                         bool replace) override;
    store::Status removeFile(const std::filesystem::path& path) override;
    store::Status createFolder(const std::filesystem::path& path) override;
    store::Status syncFolder(const std::filesystem::path& path) override;
    store::Status stat(const std::filesystem::path& path, store::PathInfo& out) override;
    store::Status listFiles(const std::filesystem::path& folder,
                            std::vector<std::filesystem::path>& names) override;
    int64_t nowMs() override { return now_; }
    void sleepMs(int ms) override { now_ += ms; }

    // A file larger than this is a disk that is full; no check needs one.
    static constexpr int64_t kMaxFile = int64_t{64} << 20;

  private:
    static std::string key(const std::filesystem::path& path);
    bool isFolder(const std::string& k) const;

    std::map<std::string, std::shared_ptr<std::string>> files_;
    std::set<std::string> folders_;
    unsigned temporaries_ = 0;
    int64_t now_ = 0;
};

}  // namespace testsupport
