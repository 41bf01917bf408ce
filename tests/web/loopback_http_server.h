// A tiny HTTP/1.1 server on 127.0.0.1 for the web tests: it hands every GET
// to a function and sends back what the function answers, one request per
// connection. Browsers open spare connections they may never use, so every
// open connection is watched at once and none can hold up the others.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace web_test {

struct HttpReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length and Connection are added
    std::string body;
};

class LoopbackHttpServer {
public:
    // path: the request target before '?', query: after it (still encoded).
    // Called on the server's own thread.
    using Handler = std::function<HttpReply(std::string_view path, std::string_view query)>;

    // Listens on a port the system picks and serves until destroyed; Port()
    // is 0 when it could not listen.
    explicit LoopbackHttpServer(Handler handler);
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;
    ~LoopbackHttpServer();

    int Port() const { return port; }
    // "http://127.0.0.1:PORT" followed by target.
    std::string Url(std::string_view target) const;

private:
    void Serve();
    void Answer(int connection, std::string_view head);

    Handler handler;
    int listener = -1;
    int wake = -1;  // an eventfd written to stop the thread
    int port = 0;
    std::thread thread;
};

}  // namespace web_test
