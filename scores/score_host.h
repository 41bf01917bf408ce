// Which score server the game talks to.
#pragma once

#include <string>
#include <string_view>

// The server every request goes to: "host[:port]" for HTTP, or
// "https://host[:port]" for HTTPS, whose certificate is checked against the
// system's certificate authorities. Starts as the build's MUNCHET_SCORE_SERVER.
const std::string& ScoreServerHost();

// True for "name", "name:port", "[v6-address]" or "[v6-address]:port": a
// name of ASCII letters, digits, ".", "-" and "_" (at most 253 characters),
// a bracketed address of hex digits, ":" and ".", a port from 1 to 65535;
// each may follow "https://" (in any case). Anything that could change the
// meaning of the request URL (blanks, slashes, "@", "?", "#", "%", control
// characters, other bytes, another scheme) is refused.
bool IsValidScoreServerHost(std::string_view host);

// The start of every request URL to a valid host: "http://host[:port]" or
// "https://host[:port]".
std::string ScoreServerOrigin(std::string_view host);

// True when requests to host go over HTTPS.
bool IsHttpsScoreServer(std::string_view host);

// Points later requests at host, taken as given. An invalid host is ignored
// with a message on stderr, and the result is false.
bool SetScoreServerHost(std::string host);
