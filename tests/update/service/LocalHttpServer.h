// A small HTTP/1.1 server on 127.0.0.1 for the update tests: it answers each path with a reply
// set by the test (status, body, headers) or misbehaves on purpose (accepts and never answers,
// stops in the middle of a body). Each connection has its own thread; all of them end when the
// server is destroyed. It records the paths asked for.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zor::test {

struct HttpResponse {
    enum class Mode {
        Normal,
        NeverAnswer,      // read the request, then say nothing until the server stops
        StallAfterBytes,  // headers with the full length, stallAfter bytes of the body, then silence
    };
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    Mode mode = Mode::Normal;
    std::size_t stallAfter = 0;

    static HttpResponse Reply(int status, std::string body, std::string contentType = "application/json");
    static HttpResponse Redirect(int status, const std::string& location);
    static HttpResponse NeverAnswering();
    static HttpResponse Stalling(std::string body, std::size_t after);
};

class LocalHttpServer {
public:
    explicit LocalHttpServer(int port = 0);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path.
    std::string Url(std::string_view path) const;
    void Route(const std::string& path, HttpResponse response);
    // Answers paths without a route (instead of 404).
    void SetFallback(std::function<HttpResponse(const std::string& path)> fallback);
    std::vector<std::string> Requests() const;
    int RequestCount(const std::string& path) const;

private:
    void AcceptLoop();
    void Serve(int fd);
    HttpResponse Answer(const std::string& path);
    bool WaitStop(int fd, int timeoutMs) const;

    int m_listen = -1;
    int m_stop[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::map<std::string, HttpResponse> m_routes;
    std::function<HttpResponse(const std::string&)> m_fallback;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_connections;
    std::thread m_acceptor;
};

}  // namespace zor::test
