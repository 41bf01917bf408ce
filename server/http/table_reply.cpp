#include "server/http/table_reply.h"

#include <utility>

void TableReply::Publish(const TableCache::Text& text) {
    MHD_Response* fresh = nullptr;
    if (text) {
        auto* keep = new TableCache::Text(text);
        fresh = MHD_create_response_from_buffer_with_free_callback_cls(
            text->size(), const_cast<char*>(text->data()),
            [](void* cls) { delete static_cast<TableCache::Text*>(cls); }, keep);
        if (!fresh) {
            delete keep;
            return;  // out of memory: the previous table stays
        }
        MHD_add_response_header(fresh, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
        MHD_add_response_header(fresh, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    }
    MHD_Response* old;
    {
        std::lock_guard lock(mutex);
        old = std::exchange(response, fresh);
    }
    if (old) MHD_destroy_response(old);  // connections still sending it hold their own reference
}

bool TableReply::Queue(MHD_Connection* handle) {
    std::lock_guard lock(mutex);
    return response && MHD_queue_response(handle, MHD_HTTP_OK, response) == MHD_YES;
}
