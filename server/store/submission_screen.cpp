#include "server/store/submission_screen.h"

#include <ctime>

bool SubmissionScreen::Refresh(ScoreStore& store, std::string& error) {
    std::lock_guard refreshing(refreshMutex);
    std::shared_ptr<const NameBlocklist> freshList;
    if (!blocklistPath.empty()) {
        std::error_code ignored;
        const auto written = std::filesystem::last_write_time(blocklistPath, ignored);
        if (!ignored && written != blocklistWritten) {
            NameBlocklist list;
            if (!NameBlocklist::Load(blocklistPath, list, error)) return false;
            freshList = std::make_shared<NameBlocklist>(std::move(list));
            blocklistWritten = written;
        }
    }
    auto freshBans = std::make_shared<std::vector<Ban>>();
    const bool read = store.ReadBans(static_cast<std::int64_t>(std::time(nullptr)), *freshBans, error);
    std::lock_guard lock(mutex);
    if (freshList) blocklist = std::move(freshList);
    if (read) bans = std::move(freshBans);
    return read;
}

void SubmissionScreen::Start(ScoreStore& store, std::chrono::milliseconds period, Log log) {
    thread = std::thread([this, &store, period, log = std::move(log)] {
        std::unique_lock lock(threadMutex);
        while (!wake.wait_for(lock, period, [this] { return stopping; })) {
            lock.unlock();
            std::string error;
            if (!Refresh(store, error)) log("cannot read the bans or the name blocklist: " + error);
            lock.lock();
        }
    });
}

void SubmissionScreen::Stop() {
    {
        std::lock_guard lock(threadMutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
}

std::optional<Refusal> SubmissionScreen::Refuse(std::string_view name, std::string_view client,
                                                std::int64_t unixTime) const {
    std::shared_ptr<const std::vector<Ban>> currentBans;
    std::shared_ptr<const NameBlocklist> currentList;
    {
        std::lock_guard lock(mutex);
        currentBans = bans;
        currentList = blocklist;
    }
    if (currentList->Blocks(name)) return Refusal{400, "name not allowed on this server, choose another\n"};
    for (const Ban& ban : *currentBans) {
        if (BanCovers(ban, name, client, unixTime)) return Refusal{403, BanRefusal(ban)};
    }
    return std::nullopt;
}
