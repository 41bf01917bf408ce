// The browser game as the real munchet-scores serves it at /play/ from a
// folder of small stand-in files: types, the gzip twins, what is never
// served, conditional requests, the headers that isolate the page, and the
// table's links to it.
#include <gtest/gtest.h>

#include "tests/server/server_test_support.h"

namespace {

const std::string wasm = "\0asm" + std::string(4000, 'w');
const std::string wasmGzip = "\x1f\x8bsmaller";

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// One server for the suite, on a folder holding what a build leaves and
// what must never be served: a dot-file, a subfolder, a name with a space.
struct PlayServer {
    ScratchDir dir;
    std::unique_ptr<ServerProcess> process;

    explicit PlayServer(bool withFiles) {
        const std::string play = dir.File("web");
        if (withFiles) {
            std::filesystem::create_directories(play + "/sub");
            for (const char* name : {"munchet.js", "munchet.data", "stardust.xm.ogg", "look.css", ".secret",
                                     "two words.js", "sub/inner.js"})
                Write(play + "/" + name, name);
            Write(play + "/index.html", "<!DOCTYPE html><title>play</title>");
            Write(play + "/munchet.wasm", wasm);
            Write(play + "/munchet.wasm.gz", wasmGzip);
        }
        process = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", dir.File("scores.db"), "--port-file",
                                     dir.File("port"), "--rate-limit", "0", "--play-files", play},
            dir.File("stderr.log"));
        EXPECT_TRUE(process->WaitForPort(dir.File("port"))) << ReadFile(dir.File("stderr.log"));
    }
    int Port() const { return process->port; }
};

struct Fetch {
    const char* target;
    const char* acceptEncoding;  // nullptr: none sent
    int status;
    const char* type;  // "" for a 301
    bool gzip;
    std::string body;
};

void PrintTo(const Fetch& f, std::ostream* os) {
    *os << f.target << " (Accept-Encoding: " << (f.acceptEncoding ? f.acceptEncoding : "none") << ")";
}

class PlayFiles : public testing::TestWithParam<Fetch> {
protected:
    static void SetUpTestSuite() { server = new PlayServer(true); }
    static void TearDownTestSuite() { delete server; }
    static PlayServer* server;
};
PlayServer* PlayFiles::server = nullptr;

