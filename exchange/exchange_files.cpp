#include "exchange/exchange_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace exchange {

namespace {

std::string reason(const char* what, int err) {
    return std::string(what) + "：" + std::strerror(err);
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// mkstemp makes the file private; an export or a ledger is an ordinary file of the user's, as
// the window's first start leaves Database.edb: rw-r--r-- less what the user's umask takes away.
void giveOrdinaryPermissions(int fd) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0644 & ~mask);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool readUserFile(const std::string& path, int64_t byteLimit, std::string& bytes,
                  std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = reason("无法打开文件", errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "不是普通文件";
        ::close(fd);
        return false;
    }
    if (st.st_size > byteLimit) {
        error = "文件过大（超过 " + std::to_string(byteLimit / (1024 * 1024)) + " MB）";
        ::close(fd);
        return false;
    }
    bytes.clear();
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = reason("读取文件失败", errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        // The file may grow while it is read; the limit holds for what is read, not for fstat.
        if (static_cast<int64_t>(bytes.size()) + n > byteLimit) {
            error = "文件过大（超过 " + std::to_string(byteLimit / (1024 * 1024)) + " MB）";
            ::close(fd);
            return false;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool writeUserFile(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string folder = folderOf(path);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = reason("无法创建文件", errno);
        return false;
    }
    giveOrdinaryPermissions(fd);
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        error = reason("写入文件失败", errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        error = reason("写入文件失败", errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = reason("无法替换文件", errno);
        ::unlink(temp.c_str());
        return false;
    }
    // The rename is on disk only once the folder is.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool createUserFile(const std::string& path, const std::string& bytes, bool& created,
                    std::string& error) {
    created = false;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = reason("无法创建文件", errno);
        return false;
    }
    giveOrdinaryPermissions(fd);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeErr = errno;
    if (::close(fd) != 0 || !written) {
        error = reason("写入文件失败", written ? errno : writeErr);
        ::unlink(temp.c_str());
        return false;
    }
    // link() refuses an existing name, where rename() would replace it.
    const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
    const int linkErr = errno;
    ::unlink(temp.c_str());
    if (!linked && linkErr != EEXIST) {
        error = reason("无法创建文件", linkErr);
        return false;
    }
    created = linked;
    if (linked) {
        const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

namespace {

void removeTree(const std::string& path) {
    if (DIR* d = ::opendir(path.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat st {};
            if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                removeTree(child);
            } else {
                ::unlink(child.c_str());
            }
        }
        ::closedir(d);
    }
    ::rmdir(path.c_str());
}

}  // namespace

PrivateTempDir::PrivateTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tamvelo-export.XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

PrivateTempDir::~PrivateTempDir() {
    if (!path_.empty()) removeTree(path_);
}

}  // namespace exchange
