#pragma once

// Every file access of import and export: reading the user's bill and writing the user's export
// file, through the program's file seam (so the fault-injecting layer reaches them too).

#include <cstdint>
#include <string>

#include "store/file_access.h"

namespace exchange {

// The whole file at `path`, refused when it is longer than `byteLimit`. On failure returns false
// and sets `error` to a reason in UTF-8; `bytes` is then unspecified.
bool readUserFile(const std::string& path, int64_t byteLimit, std::string& bytes,
                  std::string& error, store::FileAccess& files = *store::posixFileAccess());

// Replaces (or creates) the file at `path` with `bytes`: written to a temporary file beside it,
// flushed to disk, renamed over `path` and the folder flushed, so a reader sees either the old
// file or the whole new one. On failure returns false with `error` set and `path` as it was.
bool writeUserFile(const std::string& path, const std::string& bytes, std::string& error,
                   store::FileAccess& files = *store::posixFileAccess());

// Creates the file at `path` with `bytes` unless a file is there already: written to a temporary
// file beside it, flushed, then linked into place, so that a file another program made meanwhile
// is never replaced and no one ever sees a part of it. True when the file is there afterwards
// (`created` says whether this call made it); false with `error` set otherwise.
bool createUserFile(const std::string& path, const std::string& bytes, bool& created,
                    std::string& error, store::FileAccess& files = *store::posixFileAccess());

// A new folder only this user can enter, under the system's temporary folder, removed with all
// it holds when the object goes. path() is empty when it could not be made.
class PrivateTempDir {
  public:
    PrivateTempDir();
    ~PrivateTempDir();
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace exchange
