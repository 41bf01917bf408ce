#include "scores/outbox_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Reads at most limit + 1 bytes, enough to tell a file that is too long.
bool readBounded(const std::string& path, std::size_t limit, std::string& text, bool& missing,
                 std::string& error) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        if (!missing) error = systemError("cannot open", path);
        return missing;
    }
    text.clear();
    char buffer[4096];
    while (text.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = systemError("cannot read", path);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A rename is only durable once the folder that holds the names is flushed.
bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0 || errno != ENOENT; }

}  // namespace

OutboxFile::OutboxFile(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/score-outbox.txt") {}

OutboxFile::~OutboxFile() {
    if (lock_ >= 0) ::close(lock_);  // closing releases the flock
}

bool OutboxFile::Lock(std::chrono::steady_clock::time_point deadline, std::string& error) {
    if (lock_ < 0) {
        const std::string lockPath = folder_ + "/score-outbox.lock";
        lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock_ < 0) {
            error = systemError("cannot open", lockPath);
            return false;
        }
    }
    // A non-blocking try in a loop: the other copy of the game holds the lock
    // for one exchange at most, and a stopped one must not freeze this game.
    while (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = systemError("cannot lock", folder_ + "/score-outbox.lock");
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "another copy of the game is using " + path_;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

OutboxLoad OutboxFile::Load() {
    OutboxLoad load;
    std::string text;
    bool missing = false;
    if (!readBounded(path_, MaxOutboxFileBytes, text, missing, load.error)) return load;
    if (missing) {
        load.usable = true;
        return load;
    }
    OutboxReading reading = ParseOutbox(text);
    if (!reading.damage.empty()) {
        load.damage = reading.damage;
        std::string aside;
        for (int n = 1; n <= 1000 && aside.empty(); ++n) {
            const std::string candidate = folder_ + "/score-outbox.damaged-" + std::to_string(n) + ".txt";
            if (!exists(candidate)) aside = candidate;
        }
        if (aside.empty()) {
            load.error = "no free name to set " + path_ + " aside";
            return load;
        }
        if (::rename(path_.c_str(), aside.c_str()) != 0) {
            load.error = systemError("cannot set aside", path_);
            return load;
        }
        syncFolder(folder_);
        load.setAsideAs = aside;
    }
    load.entries = std::move(reading.entries);
    load.usable = true;
    return load;
}

bool OutboxFile::Save(const std::vector<OutboxEntry>& entries, std::string& error) {
    if (entries.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
            error = systemError("cannot remove", path_);
            return false;
        }
        syncFolder(folder_);
        return true;
    }
    const std::string temporary = path_ + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = systemError("cannot create", temporary);
        return false;
    }
    const bool written = writeAll(fd, FormatOutbox(entries)) && ::fsync(fd) == 0;
    error = written ? "" : systemError("cannot write", temporary);
    if (::close(fd) != 0 && written) error = systemError("cannot write", temporary);
    if (error.empty() && ::rename(temporary.c_str(), path_.c_str()) != 0)
        error = systemError("cannot rename", temporary);
    if (!error.empty()) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The new file is in place either way; a folder that cannot be flushed
    // only leaves the rename exposed to a power cut.
    syncFolder(folder_);
    return true;
}
