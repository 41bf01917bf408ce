// The socket munchet-scores listens on, and the descriptors it may open.
#pragma once

#include <cstdint>
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

// Every connection is a descriptor, and the usual soft limit of 1024 would cap
// a server far below what it can hold: raises the soft limit on open files to
// the hard limit. Returns the soft limit now in force.
std::uint64_t RaiseOpenFileLimit();
