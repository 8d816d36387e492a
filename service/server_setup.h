#pragma once

#include <QString>
#include <string>

namespace httplib {
class Server;
}

namespace halvark::service {

// The one-line request log (connections, deadlines and workers are the RequestGate's).
void configure_server(httplib::Server& server);

// `text` with every byte outside printable ASCII (and the backslash) written as \xNN, so
// that a request path can neither start a new console line nor drive the terminal.
QString printable_for_log(const std::string& text);

}  // namespace halvark::service
