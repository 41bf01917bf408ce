#include "common/durable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool WriteFileDurably(const std::string& path, std::string_view bytes, std::string& error) {
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = SystemError("cannot create", temporary);
        return false;
    }
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    error = written ? "" : SystemError("cannot write", temporary);
    if (::close(fd) != 0 && written) error = SystemError("cannot write", temporary);
    if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = SystemError("cannot rename", temporary);
    if (!error.empty()) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The new file is in place either way; a folder that cannot be flushed
    // only leaves the rename exposed to a power cut.
    SyncFolder(FolderOf(path));
    return true;
}

bool ReadFileBounded(const std::string& path, std::size_t limit, std::string& text, bool& missing,
                     std::string& error) {
    missing = false;
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        if (!missing) error = SystemError("cannot open", path);
        return missing;
    }
    char buffer[65536];
    while (text.size() <= limit) {
        const std::size_t wanted = std::min(sizeof buffer, limit + 1 - text.size());
        const ssize_t got = ::read(fd, buffer, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = SystemError("cannot read", path);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}
