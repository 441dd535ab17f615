#pragma once

// The store's own small file interface. Every byte the store reads or writes, every lock it takes
// and every pause of a lock retry goes through it, so that tests can fail any single call or stop
// a write path part-way (see fault_file_access.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace store {

// Classes of file failure, valued as the store's error codes for them.
enum class FileError : int32_t {
    None = 0,
    Unclassified = -1,
    NotFound = -3,
    BadPath = -4,
    TooManyOpenFiles = -5,
    AccessDenied = -6,
    InvalidHandle = -7,
    SeekFailed = -10,
    HardwareFault = -11,
    SharingViolation = -12,
    LockViolation = -13,
    DiskFull = -14,
    EndOfFile = -15,
};

inline int32_t errorCode(FileError e) { return static_cast<int32_t>(e); }

// Maps an errno value to its failure class.
FileError fileErrorFromErrno(int err);

// The outcome of a read, a write or a size query: `bytes` done (or the size), and the failure
// class, None on success. A read that meets the end of the file is a success with fewer bytes.
struct IoResult {
    int64_t bytes = 0;
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
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
    virtual FileError truncate(int64_t length) = 0;
    // Takes an exclusive lock of [offset, offset + length) without waiting: LockViolation when
    // another open of the file holds part of it. Locks belong to this open, not to the process.
    virtual FileError lock(int64_t offset, int64_t length) = 0;
    virtual FileError unlock(int64_t offset, int64_t length) = 0;
    // Whether the file was opened for writing.
    virtual bool writable() const = 0;
    // Hands the file's data to the disk (fdatasync) and returns once it is there, so that what
    // was written before survives a power cut. A failure means the data may not be on disk.
    virtual FileError sync() = 0;
};

// Opens files and keeps the clock of the lock retry.
class FileAccess {
  public:
    virtual ~FileAccess() = default;
    // Opens an existing file (never creates one), for reading and writing or read-only.
    virtual FileError open(const std::string& path, bool writable, std::unique_ptr<File>& out) = 0;
    // Creates a new, empty file for reading and writing and never touches one that exists: then
    // `exists` is set and nothing is opened. The default creates nothing (AccessDenied).
    virtual FileError createNew(const std::string& path, std::unique_ptr<File>& out, bool& exists);
    // Removes a file the store created (a copy it could not finish). The default removes nothing.
    virtual FileError removeFile(const std::string& path);
    // Hands the folder's entries to the disk, so that a file created in it survives a power cut.
    // The default does nothing.
    virtual FileError syncFolder(const std::string& folder);
    // A millisecond clock and a pause, used between the attempts of a lock.
    virtual int64_t nowMs();
    virtual void sleepMs(int ms);
};

// The Linux file access: pread/pwrite, ftruncate and open-file-description locks (F_OFD_SETLK),
// which, unlike classic fcntl locks, are not dropped when some other descriptor of the file is
// closed, and which keep two opens of one file apart even within one process.
std::shared_ptr<FileAccess> posixFileAccess();

}  // namespace store
