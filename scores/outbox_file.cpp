#include "scores/outbox_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "common/durable_file.h"

namespace {

std::string systemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
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
    if (!ReadFileBounded(path_, MaxOutboxFileBytes, text, missing, load.error)) return load;
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
        SyncFolder(folder_);
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
        SyncFolder(folder_);
        return true;
    }
    return WriteFileDurably(path_, FormatOutbox(entries), error);
}
