// The command line of munchet-scores.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ServerOptions {
    std::string host = "127.0.0.1";  // address to listen on (IPv6 without brackets)
    int port = 8642;                 // 0: any free port
    std::string dbPath = "munchet-scores.db";
    int rateLimit = 30;          // submissions per minute per client address; 0: no limit
    bool trustProxy = false;     // take the client address from X-Forwarded-For
    int threads = 8;             // threads serving connections, 1..256
    int timeoutSeconds = 5;      // to send one request once begun, or to take a reply, 1..3600
    int maxConnections = 4000;   // open at once, 1..1000000
    int maxPerClient = 32;       // open at once from one address, 0..1000000; 0: no bound
    int maxRequestBytes = 8192;  // request line and headers together, 1024..1048576
    std::string portFile;        // if set, the bound port is written there once listening
    // dbPath is an SQLite file, or a PostgreSQL database when IsPostgresUri.
    // For PostgreSQL, the time to connect and for each command, 1..600:
    int dbTimeoutSeconds = 5;
    // If set, copy this SQLite file into the PostgreSQL database and exit.
    std::string importSqlite;
    bool help = false;
};

// Splits "HOST:PORT" or "[IPV6]:PORT" into host and port (0..65535).
bool ParseListenAddress(std::string_view text, std::string& host, int& port);

// Parses the arguments after the program name. False with a message in error
// on an unknown option, a missing value, a value out of range, or an import
// whose --db is not a PostgreSQL URI.
bool ParseServerOptions(const std::vector<std::string_view>& args, ServerOptions& options,
                        std::string& error);

// The --help text.
std::string ServerUsage();
