#pragma once

// The real file access with every flush skipped: for building a benchmark's fixtures quickly,
// and for measuring what the flushes cost beside the same work with them.

#include <memory>
#include <string>

#include "store/file_access.h"

namespace bench {

class UnflushedAccess : public store::FileAccess {
  public:
    store::FileError open(const std::string& path, bool writable,
                          std::unique_ptr<store::File>& out) override {
        std::unique_ptr<store::File> inner;
        store::FileError e = store::posixFileAccess()->open(path, writable, inner);
        if (e == store::FileError::None) out = std::make_unique<Unflushed>(std::move(inner));
        return e;
    }

  private:
    class Unflushed : public store::File {
      public:
        explicit Unflushed(std::unique_ptr<store::File> inner) : inner_(std::move(inner)) {}
        store::IoResult readAt(int64_t o, void* b, size_t n) override {
            return inner_->readAt(o, b, n);
        }
        store::IoResult writeAt(int64_t o, const void* b, size_t n) override {
            return inner_->writeAt(o, b, n);
        }
        store::IoResult size() override { return inner_->size(); }
        store::FileError truncate(int64_t n) override { return inner_->truncate(n); }
        store::FileError lock(int64_t o, int64_t n) override { return inner_->lock(o, n); }
        store::FileError unlock(int64_t o, int64_t n) override { return inner_->unlock(o, n); }
        bool writable() const override { return inner_->writable(); }
        store::FileError sync() override { return store::FileError::None; }

      private:
        std::unique_ptr<store::File> inner_;
    };
};

inline std::shared_ptr<store::FileAccess> unflushed() {
    static auto access = std::make_shared<UnflushedAccess>();
    return access;
}

}  // namespace bench
