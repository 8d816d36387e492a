#pragma once

#include <QString>
#include <array>
#include <optional>

namespace halvark::net {

// An IPv4 or IPv6 address in network byte order. An IPv4 address is held in its mapped IPv6
// form (::ffff:a.b.c.d), so that both spellings of it are one address.
using IpAddress = std::array<unsigned char, 16>;

// The address `text` spells ("10.0.0.1", "::1", "::ffff:127.0.0.1"), or nothing for anything
// else, host names included.
std::optional<IpAddress> parse_ip_address(const QString& text);
bool is_loopback_address(const IpAddress& address);
// Whether `address` lies in `network` ("10.0.0.0/8", "10/8", "10.0.0.0/255.0.0.0",
// "fd00::/8"); nothing when `network` is not one.
std::optional<bool> network_contains(const QString& network, const IpAddress& address);

}  // namespace halvark::net
