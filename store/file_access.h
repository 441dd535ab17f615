#pragma once

// The one file interface of the program. Every byte the store reads or writes, every lock it
// takes, every pause of a lock retry, and every file the rest of the program reads, creates,
// replaces, lists or removes (the settings file, the first start's database) goes through it, so
// that tests can fail any single call or stop a write path part-way (testsupport/
// fault_file_access.h). Paths are std::filesystem paths. The POSIX layer is file_access.cpp;
// another platform would be one more file beside it. Whole-file reads, exclusive creates and
// atomic replaces are built on these operations in whole_file.h.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "store/status.h"

namespace store {

// The outcome of a read, a write or a size query: `bytes` done (or the size), and the status,
// Ok on success. A read that meets the end of the file is a success with fewer bytes.
struct IoResult {
    int64_t bytes = 0;
    Status status = Status::Ok;
    bool ok() const { return status == Status::Ok; }
};

// One open file, shared for reading and writing with other processes.
class File {
  public:
    virtual ~File() = default;
    // Reads up to n bytes at offset; fewer only at the end of the file.
    virtual IoResult readAt(int64_t offset, void* buffer, size_t n) = 0;
    // Writes all n bytes at offset; on failure `bytes` says how many were written.
    virtual IoResult writeAt(int64_t offset, const void* buffer, size_t n) = 0;
    virtual IoResult size() = 0;
    // Sets the file's length.
    virtual Status truncate(int64_t length) = 0;
    // Returns once everything written so far, and the file's length, is on the disk itself.
    virtual Status sync() = 0;
    // Takes an exclusive lock of [offset, offset + length) without waiting: LockViolation when
    // another open of the file holds part of it. Locks belong to this open, not to the process.
    virtual Status lock(int64_t offset, int64_t length) = 0;
    virtual Status unlock(int64_t offset, int64_t length) = 0;
    // Whether the file was opened for writing.
    virtual bool writable() const = 0;
};

// What a path names, with symbolic links followed.
enum class PathKind {
    Missing,  // nothing there
    File,     // a regular file
    Folder,
    Other,  // a device, a FIFO, a socket, or a link that leads nowhere
};

struct PathInfo {
    PathKind kind = PathKind::Missing;
    // A File that has at least one write permission bit; one without counts as read-only, for
    // every user.
    bool writable = false;
    // A File's own path with every symbolic link followed: where a replacement must go for the
    // link to stay a link.
    std::filesystem::path target;
};

// Opens, creates and names files, and keeps the clock of the lock retry.
class FileAccess {
  public:
    virtual ~FileAccess() = default;

    // Opens an existing regular file, for reading and writing or read-only; never creates one and
    // never waits: anything but a regular file (a folder, a FIFO, a device, or a link to one)
    // fails with BadPath, a missing one with NotFound.
    virtual Status open(const std::filesystem::path& path, bool writable,
                        std::unique_ptr<File>& out) = 0;
    // Creates a new empty file, open for writing, under a name no file has yet, in the folder of
    // `beside`; `name` receives its path. When `beside` is a file, the new one takes its
    // permissions. On failure nothing is created.
    virtual Status createTemporary(const std::filesystem::path& beside, std::filesystem::path& name,
                                   std::unique_ptr<File>& out) = 0;
    // Gives file `from` the path `to`, in one step. With `replace`, a file at `to` is replaced;
    // without, an existing `to` fails with AccessDenied. On failure both stay as they were.
    virtual Status rename(const std::filesystem::path& from, const std::filesystem::path& to,
                          bool replace) = 0;
    // Removes a file (not a folder: BadPath); a missing one fails with NotFound.
    virtual Status removeFile(const std::filesystem::path& path) = 0;
    // Creates a folder in an existing one; a folder that is there already is a success, a file
    // there fails with BadPath.
    virtual Status createFolder(const std::filesystem::path& path) = 0;
    // Returns once the folder's list of names is on the disk itself, so that a file created,
    // renamed or removed in it stays so after a power cut.
    virtual Status syncFolder(const std::filesystem::path& path) = 0;
    // What `path` names. A missing path is a success with kind Missing.
    virtual Status stat(const std::filesystem::path& path, PathInfo& out) = 0;
    // The names (without the folder) of the files in `folder`, links to files included, sorted.
    virtual Status listFiles(const std::filesystem::path& folder,
                             std::vector<std::filesystem::path>& names) = 0;

    // A millisecond clock and a pause, used between the attempts of a lock.
    virtual int64_t nowMs();
    virtual void sleepMs(int ms);
};

// The Linux file access: pread/pwrite, ftruncate and open-file-description locks (F_OFD_SETLK),
// which, unlike classic fcntl locks, are not dropped when some other descriptor of the file is
// closed, and which keep two opens of one file apart even within one process.
std::shared_ptr<FileAccess> posixFileAccess();

}  // namespace store
