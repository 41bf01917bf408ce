// The command line of munchet-scores.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The processor cores this machine has, at least 1.
int CoreCount();

// Where the package puts the game built for the browser: share/munchet/web
// beside the bin/ holding this program, wherever it was installed.
std::string InstalledPlayFiles();

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
    // The operator's listener (health and metrics); empty adminHost: none.
    std::string adminHost;
    int adminPort = 0;
    std::string adminPortFile;  // if set, its bound port is written there once listening
    // HTTPS: PEM files of the certificate chain and its key, both or neither;
    // read again on SIGHUP.
    std::string tlsCert;
    std::string tlsKey;
    // dbPath is an SQLite file, or a PostgreSQL database when IsPostgresUri.
    // For PostgreSQL, the time to connect and for each command, 1..600:
    int dbTimeoutSeconds = 5;
    // Replays: the largest body in bytes (4096..256 MiB), the longest game in
    // frames (1..MaxReplayFrames), the verifier's CPU time for one replay in
    // ms (100..600000), replays waiting for the verifier (1..1024), threads
    // playing them (1..256; one per core by default), and whether view.php
    // and the web page show verified rows alone.
    int maxReplayBytes = 4 << 20;
    int maxReplayFrames = 360000;
    int verifyCpuMs = 10000;
    int verifyQueue = 8;
    int verifyThreads = CoreCount();
    // CPU ms one client's replays may take a minute (0..3600000; 0: no
    // bound), and the slowest rate in bytes/s a replay body may arrive at
    // (64..1<<30) before it is cut off.
    int verifyClientCpuMs = 30000;
    int minUploadRate = 16384;
    bool requireReplay = false;
    // Words no name may hold (name_blocklist.h); empty: none.
    std::string nameBlocklist;
    // The browser game's files, served at /play/; a missing folder serves none.
    std::string playFiles = InstalledPlayFiles();
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
