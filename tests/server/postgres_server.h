// A PostgreSQL server of the test's own, for the tests and benchmarks of the
// PostgreSQL store: a new cluster (initdb) in a scratch folder, listening on
// a free port of 127.0.0.1 with its unix socket in that folder, superuser
// `munchet` with trust authentication. PostgreSQL refuses to run as root, so
// when we are root (CI) it runs as the `postgres` user the Debian package
// creates. The server is our own child and gets SIGQUIT (immediate shutdown)
// when we die, even by kill -9, so a killed test leaves no server running;
// the folder of such a test is removed by the next ThrowAwayPostgres.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_test_support.h"

inline constexpr const char* postgresBinaries = "/usr/lib/postgresql/15/bin/";

// Rows of text from SQL run as the superuser on one database, or an error.
struct PgRows {
    std::string error;  // empty on success
    std::vector<std::vector<std::string>> rows;
};

// Runs sql (one or more commands) on database through a connection of its
// own, as an administrator's psql would. The rows are those of the last command.
inline PgRows PgAdmin(const std::string& uri, const std::string& sql) {
    PgRows out;
    const std::unique_ptr<PGconn, void (*)(PGconn*)> db(PQconnectdb(uri.c_str()), PQfinish);
    if (PQstatus(db.get()) != CONNECTION_OK) {
        out.error = PQerrorMessage(db.get());
        return out;
    }
    PQsetNoticeProcessor(
        db.get(), [](void*, const char*) {}, nullptr);
    const std::unique_ptr<PGresult, void (*)(PGresult*)> result(PQexec(db.get(), sql.c_str()), PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        out.error = PQresultErrorMessage(result.get());
        if (out.error.empty()) out.error = "failed";
        return out;
    }
    for (int r = 0; r < PQntuples(result.get()); ++r) {
        auto& row = out.rows.emplace_back();
        for (int c = 0; c < PQnfields(result.get()); ++c) row.emplace_back(PQgetvalue(result.get(), r, c));
    }
    return out;
}

class ThrowAwayPostgres {
public:
    // durable: sync to disk as a production server does (benchmarks); tests
    // leave it off, since what they check is our side of every commit, not
    // the disk, and a shared CI disk makes syncs slow.
    // clusterCache, if set, keeps a copy of the first new cluster for later
    // servers to start from instead of running initdb, which is most of the
    // start-up time (the cluster does not depend on anything of ours).
    explicit ThrowAwayPostgres(bool durable = false, std::filesystem::path clusterCache = {})
        : durable(durable), clusterCache(std::move(clusterCache)) {}
    ThrowAwayPostgres(const ThrowAwayPostgres&) = delete;
    ThrowAwayPostgres& operator=(const ThrowAwayPostgres&) = delete;
    ~ThrowAwayPostgres() { Stop(); }

    // Makes the cluster and starts the server; false with a message (the
    // server's own words included) when it cannot.
    bool Start(std::string& error) {
        RemoveAbandonedFolders();
        if (!FindUser(error) || !MakeFolder(error)) return false;
        if (!CopyCachedCluster()) {
            const int initdb =
                RunAsServerUser({std::string(postgresBinaries) + "initdb", "-D", Data(), "-A", "trust", "-U",
                                 "munchet", "-E", "UTF8", "--locale=C", "--no-sync"},
                                folder / "initdb.log", false);
            if (initdb <= 0 || WaitForExit(initdb, std::chrono::seconds(120)) != 0) {
                error = "initdb failed: " + ReadFile((folder / "initdb.log").string());
                return false;
            }
            CacheCluster();
        }
        // Another program may take the free port between our look and the
        // server's bind: try a few.
        for (int attempt = 0; attempt < 5; ++attempt) {
            port = FreeLoopbackPort();
            if (Resume(error)) return true;
        }
        return false;
    }

    // Starts the server (again) on its cluster and port; waits until it
    // answers, 60 s at most.
    bool Resume(std::string& error) {
        if (pid > 0) return true;
        const std::string log = (folder / "server.log").string();
        pid = RunAsServerUser(
            {std::string(postgresBinaries) + "postgres", "-D", Data(), "-p", std::to_string(port), "-k",
             folder.string(), "-c", "listen_addresses=127.0.0.1", "-c", "max_connections=200", "-c",
             "shared_buffers=32MB", "-c", durable ? "fsync=on" : "fsync=off"},
            log, true);
        const std::string ping =
            "host=127.0.0.1 port=" + std::to_string(port) + " user=munchet dbname=postgres connect_timeout=2";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
            if (PQping(ping.c_str()) == PQPING_OK) return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) pid = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Halt();
        error = "PostgreSQL did not start: " + ReadFile(log);
        return false;
    }

    // Fast shutdown: sessions are ended, the cluster stays for Resume.
    void Halt() {
        if (pid <= 0) return;
        kill(pid, SIGINT);
        if (WaitForExit(pid, std::chrono::seconds(30)) == -2) {
            kill(pid, SIGKILL);
            WaitForExit(pid, std::chrono::seconds(30));
        }
        pid = -1;
    }

    // Stops the server and every process of it, as a hung machine would:
    // connections stay open and nothing answers. Thaw undoes it.
    void Freeze() { SignalAll(SIGSTOP); }
    void Thaw() { SignalAll(SIGCONT); }

    // Halts the server and removes its folder.
    void Stop() {
        Halt();
        if (!folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
            folder.clear();
        }
    }

    int Port() const { return port; }
    std::string Uri(const std::string& database) const {
        return "postgresql://munchet@127.0.0.1:" + std::to_string(port) + "/" + database;
    }

    // A new empty database, named after a count of those made so far.
    bool CreateDatabase(std::string& uri, std::string& error) {
        const std::string name = "test" + std::to_string(++databases);
        error = PgAdmin(Uri("postgres"), "CREATE DATABASE " + name).error;
        uri = Uri(name);
        return error.empty();
    }

