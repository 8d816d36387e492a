#pragma once

class QNetworkReply;

namespace halvark::net {

// Runs a nested event loop until `reply` finishes or `timeout_ms` pass, then aborts a
// reply that is still running. The interface keeps repainting meanwhile.
void wait_for_reply(QNetworkReply* reply, int timeout_ms);

}  // namespace halvark::net
