#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace zor::test {
namespace {

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

HttpResponse HttpResponse::Reply(int status, std::string body, std::string contentType) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    response.contentType = std::move(contentType);
    return response;
}

HttpResponse HttpResponse::Redirect(int status, const std::string& location) {
    HttpResponse response = Reply(status, "{\"code\":200,\"data\":{\"total\":5}}");
    response.headers.emplace_back("Location", location);
    return response;
}

HttpResponse HttpResponse::NeverAnswering() {
    HttpResponse response;
    response.mode = Mode::NeverAnswer;
    return response;
}

HttpResponse HttpResponse::Stalling(std::string body, std::size_t after) {
    HttpResponse response = Reply(200, std::move(body), "application/octet-stream");
    response.mode = Mode::StallAfterBytes;
    response.stallAfter = after;
    return response;
}

LocalHttpServer::LocalHttpServer(int port) {
    if (::pipe(m_stop) != 0) throw std::runtime_error("pipe");
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const int reuse = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 16) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

LocalHttpServer::~LocalHttpServer() {
    const char byte = 'x';
    [[maybe_unused]] const ssize_t written = ::write(m_stop[1], &byte, 1);
    m_acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& thread : connections) thread.join();
    ::close(m_listen);
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

std::string LocalHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

void LocalHttpServer::Route(const std::string& path, HttpResponse response) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

void LocalHttpServer::SetFallback(std::function<HttpResponse(const std::string&)> fallback) {
    std::lock_guard lock(m_mutex);
    m_fallback = std::move(fallback);
}

std::vector<std::string> LocalHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int LocalHttpServer::RequestCount(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count(m_requests.begin(), m_requests.end(), path));
}

bool LocalHttpServer::WaitStop(int fd, int timeoutMs) const {
    pollfd fds[2] = {{m_stop[0], POLLIN, 0}, {fd, POLLIN, 0}};
    ::poll(fds, fd >= 0 ? 2 : 1, timeoutMs);
    return (fds[0].revents & POLLIN) != 0;
}

void LocalHttpServer::AcceptLoop() {
    for (;;) {
        if (WaitStop(m_listen, -1)) return;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, fd] {
            Serve(fd);
            ::close(fd);
        });
    }
}

HttpResponse LocalHttpServer::Answer(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(path);
    if (const auto it = m_routes.find(path); it != m_routes.end()) return it->second;
    if (m_fallback) return m_fallback(path);
    HttpResponse missing;
    missing.status = 404;
    missing.body = "{\"code\":404}";
    return missing;
}

void LocalHttpServer::Serve(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (WaitStop(fd, -1)) return;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<std::size_t>(n));
        if (request.size() > 64 * 1024) return;
    }
    // "GET /path HTTP/1.1"
    const std::size_t first = request.find(' ');
    const std::size_t second = request.find(' ', first + 1);
    if (first == std::string::npos || second == std::string::npos) return;
    const HttpResponse response = Answer(request.substr(first + 1, second - first - 1));
    if (response.mode == HttpResponse::Mode::NeverAnswer) {
        while (!WaitStop(-1, -1)) {
        }
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (!SendAll(fd, head)) return;
    if (response.mode == HttpResponse::Mode::StallAfterBytes) {
        SendAll(fd, std::string_view(response.body).substr(0, response.stallAfter));
        while (!WaitStop(-1, -1)) {
        }
        return;
    }
    SendAll(fd, response.body);
    ::shutdown(fd, SHUT_WR);
}

}  // namespace zor::test
