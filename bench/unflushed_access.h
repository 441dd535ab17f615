#pragma once

// The real file access with every flush skipped: for building a benchmark's fixtures quickly,
// and for measuring what the flushes cost beside the same work with them.

#include <filesystem>
#include <memory>

#include "store/file_access.h"
#include "testsupport/forwarding_file_access.h"

namespace bench {

class UnflushedAccess : public testsupport::ForwardingFileAccess {
  public:
    store::Status open(const std::filesystem::path& path, bool writable,
                       std::unique_ptr<store::File>& out) override {
        std::unique_ptr<store::File> inner;
        store::Status e = inner_->open(path, writable, inner);
        if (e == store::Status::Ok) out = std::make_unique<Unflushed>(std::move(inner));
        return e;
    }
    store::Status syncFolder(const std::filesystem::path&) override { return store::Status::Ok; }

  private:
    class Unflushed : public testsupport::ForwardingFile {
      public:
        using ForwardingFile::ForwardingFile;
        store::Status sync() override { return store::Status::Ok; }
    };
};

inline std::shared_ptr<store::FileAccess> unflushed() {
    static auto access = std::make_shared<UnflushedAccess>();
    return access;
}

}  // namespace bench
