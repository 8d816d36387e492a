#include "loopback_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace halvark::service {

namespace {

using Clock = std::chrono::steady_clock;

int left_ms(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

LoopbackClient::LoopbackClient(const std::string& source, int port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, source.c_str(), &local.sin_addr) != 1 ||
        inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr) != 1) {
        return;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // The port is chosen at connect(), for this service only: many short connections from one
    // source address would otherwise run out of ports held in TIME_WAIT.
    const int defer = 1;
    if (fd >= 0) {
        ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &defer, sizeof defer);
    }
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        fd_ = fd;
    } else if (fd >= 0) {
        ::close(fd);
    }
}

LoopbackClient::~LoopbackClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool LoopbackClient::send(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return fd_ >= 0;
}

int LoopbackClient::read_status(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const size_t head_end = pending_.find("\r\n\r\n");
        if (head_end != std::string::npos && pending_.compare(0, 5, "HTTP/") == 0) {
            const int status = std::atoi(pending_.c_str() + 9);
            size_t length = 0;
            const size_t field = pending_.find("Content-Length: ");
            if (field != std::string::npos && field < head_end) {
                length = std::strtoull(pending_.c_str() + field + 16, nullptr, 10);
            }
            if (status == 100 || pending_.size() >= head_end + 4 + length) {
                pending_.erase(0, head_end + 4 + (status == 100 ? 0 : length));
                if (status != 100) {
                    return status;
                }
                continue;
            }
        }
        pollfd readable{fd_, POLLIN, 0};
        if (fd_ < 0 || ::poll(&readable, 1, left_ms(deadline)) <= 0) {
            return 0;
        }
        char chunk[65536];
        const ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
        if (count <= 0) {
            return 0;
        }
        pending_.append(chunk, static_cast<size_t>(count));
    }
}

bool LoopbackClient::closed_by_service(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    char chunk[4096];
    for (;;) {
        pollfd readable{fd_, POLLIN, 0};
        if (fd_ < 0 || ::poll(&readable, 1, left_ms(deadline)) <= 0) {
            return false;
        }
        const ssize_t count = ::recv(fd_, chunk, sizeof chunk, 0);
        if (count == 0 || (count < 0 && errno != EINTR)) {
            return true;
        }
    }
}

std::string http_request(std::string_view method, std::string_view path,
                         std::string_view json_body) {
    std::string request =
        std::string(method) + " " + std::string(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!json_body.empty()) {
        request += "Content-Type: application/json\r\nContent-Length: " +
                   std::to_string(json_body.size()) + "\r\n";
    }
    return request + "\r\n" + std::string(json_body);
}

int exchange(const std::string& source, int port, const std::string& request,
             std::chrono::milliseconds timeout) {
    LoopbackClient client(source, port);
    return client.send(request) ? client.read_status(timeout) : 0;
}

}  // namespace halvark::service
