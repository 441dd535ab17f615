#include "store/file_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace store {

int64_t FileAccess::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FileAccess::sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

namespace {

namespace fs = std::filesystem;

// The class of failure an errno value stands for.
Status statusFromErrno(int err) {
    switch (err) {
        case 0:
            return Status::Ok;
        case ENOENT:
            return Status::NotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EISDIR:
            return Status::BadPath;
        case EMFILE:
        case ENFILE:
            return Status::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EEXIST:  // a name an exclusive create or rename may not take
            return Status::AccessDenied;
        case EBADF:
            return Status::InvalidHandle;
        case ESPIPE:
        case EOVERFLOW:
        case EINVAL:
            return Status::SeekFailed;
        case EIO:
            return Status::HardwareFault;
        case EBUSY:
        case ETXTBSY:
            return Status::SharingViolation;
        case EAGAIN:
            return Status::LockViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return Status::DiskFull;
        default:
            return Status::Unknown;
    }
}

Status lastErrno() { return statusFromErrno(errno); }

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
                return {static_cast<int64_t>(done), lastErrno()};
            }
            if (r == 0) break;
            done += static_cast<size_t>(r);
        }
        return {static_cast<int64_t>(done), Status::Ok};
    }

    IoResult writeAt(int64_t offset, const void* buffer, size_t n) override {
        const auto* p = static_cast<const char*>(buffer);
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, p + done, n - done, offset + static_cast<int64_t>(done));
            if (r < 0) {
                if (errno == EINTR) continue;
                return {static_cast<int64_t>(done), lastErrno()};
            }
            if (r == 0) return {static_cast<int64_t>(done), Status::DiskFull};
            done += static_cast<size_t>(r);
        }
        return {static_cast<int64_t>(done), Status::Ok};
    }

    IoResult size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return {0, lastErrno()};
        return {static_cast<int64_t>(st.st_size), Status::Ok};
    }

    Status truncate(int64_t length) override {
        while (::ftruncate(fd_, length) != 0) {
            if (errno != EINTR) return lastErrno();
        }
        return Status::Ok;
    }

    Status sync() override {
        // The data and the length, which is what reading the file back needs; times and other
        // attributes may follow later.
        while (::fdatasync(fd_) != 0) {
            if (errno != EINTR) return lastErrno();
        }
        return Status::Ok;
    }

    Status lock(int64_t offset, int64_t length) override {
        return setLock(writable_ ? F_WRLCK : F_RDLCK, offset, length);
    }

    Status unlock(int64_t offset, int64_t length) override {
        return setLock(F_UNLCK, offset, length);
    }

    bool writable() const override { return writable_; }

  private:
    Status setLock(short type, int64_t offset, int64_t length) {
        struct flock fl {};
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        fl.l_start = offset;
        fl.l_len = length;
        fl.l_pid = 0;  // required for open-file-description locks
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
            if (errno == EINTR) continue;
            // A file system without byte-range locks counts as locked.
            if (errno == ENOLCK || errno == ENOSYS || errno == EOPNOTSUPP) return Status::Ok;
            if (errno == EACCES || errno == EAGAIN) return Status::LockViolation;
            return lastErrno();
        }
        return Status::Ok;
    }

    int fd_;
    bool writable_;
};

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

