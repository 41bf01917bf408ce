// Our replies handed to libmicrohttpd: each is copied into a response of
// the library's own and queued on the connection, which keeps it until it
// is sent. close: "Connection: close" besides, for a client not to be
// trusted further or a server stopping.
#pragma once

#include <microhttpd.h>

#include "server/http/score_service.h"
#include "server/web/play_files.h"
#include "server/web/web_reply.h"

// A plain-text reply, never cached.
MHD_Result QueueTextReply(MHD_Connection* handle, const ScoreReply& reply, bool close);

// The web page's, the JSON twin's, the stylesheet's or a replay file's
// reply, with its headers and tag.
MHD_Result QueueWebReply(MHD_Connection* handle, const WebReply& reply, bool close);

// A reply under /play/, its body sent from the PlayFiles that made it
// (uncopied: they outlive the daemon).
MHD_Result QueuePlayReply(MHD_Connection* handle, const PlayReply& reply, bool close);
