#include "server/http/http_replies.h"

#include <string>
#include <string_view>

namespace {

template <class AddHeaders>
MHD_Result QueueReply(MHD_Connection* handle, int status, std::string_view body, bool close,
                      AddHeaders addHeaders, MHD_ResponseMemoryMode memory = MHD_RESPMEM_MUST_COPY) {
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), memory);
    if (!response) return MHD_NO;
    addHeaders(response);
    if (close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(handle, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
}

void AddEach(MHD_Response* response, const std::vector<WebHeader>& headers) {
    for (const WebHeader& header : headers)
        MHD_add_response_header(response, std::string(header.name).c_str(),
                                std::string(header.value).c_str());
}

}  // namespace

MHD_Result QueueTextReply(MHD_Connection* handle, const ScoreReply& reply, bool close) {
    return QueueReply(handle, reply.status, reply.body, close, [](MHD_Response* response) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    });
}

MHD_Result QueueWebReply(MHD_Connection* handle, const WebReply& reply, bool close) {
    return QueueReply(handle, reply.status, reply.body, close, [&reply](MHD_Response* response) {
        AddEach(response, reply.headers);
        if (!reply.etag.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, reply.etag.c_str());
    });
}

MHD_Result QueuePlayReply(MHD_Connection* handle, const PlayReply& reply, bool close) {
    return QueueReply(
        handle, reply.status, reply.body, close,
        [&reply](MHD_Response* response) {
            AddEach(response, reply.headers);
            if (!reply.location.empty())
                MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, reply.location.c_str());
        },
        MHD_RESPMEM_PERSISTENT);
}