TEST_P(PlayFiles, AreServedWithTheirTypeAndEncodingAndNothingElseIs) {
    const Fetch& f = GetParam();
    const std::string coding =
        f.acceptEncoding ? "Accept-Encoding: " + std::string(f.acceptEncoding) + "\r\n" : "";
    const RawReply get = RawGet(server->Port(), f.target, coding);
    EXPECT_EQ(get.status, f.status);
    EXPECT_EQ(get.body, f.body);
    EXPECT_EQ(HeaderValue(get, "Content-Encoding"), f.gzip ? "gzip" : "");
    if (f.status != 200) return;
    EXPECT_EQ(HeaderValue(get, "Content-Type"), f.type);
    EXPECT_EQ(HeaderValue(get, "Cache-Control"), "no-cache");
    // HEAD: the same head, no body; the tag brings a 304 without one.
    const RawReply head = RawRequest("HEAD", server->Port(), f.target, coding);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(HeaderValue(head, "Content-Length"), std::to_string(f.body.size()));
    const std::string tag = HeaderValue(get, "ETag");
    EXPECT_EQ(HeaderValue(head, "ETag"), tag);
    const RawReply again = RawGet(server->Port(), f.target, coding + "If-None-Match: " + tag + "\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.body, "");
}

const std::string page = "<!DOCTYPE html><title>play</title>";

INSTANTIATE_TEST_SUITE_P(
    Targets, PlayFiles,
    testing::Values(
        Fetch{"/play/", nullptr, 200, "text/html; charset=utf-8", false, page},
        Fetch{"/play/index.html?watch=12", "gzip", 200, "text/html; charset=utf-8", false, page},
        Fetch{"/hosted/vlkn/scores/pr/play/?watch=3", nullptr, 200, "text/html; charset=utf-8", false, page},
        Fetch{"/play/munchet.wasm", nullptr, 200, "application/wasm", false, wasm},
        Fetch{"/play/munchet.wasm", "br, GZip;q=0.5", 200, "application/wasm", true, wasmGzip},
        Fetch{"/play/munchet.wasm", "gzip;q=0, *", 200, "application/wasm", false, wasm},
        Fetch{"/play/munchet.js", "gzip", 200, "text/javascript", false, "munchet.js"},
        Fetch{"/play/munchet.data", nullptr, 200, "application/octet-stream", false, "munchet.data"},
        Fetch{"/play/stardust.xm.ogg", nullptr, 200, "audio/ogg", false, "stardust.xm.ogg"},
        Fetch{"/play/look.css", nullptr, 200, "text/css", false, "look.css"},
        Fetch{"/play?watch=3", nullptr, 301, "", false, ""},
        Fetch{"/play/none.js", nullptr, 404, "", false, "not found\n"},
        Fetch{"/play/../x", nullptr, 404, "", false, "not found\n"},
        Fetch{"/play/%2e%2e/", nullptr, 404, "", false, "not found\n"},
        Fetch{"/play/.secret", nullptr, 404, "", false, "not found\n"},
        Fetch{"/play/sub/inner.js", nullptr, 404, "", false, "not found\n"},
        Fetch{"/play/two%20words.js", nullptr, 404, "", false, "not found\n"}));

TEST_F(PlayFiles, RedirectKeepsTheWatchAndIsolatesOnlyThePlayFolder) {
    EXPECT_EQ(HeaderValue(RawGet(server->Port(), "/play?watch=3"), "Location"), "play/?watch=3");
    EXPECT_EQ(RawRequest("POST", server->Port(), "/play/").status, 404);
    for (const char* target : {"/play/", "/play/munchet.wasm", "/play/none.js"}) {
        const RawReply reply = RawGet(server->Port(), target);
        EXPECT_NE(HeaderValue(reply, "Content-Security-Policy").find("script-src 'self' 'wasm-unsafe-eval'"),
                  std::string::npos)
            << target;
        EXPECT_EQ(HeaderValue(reply, "Cross-Origin-Opener-Policy"), "same-origin") << target;
        EXPECT_EQ(HeaderValue(reply, "Cross-Origin-Embedder-Policy"), "require-corp") << target;
        EXPECT_EQ(HeaderValue(reply, "Cross-Origin-Resource-Policy"), "same-origin") << target;
        EXPECT_EQ(HeaderValue(reply, "X-Content-Type-Options"), "nosniff") << target;
    }
    const RawReply table = RawGet(server->Port(), "/");
    EXPECT_EQ(HeaderValue(table, "Content-Security-Policy").find("wasm"), std::string::npos);
    EXPECT_NE(HeaderValue(table, "Content-Security-Policy").find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(HeaderValue(table, "Cross-Origin-Embedder-Policy"), "");
}

// The page links to the game, and to the game of each verified row.
TEST(PlayLinks, PlayOnTheTableWatchOnVerifiedRowsNoneWithoutTheGame) {
    for (const bool withFiles : {true, false}) {
        SCOPED_TRACE(withFiles ? "with the game" : "without");
        PlayServer server(withFiles);
        for (const char* name : {"proven", "unproven"}) {
            ASSERT_EQ(RawGet(server.Port(),
                             AddTarget("name=" + std::string(name) + "&score=100&level=0&munchets=1&food=0"))
                          .status,
                      200);
        }
        // A replay each (41 and 42), one of them proven, as the verifier would leave them.
        ASSERT_EQ(ExecuteOutside(server.dir.File("scores.db"),
                                 "INSERT INTO replays (id, score_id, digest, bytes) SELECT 41 + (name = "
                                 "'unproven'), id, name, X'00' FROM scores;"
                                 "UPDATE scores SET verified = 1 WHERE name = 'proven'"),
                  "");
        const std::string table = RawGet(server.Port(), "/").body;
        EXPECT_EQ(table.find("<a href=\"play/\">Play</a>") != std::string::npos, withFiles);
        EXPECT_EQ(table.find("<a href=\"play/?watch=41\">Watch</a>") != std::string::npos, withFiles)
            << table;
        EXPECT_EQ(table.find("watch=42"), std::string::npos);
        // The game fetches the replay from its isolated page.
        EXPECT_EQ(HeaderValue(RawGet(server.Port(), "/hosted/vlkn/scores/pr/replay.php?id=41"),
                              "Cross-Origin-Resource-Policy"),
                  "same-origin");
        if (!withFiles) {
            EXPECT_EQ(RawGet(server.Port(), "/play/").status, 404);
            EXPECT_NE(ReadFile(server.dir.File("stderr.log")).find("not serving the browser game at /play/"),
                      std::string::npos);
        }
    }
}

}  // namespace
