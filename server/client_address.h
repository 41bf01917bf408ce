// Which address a request is counted and recorded under.
#pragma once

#include <string>
#include <string_view>

// peer: the address of the TCP peer. forwardedFor: the value of the last
// X-Forwarded-For header, empty when there is none. Only with trustProxy is
// the header used, and then only its last entry, the one our own proxy
// appended (the entries before it come from the client and prove nothing).
// A last entry that does not look like an IP address falls back to peer.
std::string ChooseClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy);
