#pragma once

// Runs part of a test in a child process inside its own mount namespace, where it may mount a
// small tmpfs (a disk that fills up) or make a directory read-only without touching the rest of
// the system. Running as root, permission bits stop nothing; a read-only mount does.

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace test_mount {

// The exit code of a child that could not set up its mount: the test is skipped.
inline constexpr int kNoMount = 77;

enum class Kind {
    SmallDisk,  // a tmpfs of `sizeKb` kilobytes over `dir`
    ReadOnly,   // `dir` itself, with what it holds, bound over itself read-only
};

// Forks; the child makes the mount over `dir` in a private namespace and runs `body`, whose
// result is its exit code. Returns the child's exit code, or 128 + signal.
inline int runWithMount(const std::string& dir, Kind kind, int sizeKb,
                        const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0) ::_exit(kNoMount);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) ::_exit(kNoMount);
        if (kind == Kind::SmallDisk) {
            std::string options = "size=" + std::to_string(sizeKb) + "k";
            if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) ::_exit(kNoMount);
        } else {
            if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                ::mount(nullptr, dir.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) !=
                    0) {
                ::_exit(kNoMount);
            }
        }
        int code = body();
        std::fflush(nullptr);
        ::_exit(code);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace test_mount
