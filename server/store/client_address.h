// Which address a request is counted and recorded under.
#pragma once

#include <string>
#include <string_view>

struct sockaddr;

// The numeric text of an IPv4 or IPv6 socket address; "" for any other family.
// An IPv4 client seen through a dual-stack listener (::ffff:a.b.c.d) is written
// a.b.c.d, so one client has one address whatever the listener.
std::string FormatPeerAddress(const sockaddr* address);

// The canonical text of an IPv4 or IPv6 address written as text (surrounding
// blanks allowed), as FormatPeerAddress would write it; "" when the text is
// not exactly one such address (inet_pton decides).
std::string CanonicalAddress(std::string_view text);

// peer: the address of the TCP peer. forwardedFor: the value of the last
// X-Forwarded-For header, empty when there is none. Only with trustProxy is
// the header used, and then only its last entry, the one our own proxy
// appended (the entries before it come from the client and prove nothing).
// A last entry that is not an IP address falls back to peer.
std::string ChooseClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy);

// The key a client's limits are counted under: an IPv4 address itself; an
// IPv6 address's /64 written "2001:db8:1:2::/64", as a subscriber is
// usually handed a whole /64 and may use any address in it; any other text
// as it is.
std::string LimitKey(std::string_view address);