private:
    std::string Data() const { return (folder / "data").string(); }

    bool CopyCachedCluster() {
        std::error_code failed;
        if (clusterCache.empty() || !std::filesystem::exists(clusterCache / "PG_VERSION", failed))
            return false;
        std::filesystem::copy(clusterCache, Data(), std::filesystem::copy_options::recursive, failed);
        if (!failed && uid != 0) {
            failed =
                std::error_code(chown(Data().c_str(), uid, gid) == 0 ? 0 : errno, std::generic_category());
            for (auto i = std::filesystem::recursive_directory_iterator(Data(), failed);
                 !failed && i != std::filesystem::recursive_directory_iterator(); i.increment(failed)) {
                if (lchown(i->path().c_str(), uid, gid) != 0) failed = {errno, std::generic_category()};
            }
        }
        if (!failed) return true;
        std::filesystem::remove_all(Data(), failed);  // initdb makes it anew
        return false;
    }

    // Copied under a name of its own, then renamed: another test program
    // never sees half a cache, and of two that race one rename wins.
    void CacheCluster() const {
        if (clusterCache.empty()) return;
        std::error_code failed;
        const std::filesystem::path partial = clusterCache.string() + ".partial-" + std::to_string(getpid());
        std::filesystem::copy(Data(), partial, std::filesystem::copy_options::recursive, failed);
        if (failed || (std::filesystem::rename(partial, clusterCache, failed), failed))
            std::filesystem::remove_all(partial, failed);
    }

    bool FindUser(std::string& error) {
        if (geteuid() != 0) return true;  // runs as ourselves
        const passwd* user = getpwnam("postgres");
        if (!user) {
            error = "running as root and there is no postgres user: install the postgresql package";
            return false;
        }
        uid = user->pw_uid;
        gid = user->pw_gid;
        return true;
    }

    bool MakeFolder(std::string& error) {
        std::string pattern = (std::filesystem::temp_directory_path() / "munchet-pg-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            error = "cannot make a folder under " + std::filesystem::temp_directory_path().string();
            return false;
        }
        folder = pattern;
        std::ofstream(folder / "owner") << getpid() << "\n";
        if (uid != 0 && chown(folder.c_str(), uid, gid) != 0) {
            error = "cannot give " + folder.string() + " to the postgres user";
            return false;
        }
        return true;
    }

    // Folders whose test died without cleaning up: their server died with
    // the test, so only the files are left.
    static void RemoveAbandonedFolders() {
        std::error_code failed;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), failed)) {
            if (!entry.path().filename().string().starts_with("munchet-pg-")) continue;
            const pid_t owner = std::atoi(ReadFile((entry.path() / "owner").string()).c_str());
            if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH)
                std::filesystem::remove_all(entry.path(), failed);
        }
    }

    // Starts argv as the server's user with output to logPath; the pid, or -1.
    pid_t RunAsServerUser(std::vector<std::string> argv, const std::filesystem::path& logPath,
                          bool dieWithUs) {
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (log < 0) return -1;
        if (uid != 0 && fchown(log, uid, gid) != 0) {
            ::close(log);
            return -1;
        }
        const pid_t parent = getpid();
        const pid_t child = fork();
        if (child == 0) {
            // Only system calls between fork and exec: we may have threads.
            if (uid != 0 && (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
            // After setuid, which clears it.
            if (dieWithUs && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent)) _exit(125);
            const int in = ::open("/dev/null", O_RDONLY);
            if (in < 0 || dup2(in, 0) < 0 || dup2(log, 1) < 0 || dup2(log, 2) < 0 || chdir("/") != 0)
                _exit(124);
            execv(pointers[0], pointers.data());
            _exit(127);
        }
        ::close(log);
        return child;
    }

    // The exit status of child, -1 when it did not exit normally, -2 when
    // it is still running after limit.
    static int WaitForExit(pid_t child, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (true) {
            int status = 0;
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (done < 0) return -1;
            if (std::chrono::steady_clock::now() > deadline) return -2;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // The server and its children (backends and helpers), found by parent in /proc.
    void SignalAll(int signal) const {
        if (pid <= 0) return;
        kill(pid, signal);
        DIR* proc = opendir("/proc");
        if (!proc) return;
        while (const dirent* entry = readdir(proc)) {
            const pid_t candidate = std::atoi(entry->d_name);
            if (candidate <= 0) continue;
            const std::string stat = ReadFile("/proc/" + std::to_string(candidate) + "/stat");
            // "pid (name) state ppid ...": the name may hold spaces, so read after its ')'.
            const std::size_t close = stat.rfind(')');
            int parent = 0;
            if (close != std::string::npos &&
                std::sscanf(stat.c_str() + close + 1, " %*c %d", &parent) == 1 && parent == pid) {
                kill(candidate, signal);
            }
        }
        closedir(proc);
    }

    bool durable;
    std::filesystem::path clusterCache;
    std::filesystem::path folder;
    uid_t uid = 0;  // 0: run as ourselves
    gid_t gid = 0;
    int port = 0;
    pid_t pid = -1;
    int databases = 0;
};
