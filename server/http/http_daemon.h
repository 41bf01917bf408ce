// libmicrohttpd's daemon as the score server runs it: event-driven on its own
// threads over a socket we bound, its own bounds set just past ours so that
// our connection table, not the library's backlog, turns newcomers away.
#pragma once

#include <microhttpd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "server/http/score_server.h"

// Where the library calls back, all with the same closure.
struct DaemonCallbacks {
    void* cls = nullptr;
    MHD_NotifyConnectionCallback connection = nullptr;
    void* (*requestLine)(void* cls, const char* uri, MHD_Connection* handle) = nullptr;
    MHD_AccessHandlerCallback request = nullptr;
    MHD_RequestCompletedCallback completed = nullptr;
    MHD_LogCallback log = nullptr;
};

// Starts serving on listenFd with config's threads, time-outs, request size
// and TLS; connections: our own bound on connections open at once. Null when
// the library would not start (DaemonStartFailure says why).
MHD_Daemon* StartHttpDaemon(const ScoreServerConfig& config, int listenFd, std::size_t connections,
                            const DaemonCallbacks& callbacks);

// The reason for a daemon that did not start, for the operator.
std::string DaemonStartFailure(bool tls);

// See ScoreServer::ConnectionsThatFit.
int DaemonConnectionsThatFit(int wanted, int threads, std::uint64_t openFileLimit);
