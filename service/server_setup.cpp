#include "server_setup.h"

#include <httplib.h>

#include <QTime>
#include <cstdio>

namespace halvark::service {

QString printable_for_log(const std::string& text) {
    QString printable;
    printable.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            printable += QLatin1Char(c);
        } else {
            printable += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
    }
    return printable;
}

void configure_server(httplib::Server& server) {
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        // Never the headers or bodies: they carry passwords and tokens.
        std::printf("%s %s %s -> %d\n", qPrintable(QTime::currentTime().toString("HH:mm:ss")),
                    qPrintable(printable_for_log(request.method)),
                    qPrintable(printable_for_log(request.path)), response.status);
        std::fflush(stdout);
    });
}

}  // namespace halvark::service