class PosixFileAccess : public FileAccess {
  public:
    Status open(const fs::path& path, bool writable, std::unique_ptr<File>& out) override {
        // O_NONBLOCK: opening a FIFO would otherwise wait for a writer, for ever. It changes
        // nothing for the regular files that pass the check below.
        int fd = openRetrying(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK);
        if (fd < 0) return lastErrno();
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return Status::BadPath;
        }
        out = std::make_unique<PosixFile>(fd, writable);
        return Status::Ok;
    }

    Status createTemporary(const fs::path& beside, fs::path& name,
                           std::unique_ptr<File>& out) override {
        static std::atomic<unsigned> counter{0};
        struct stat old {};
        bool copyMode = ::stat(beside.c_str(), &old) == 0 && S_ISREG(old.st_mode);
        // The process number and a counter make a name that no other instance picks; an old
        // stray one of the same name is stepped over.
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::path candidate = beside;
            candidate += ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
            int fd = openRetrying(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return lastErrno();
            }
            if (copyMode && ::fchmod(fd, old.st_mode & 07777) != 0) {
                Status s = lastErrno();
                ::close(fd);
                ::unlink(candidate.c_str());
                return s;
            }
            name = candidate;
            out = std::make_unique<PosixFile>(fd, true);
            return Status::Ok;
        }
        return Status::AccessDenied;
    }

    Status rename(const fs::path& from, const fs::path& to, bool replace) override {
        if (replace) return ::rename(from.c_str(), to.c_str()) == 0 ? Status::Ok : lastErrno();
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return Status::Ok;
        }
        if (errno != EINVAL && errno != ENOSYS) return lastErrno();
        // A file system without a refusing rename: a second link fails just as well when the
        // name is taken; then the temporary name goes.
        if (::link(from.c_str(), to.c_str()) != 0) return lastErrno();
        ::unlink(from.c_str());
        return Status::Ok;
    }

    Status removeFile(const fs::path& path) override {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Status::BadPath;
        return ::unlink(path.c_str()) == 0 ? Status::Ok : lastErrno();
    }

    Status createFolder(const fs::path& path) override {
        if (::mkdir(path.c_str(), 0777) == 0) return Status::Ok;
        if (errno != EEXIST) return lastErrno();
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? Status::Ok : Status::BadPath;
    }

    Status syncFolder(const fs::path& path) override {
        int fd = openRetrying(path.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return lastErrno();
        Status s = Status::Ok;
        while (::fsync(fd) != 0) {
            if (errno == EINTR) continue;
            // Some file systems cannot flush a folder; there its names are as safe as they get.
            if (errno != EINVAL) s = lastErrno();
            break;
        }
        ::close(fd);
        return s;
    }

    Status stat(const fs::path& path, PathInfo& out) override {
        out = {};
        struct stat link;
        if (::lstat(path.c_str(), &link) != 0) {
            return errno == ENOENT || errno == ENOTDIR ? Status::Ok : lastErrno();
        }
        struct stat st = link;
        if (S_ISLNK(link.st_mode) && ::stat(path.c_str(), &st) != 0) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) return lastErrno();
            out.kind = PathKind::Other;  // a link that leads nowhere still takes the name
            return Status::Ok;
        }
        if (S_ISREG(st.st_mode)) {
            out.kind = PathKind::File;
            out.writable = (st.st_mode & 0222) != 0;
            out.target = path;
            if (S_ISLNK(link.st_mode)) {
                char* real = ::realpath(path.c_str(), nullptr);
                if (real == nullptr) return lastErrno();
                out.target = real;
                std::free(real);
            }
        } else {
            out.kind = S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
        }
        return Status::Ok;
    }

    Status listFiles(const fs::path& folder, std::vector<fs::path>& names) override {
        names.clear();
        int fd = openRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return lastErrno();
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            Status s = lastErrno();
            ::close(fd);
            return s;
        }
        Status s = Status::Ok;
        for (;;) {
            errno = 0;
            struct dirent* e = ::readdir(dir);
            if (e == nullptr) {
                if (errno != 0) s = lastErrno();
                break;
            }
            struct stat st;
            // A name that went away meanwhile, or a link that leads nowhere, is no file.
            if (::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
                names.emplace_back(e->d_name);
            }
        }
        ::closedir(dir);
        if (s != Status::Ok) {
            names.clear();
            return s;
        }
        std::sort(names.begin(), names.end());
        return s;
    }
};

}  // namespace

std::shared_ptr<FileAccess> posixFileAccess() {
    static std::shared_ptr<FileAccess> access = std::make_shared<PosixFileAccess>();
    return access;
}

}  // namespace store
