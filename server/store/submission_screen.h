// The operator's say over what is stored: the bans `munchet-scores admin ban`
// writes into the store, and the name blocklist file. A thread of its own
// reads both again every period, so a ban set from another process, or an
// edit of the file, takes effect within that time without a restart; the
// check itself reads only memory.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/store/bans.h"
#include "server/store/name_blocklist.h"
#include "server/store/score_store.h"

// Why a submission is not stored: the status and its one-line body.
struct Refusal {
    int status = 403;
    std::string body;  // ends with "\n"
};

class SubmissionScreen {
public:
    using Log = std::function<void(std::string_view line)>;

    // blocklistPath: the --name-blocklist file, empty for none.
    explicit SubmissionScreen(std::string blocklistPath = {}) : blocklistPath(std::move(blocklistPath)) {}
    SubmissionScreen(const SubmissionScreen&) = delete;
    SubmissionScreen& operator=(const SubmissionScreen&) = delete;
    ~SubmissionScreen() { Stop(); }

    // Reads the bans in force and, when its file changed since the last
    // read, the blocklist. False with a message; what was read last stays
    // in force. Any thread.
    bool Refresh(ScoreStore& store, std::string& error);

    // Refreshes every period on a thread of its own until Stop; failures go to log.
    void Start(ScoreStore& store, std::chrono::milliseconds period, Log log);
    void Stop();

    // nullopt when a submission of this name from this client at unixTime
    // may be stored; else 400 for a blocked name, 403 for a ban. Any thread.
    std::optional<Refusal> Refuse(std::string_view name, std::string_view client,
                                  std::int64_t unixTime) const;

private:
    std::string blocklistPath;
    std::optional<std::filesystem::file_time_type> blocklistWritten;  // of the copy in force

    mutable std::mutex mutex;  // guards the two below
    std::shared_ptr<const std::vector<Ban>> bans = std::make_shared<std::vector<Ban>>();
    std::shared_ptr<const NameBlocklist> blocklist = std::make_shared<NameBlocklist>();

    std::mutex refreshMutex;  // one Refresh at a time
    std::mutex threadMutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};
