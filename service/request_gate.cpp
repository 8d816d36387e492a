#include "request_gate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "sign_in_guard.h"

namespace halvark::service {

namespace {

using Clock = std::chrono::steady_clock;

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60000));
}

struct Peer {
    std::string ip;
    int port = 0;
};

Peer peer_of(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    Peer peer;
    if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        peer.port = ntohs(v6->sin6_port);
    } else {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        peer.port = ntohs(v4->sin_port);
    }
    peer.ip = text;
    return peer;
}

// What the gate answers by itself, always closing the connection; best effort, never waits.
void refuse(int fd, const char* status_line) {
    const std::string answer =
        std::string("HTTP/1.1 ") + status_line +
        "\r\nConnection: close\r\nRetry-After: 1\r\nContent-Length: 0\r\n\r\n";
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// A complete request read by the reception, parsed by httplib from memory; the answer goes
// straight to the socket, each write within the write time-out.
class BufferedStream final : public httplib::Stream {
  public:
    BufferedStream(int fd, std::string request, Peer remote, std::chrono::milliseconds timeout)
        : fd_(fd), request_(std::move(request)), remote_(std::move(remote)), timeout_(timeout) {}

    bool is_readable() const override { return offset_ < request_.size(); }
    bool is_writable() const override { return !failed_; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t count = std::min(size, request_.size() - offset_);
        std::memcpy(ptr, request_.data() + offset_, count);
        offset_ += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t write(const char* ptr, size_t size) override {
        const auto deadline = Clock::now() + timeout_;
        size_t written = 0;
        while (written < size && !failed_) {
            const ssize_t sent = ::send(fd_, ptr + written, size - written, MSG_NOSIGNAL);
            if (sent > 0) {
                written += static_cast<size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            pollfd writable{fd_, POLLOUT, 0};
            failed_ = !(sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                        ::poll(&writable, 1, milliseconds_until(deadline)) > 0);
        }
        return failed_ ? -1 : static_cast<ssize_t>(written);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = remote_.ip;
        port = remote_.port;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            const Peer local = peer_of(address);
            ip = local.ip;
            port = local.port;
        }
    }
    socket_t socket() const override { return fd_; }
    bool failed() const { return failed_; }

  private:
    int fd_;
    std::string request_;
    size_t offset_ = 0;
    Peer remote_;
    std::chrono::milliseconds timeout_;
    bool failed_ = false;
};

// The routes, answered through httplib's own request parser.
class Dispatcher final : public httplib::Server {
  public:
    // httplib 0.11 (Debian 12) asks the stream for the two addresses, 0.18 (Debian 13) is
    // handed them. A template, so that only the branch of the httplib at hand is compiled.
    template <typename BufferedStream>
    bool answer(BufferedStream& stream, bool close_connection, bool& connection_closed) {
        if constexpr (requires {
                          this->process_request(stream, close_connection, connection_closed,
                                                nullptr);
                      }) {
            return this->process_request(stream, close_connection, connection_closed, nullptr);
        } else {
            std::string remote_ip;
            std::string local_ip;
            int remote_port = 0;
            int local_port = 0;
            stream.get_remote_ip_and_port(remote_ip, remote_port);
            stream.get_local_ip_and_port(local_ip, local_port);
            return this->process_request(stream, remote_ip, remote_port, local_ip, local_port,
                                         close_connection, connection_closed, nullptr);
        }
    }
};

struct Connection {
    int fd = -1;
    std::string client;
    Peer peer;
    std::string buffer;
    Clock::time_point deadline;
    bool reading = false;  // a request has begun: its deadline runs
    bool continue_sent = false;
    int served = 0;
    bool close = false;  // set by a worker that is done with it
};

// Where a request's head ends and how long its body is; an empty status when it is not
// complete yet, a status line when the gate refuses it.
struct Framing {
    size_t head_end = std::string::npos;
    size_t body_length = 0;
    bool expects_continue = false;
    const char* refusal = nullptr;
};

Framing frame(const std::string& buffer, const GateLimits& limits) {
    Framing framing;
    const size_t end = buffer.find("\r\n\r\n");
    if (end == std::string::npos || end + 4 > limits.max_head_bytes) {
        if (buffer.size() > limits.max_head_bytes) {
            framing.refusal = "431 Request Header Fields Too Large";
        }
        return framing;
    }
    framing.head_end = end + 4;
    bool has_length = false;
    for (size_t line = buffer.find("\r\n") + 2; line < end;) {
        const size_t next = buffer.find("\r\n", line);
        const std::string_view text(buffer.data() + line, next - line);
        line = next + 2;
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string name(text.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        std::string_view value = text.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
            value.remove_suffix(1);
        }
        if (name == "transfer-encoding") {
            framing.refusal = "411 Length Required";  // no chunked uploads: lengths are known
            return framing;
        }
        if (name == "expect") {
            framing.expects_continue = true;
        } else if (name == "content-length") {
            const bool digits = !value.empty() && value.size() <= 12 &&
                                std::all_of(value.begin(), value.end(),
                                            [](char c) { return c >= '0' && c <= '9'; });
            const size_t length = digits ? std::stoull(std::string(value)) : 0;
            if (!digits || (has_length && length != framing.body_length)) {
                framing.refusal = "400 Bad Request";
                return framing;
            }
            if (length > limits.max_body_bytes) {
                framing.refusal = "413 Payload Too Large";
                return framing;
            }
            has_length = true;
            framing.body_length = length;
        }
    }
    return framing;
}

// The head without its Expect lines: the gate has answered them already.
std::string without_expect(std::string request, size_t head_end) {
    for (size_t line = request.find("\r\n") + 2; line + 2 < head_end;) {
        const size_t next = request.find("\r\n", line);
        if (strncasecmp(request.data() + line, "expect:", 7) == 0) {
            request.erase(line, next + 2 - line);
            head_end -= next + 2 - line;
        } else {
            line = next + 2;
        }
    }
    return request;
}

}  // namespace

class RequestGate::Reception {
  public:
    explicit Reception(const GateLimits& limits) : limits_(limits) {
        // Only for the Keep-Alive header httplib writes: the gate itself enforces both.
        routes.set_keep_alive_max_count(static_cast<size_t>(limits.max_requests_per_connection));
        routes.set_keep_alive_timeout(
            std::chrono::duration_cast<std::chrono::seconds>(limits.idle_timeout).count());
        if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
            wake_[0] = wake_[1] = -1;
        }
    }
    ~Reception() {
        for (const int fd : {listener_, wake_[0], wake_[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    Dispatcher routes;

    int bind(const std::string& host, int port) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
        addrinfo* found = nullptr;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
            return -1;
        }
        const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int yes = 1;
        const bool bound =
            fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
            ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 1024) == 0;
        freeaddrinfo(found);
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (!bound || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return -1;
        }
        listener_ = fd;
        return peer_of(address).port;
    }

    bool run() {
        if (listener_ < 0 || wake_[0] < 0) {
            return false;
        }
        workers_ = std::make_unique<httplib::ThreadPool>(static_cast<size_t>(limits_.workers));
        while (!stopping_) {
            std::vector<pollfd> watched{{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            Clock::time_point next = Clock::now() + std::chrono::seconds(60);
            for (const auto& [fd, connection] : waiting_) {
                watched.push_back({fd, POLLIN, 0});
                next = std::min(next, connection->deadline);
            }
            const int ready = ::poll(watched.data(), watched.size(), milliseconds_until(next));
            if (ready < 0 && errno != EINTR) {
                break;
            }
            take_back();
            if (watched[0].revents & POLLIN) {
                accept_all();
            }
            for (size_t i = 2; i < watched.size(); ++i) {
                if (watched[i].revents != 0) {
                    receive(watched[i].fd);
                }
            }
            expire();
        }
        workers_->shutdown();  // finishes what it holds; those connections come back here
        take_back();
        for (auto& [fd, connection] : waiting_) {
            forget(*connection);
        }
        waiting_.clear();
        return true;
    }

    void stop() {
        stopping_ = true;
        [[maybe_unused]] const ssize_t written = ::write(wake_[1], "x", 1);
    }

  private:
    void accept_all() {
        bool reaped = false;
        for (;;) {
            sockaddr_storage address{};
            socklen_t length = sizeof address;
            const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&address), &length,
                                   SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                return;
            }
            auto connection = std::make_unique<Connection>();
            connection->fd = fd;
            connection->peer = peer_of(address);
            connection->client =
                client_key(QString::fromStdString(connection->peer.ip)).toStdString();
            const auto over_a_cap = [&] {
                const auto held = per_client_.find(connection->client);
                return open_ >= limits_.max_connections ||
                       (held != per_client_.end() &&
                        held->second >= limits_.max_connections_per_client);
            };
            // Connections their clients closed may not have been noticed yet (a busy machine
            // runs this thread late): they count for nothing.
            if (over_a_cap() && !reaped) {
                reaped = true;
                reap_closed();
            }
            int& held = per_client_[connection->client];
            if (over_a_cap()) {
                if (held == 0) {
                    per_client_.erase(connection->client);
                }
                refuse(fd, "429 Too Many Requests");
                ::close(fd);
                continue;
            }
            ++held;
            ++open_;
            const int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            wait_for_request(std::move(connection));
        }
    }

    // Closes the waiting connections whose clients have hung up.
    void reap_closed() {
        std::vector<pollfd> watched;
        for (const auto& [fd, connection] : waiting_) {
            watched.push_back({fd, POLLIN, 0});
        }
        if (::poll(watched.data(), watched.size(), 0) <= 0) {
            return;
        }
        for (const pollfd& entry : watched) {
            char byte = 0;
            if ((entry.revents & (POLLHUP | POLLERR)) != 0 ||
                ((entry.revents & POLLIN) != 0 &&
                 ::recv(entry.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)) {
                close_waiting(entry.fd);
            }
        }
    }

    void wait_for_request(std::unique_ptr<Connection> connection) {
        connection->reading = !connection->buffer.empty();
        connection->deadline =
            Clock::now() + (connection->reading ? limits_.request_deadline : limits_.idle_timeout);
        Connection& waiting = *connection;
        waiting_[connection->fd] = std::move(connection);
        if (waiting.reading) {
            examine(waiting);
        }
    }

    void receive(int fd) {
        const auto found = waiting_.find(fd);
        if (found == waiting_.end()) {
            return;
        }
        Connection& connection = *found->second;
        char chunk[16384];
        for (;;) {
            const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
            if (count > 0) {
                if (!connection.reading) {
                    connection.reading = true;
                    connection.deadline = Clock::now() + limits_.request_deadline;
                }
                connection.buffer.append(chunk, static_cast<size_t>(count));
                if (connection.buffer.size() > limits_.max_head_bytes + limits_.max_body_bytes) {
                    break;  // more than any request may be: examine() refuses it
                }
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                close_waiting(fd);
                return;
            }
            break;
        }
        examine(connection);
    }

    void examine(Connection& connection) {
        const Framing framing = frame(connection.buffer, limits_);
        if (framing.refusal != nullptr) {
            refuse(connection.fd, framing.refusal);
            close_waiting(connection.fd);
            return;
        }
        if (framing.head_end == std::string::npos) {
            return;
        }
        const size_t total = framing.head_end + framing.body_length;
        if (connection.buffer.size() < total) {
            if (framing.expects_continue && !connection.continue_sent) {
                connection.continue_sent = true;
                static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
                [[maybe_unused]] const ssize_t sent = ::send(
                    connection.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            return;
        }
        std::string request = connection.buffer.substr(0, total);
        if (framing.expects_continue) {
            request = without_expect(std::move(request), framing.head_end);
        }
        connection.buffer.erase(0, total);
        connection.continue_sent = false;
        const auto node = waiting_.extract(connection.fd);
        dispatch(std::shared_ptr<Connection>(std::move(node.mapped())), std::move(request));
    }

    void dispatch(std::shared_ptr<Connection> connection, std::string request) {
        workers_->enqueue([this, connection, request = std::move(request)]() mutable {
            BufferedStream stream(connection->fd, std::move(request), connection->peer,
                                  limits_.write_timeout);
            const bool last =
                ++connection->served >= limits_.max_requests_per_connection || stopping_;
            bool closed = false;
            routes.answer(stream, last, closed);
            connection->close = closed || last || stream.failed();
            const std::lock_guard lock(returned_mutex_);
            returned_.push_back(std::move(connection));
            [[maybe_unused]] const ssize_t written = ::write(wake_[1], "x", 1);
        });
    }

    void take_back() {
        char drain[256];
        while (::read(wake_[0], drain, sizeof drain) > 0) {
        }
        std::vector<std::shared_ptr<Connection>> returned;
        {
            const std::lock_guard lock(returned_mutex_);
            returned.swap(returned_);
        }
        for (auto& connection : returned) {
            auto owned = std::make_unique<Connection>(std::move(*connection));
            if (owned->close || stopping_) {
                forget(*owned);
            } else {
                wait_for_request(std::move(owned));
            }
        }
    }

    void expire() {
        const auto now = Clock::now();
        std::vector<int> late;
        for (const auto& [fd, connection] : waiting_) {
            if (connection->deadline <= now) {
                late.push_back(fd);
                if (connection->reading) {
                    refuse(fd, "408 Request Timeout");
                }
            }
        }
        for (const int fd : late) {
            close_waiting(fd);
        }
    }

    void close_waiting(int fd) {
        const auto found = waiting_.find(fd);
        if (found != waiting_.end()) {
            forget(*found->second);
            waiting_.erase(found);
        }
    }

    void forget(Connection& connection) {
        ::shutdown(connection.fd, SHUT_RDWR);
        ::close(connection.fd);
        --open_;
        const auto held = per_client_.find(connection.client);
        if (held != per_client_.end() && --held->second <= 0) {
            per_client_.erase(held);
        }
    }

    const GateLimits& limits_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::unique_ptr<httplib::ThreadPool> workers_;
    std::unordered_map<int, std::unique_ptr<Connection>> waiting_;
    std::unordered_map<std::string, int> per_client_;
    int open_ = 0;
    std::mutex returned_mutex_;
    std::vector<std::shared_ptr<Connection>> returned_;
};

RequestGate::RequestGate(const GateLimits& limits)
    : limits_(limits), reception_(std::make_unique<Reception>(limits_)) {}

RequestGate::~RequestGate() = default;

httplib::Server& RequestGate::routes() {
    return reception_->routes;
}

int RequestGate::bind(const std::string& host, int port) {
    return reception_->bind(host, port);
}

bool RequestGate::run() {
    running_ = true;
    const bool served = reception_->run();
    running_ = false;
    return served;
}

void RequestGate::stop() {
    reception_->stop();
}

}  // namespace halvark::service
