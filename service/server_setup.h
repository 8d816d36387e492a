#pragma once

#include <QString>
#include <string>

namespace httplib {
class Server;
}

namespace halvark::service {

// Enough workers that a few dozen slow or idle clients leave room for everybody else, and
// time-outs that let go of the idle ones; plus the one-line request log.
void configure_server(httplib::Server& server);

// `text` with every byte outside printable ASCII (and the backslash) written as \xNN, so
// that a request path can neither start a new console line nor drive the terminal.
QString printable_for_log(const std::string& text);

}  // namespace halvark::service
