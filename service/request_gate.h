#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace halvark::service {

struct GateLimits {
    int max_connections = 512;  // keeps descriptors under select()'s 1024 inside httplib
    int max_connections_per_client = 16;
    int workers = 16;
    // From a request's first byte to its last, however slowly it trickles.
    std::chrono::milliseconds request_deadline{5000};
    // A kept-alive connection waiting for its next request.
    std::chrono::milliseconds idle_timeout{5000};
    std::chrono::milliseconds write_timeout{5000};
    size_t max_head_bytes = 64UL * 1024;
    size_t max_body_bytes = 4UL * 1024 * 1024;
    int max_requests_per_connection = 100;
};

// An HTTP/1.1 front for an httplib::Server's routes. One thread reads every connection's
// request head and body, without blocking, against a deadline; only a complete request
// reaches a worker, so a client that trickles holds no worker, and one client address may
// hold only a few connections at once.
class RequestGate {
  public:
    explicit RequestGate(const GateLimits& limits = {});
    ~RequestGate();
    RequestGate(const RequestGate&) = delete;
    RequestGate& operator=(const RequestGate&) = delete;

    // The routes, logger and default headers the gate answers with.
    httplib::Server& routes();
    // The port bound on `host` (`port` 0 picks a free one), or -1.
    int bind(const std::string& host, int port);
    // Serves until stop(); false when nothing was bound.
    bool run();
    void stop();
    bool is_running() const { return running_; }

  private:
    class Reception;
    GateLimits limits_;
    std::unique_ptr<Reception> reception_;
    std::atomic<bool> running_{false};
};

}  // namespace halvark::service
