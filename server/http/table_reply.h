// The current table as one reply the HTTP library sends to any number of
// clients at once; it keeps the text alive until the last of them is done
// with it.
#pragma once

#include <microhttpd.h>

#include <mutex>

#include "server/store/table_cache.h"

class TableReply {
public:
    TableReply() = default;
    TableReply(const TableReply&) = delete;
    TableReply& operator=(const TableReply&) = delete;
    ~TableReply() { Publish(nullptr); }

    // Any thread; replaces the reply sent from now on.
    void Publish(const TableCache::Text& text);

    // False when there is no table yet or the library refused.
    bool Queue(MHD_Connection* handle);

private:
    std::mutex mutex;
    MHD_Response* response = nullptr;
};
