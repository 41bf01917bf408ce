// `munchet-scores admin --db PATH|URI COMMAND ...`: the operator's tools,
// run beside the servers on the same database (only whoever can reach the
// database can use them; nothing of this is on the public port).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// args: what follows "admin". Prints results to out and problems to err;
// returns the process's exit status: 0 done, 1 failed, 2 a usage error.
int RunAdminCommand(const std::vector<std::string_view>& args, std::FILE* out, std::FILE* err);

// The admin part of --help.
std::string AdminUsage();

// "2026-12-09", "2026-12-09T10:30", "2026-12-09 10:30:15" (UTC) or seconds
// since 1970 written "@1765276215"; false when none of these.
bool ParseAdminTime(std::string_view text, std::int64_t& unixTime);

// An expiry: a time as ParseAdminTime takes it, or a span from now such as
// "90m", "12h", "7d", "4w".
bool ParseExpiry(std::string_view text, std::int64_t now, std::int64_t& unixTime);
