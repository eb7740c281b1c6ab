#include "platform/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/Strings.h"

namespace platform {

struct FileReplacer::State {
    std::string target;  // where the content ends up (a link already resolved)
    std::string temp;    // the new file while it is being written; empty when none exists
    int fd = -1;
};

namespace {

// A link is followed so that the file it points at gets the new content, as an ordinary
// overwrite would do; a dangling link is replaced by the file itself.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) {
            return resolved;
        }
    }
    return path;
}

bool closeFd(int& fd) {
    if (fd < 0) {
        return true;
    }
    // close may fail with EINTR after the descriptor is gone; it must not be retried.
    const bool ok = ::close(fd) == 0;
    fd = -1;
    return ok;
}

// Makes the rename itself survive a power loss. Best effort: a folder that cannot be opened
// still has the new file in place.
void syncFolder(const std::string& file) {
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileReplacer::FileReplacer(const std::wstring& target) : state_(new State) {
    state_->target = resolveTarget(WideToAnsi(target));
}

FileReplacer::~FileReplacer() {
    const int savedErrno = errno;  // callers may still want the error of a failed step
    closeFd(state_->fd);
    if (!state_->temp.empty()) {
        ::unlink(state_->temp.c_str());
    }
    errno = savedErrno;
}

bool FileReplacer::begin() {
    if (state_->fd >= 0 || !state_->temp.empty()) {
        return false;
    }
    const std::string& target = state_->target;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // Keep the new file's name well inside the limit of one path component.
    if (base.size() > 128) {
        base.resize(128);
    }

    // Permission bits as the old file has them; a new file gets what the umask allows.
    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = folder + "." + base + "." + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++) + ".tmp";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            state_->fd = fd;
            state_->temp = temp;
            if (hadOld) {
                ::fchmod(fd, old.st_mode & 07777);
            }
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool FileReplacer::write(const void* data, size_t size) {
    if (state_->fd < 0) {
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(state_->fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileReplacer::commit() {
    if (state_->fd < 0) {
        return false;
    }
    bool ok = ::fsync(state_->fd) == 0;
    int error = ok ? 0 : errno;
    if (!closeFd(state_->fd) && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(state_->temp.c_str(), state_->target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(state_->temp.c_str());
        state_->temp.clear();
        errno = error;
        return false;
    }
    state_->temp.clear();
    syncFolder(state_->target);
    return true;
}

}  // namespace platform
