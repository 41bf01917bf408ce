// The socket munchet-scores listens on.
#pragma once

#include <string>

// Resolves host (a name or a numeric address, IPv6 without brackets), binds
// the first of its addresses that accepts port and listens there with the
// system's longest backlog. SO_REUSEADDR lets a restarted server bind while
// old connections linger; SO_REUSEPORT is left off, so a second server cannot
// start on a port already served and silently share it. The socket is
// non-blocking and close-on-exec. Returns it, or -1 with a message in error.
int OpenListenSocket(const std::string& host, int port, std::string& error);

// The port a bound socket listens on, or -1.
int BoundPort(int fd);
