#include "store/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace store {

FileError fileErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return FileError::None;
        case ENOENT:
            return FileError::NotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EISDIR:
            return FileError::BadPath;
        case EMFILE:
        case ENFILE:
            return FileError::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileError::AccessDenied;
        case EBADF:
            return FileError::InvalidHandle;
        case ESPIPE:
        case EOVERFLOW:
        case EINVAL:
            return FileError::SeekFailed;
        case EIO:
            return FileError::HardwareFault;
        case EBUSY:
        case ETXTBSY:
            return FileError::SharingViolation;
        case EAGAIN:
            return FileError::LockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError::DiskFull;
        default:
            return FileError::Unclassified;
    }
}

int64_t FileAccess::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FileAccess::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

FileError FileAccess::createNew(const std::string&, std::unique_ptr<File>&, bool& exists) {
    exists = false;
    return FileError::AccessDenied;
}

FileError FileAccess::removeFile(const std::string&) { return FileError::AccessDenied; }

FileError FileAccess::syncFolder(const std::string&) { return FileError::None; }

namespace {

class PosixFile : public File {
  public:
    PosixFile(int fd, bool writable) : fd_(fd), writable_(writable) {}
    ~PosixFile() override { ::close(fd_); }

    IoResult readAt(int64_t offset, void* buffer, size_t n) override {
        auto* p = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, p + done, n - done, offset + static_cast<int64_t>(done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return {static_cast<int64_t>(done), fileErrorFromErrno(errno)};
            }
            if (r == 0) break;
            done += static_cast<size_t>(r);
        }
        return {static_cast<int64_t>(done), FileError::None};
    }

    IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        const auto* p = static_cast<const char*>(buffer);
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, p + done, n - done, offset + static_cast<int64_t>(done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return {static_cast<int64_t>(done), fileErrorFromErrno(errno)};
            }
            if (r == 0) return {static_cast<int64_t>(done), FileError::DiskFull};
            done += static_cast<size_t>(r);
        }
        return {static_cast<int64_t>(done), FileError::None};
    }

    IoResult size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return {0, fileErrorFromErrno(errno)};
        return {static_cast<int64_t>(st.st_size), FileError::None};
    }

    FileError truncate(int64_t length) override {
        while (::ftruncate(fd_, length) != 0) {
            if (errno != EINTR) return fileErrorFromErrno(errno);
        }
        return FileError::None;
    }

    FileError lock(int64_t offset, int64_t length) override {
        return setLock(writable_ ? F_WRLCK : F_RDLCK, offset, length);
    }

    FileError unlock(int64_t offset, int64_t length) override {
        return setLock(F_UNLCK, offset, length);
    }

    bool writable() const override { return writable_; }

    FileError sync() override {
        while (::fdatasync(fd_) != 0) {
            if (errno != EINTR) return fileErrorFromErrno(errno);
        }
        return FileError::None;
    }

  private:
    FileError setLock(short type, int64_t offset, int64_t length) {
        struct flock fl {};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = length;
        fl.l_pid = 0;  // required for open-file-description locks
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
            if (errno == EINTR) continue;
            // A file system without byte-range locks counts as locked.
            if (errno == ENOLCK || errno == ENOSYS || errno == EOPNOTSUPP) return FileError::None;
            if (errno == EACCES || errno == EAGAIN) return FileError::LockViolation;
            return fileErrorFromErrno(errno);
        }
        return FileError::None;
    }

    int fd_;
    bool writable_;
};

class PosixFileAccess : public FileAccess {
  public:
    FileError open(const std::string& path, bool writable, std::unique_ptr<File>& out) override {
        int fd;
        do {
            fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return fileErrorFromErrno(errno);
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return FileError::BadPath;
        }
        out = std::make_unique<PosixFile>(fd, writable);
        return FileError::None;
    }

    FileError createNew(const std::string& path, std::unique_ptr<File>& out,
                        bool& exists) override {
        exists = false;
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            exists = errno == EEXIST;
            return fileErrorFromErrno(errno);
        }
        out = std::make_unique<PosixFile>(fd, true);
        return FileError::None;
    }

    FileError removeFile(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 ? FileError::None : fileErrorFromErrno(errno);
    }

    FileError syncFolder(const std::string& folder) override {
        int fd;
        do {
            fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) return fileErrorFromErrno(errno);
        int r;
        do {
            r = ::fsync(fd);
        } while (r != 0 && errno == EINTR);
        int err = r != 0 ? errno : 0;
        ::close(fd);
        // A folder that cannot be flushed on its own (some file systems refuse) is flushed with
        // its files.
        if (err == EINVAL || err == EROFS) return FileError::None;
        return fileErrorFromErrno(err);
    }
};

}  // namespace

std::shared_ptr<FileAccess> posixFileAccess() {
    static std::shared_ptr<FileAccess> access = std::make_shared<PosixFileAccess>();
    return access;
}

}  // namespace store
