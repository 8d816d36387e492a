#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace halvark::service {

// One HTTP/1.1 connection from a chosen source address of 127.0.0.0/8, so that the tests and
// the load benchmark can speak as many different clients (and as slowly) as they like.
class LoopbackClient {
  public:
    LoopbackClient(const std::string& source, int port);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send(std::string_view bytes);
    // The status of the next answer, its body read; 0 when the connection ended or nothing
    // came within `timeout`.
    int read_status(std::chrono::milliseconds timeout);
    // Whether the service closed the connection (after whatever it answered) within `timeout`.
    bool closed_by_service(std::chrono::milliseconds timeout);

  private:
    int fd_ = -1;
    std::string pending_;
};

std::string http_request(std::string_view method, std::string_view path,
                         std::string_view json_body = {});

// One request on a fresh connection: its status, or 0.
int exchange(const std::string& source, int port, const std::string& request,
             std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace halvark::service
