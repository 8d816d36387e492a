#include "net/ip_address.h"

#include <QtAlgorithms>
#include <QtEndian>
#include <algorithm>

#ifdef Q_OS_WIN
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace halvark::net {

namespace {

constexpr int kMappedPrefixBits = 96;
constexpr IpAddress kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

bool is_mapped_ipv4(const IpAddress& address) {
    return std::equal(address.cbegin(), address.cbegin() + 12, kMappedPrefix.cbegin());
}

// A dotted netmask as its prefix length, when its ones are contiguous.
std::optional<int> prefix_of_netmask(const QString& text) {
    const auto mask = parse_ip_address(text);
    if (!mask || !is_mapped_ipv4(*mask)) {
        return std::nullopt;
    }
    const quint32 host_bits = ~qFromBigEndian<quint32>(mask->data() + 12);
    if ((host_bits & (host_bits + 1)) != 0) {
        return std::nullopt;
    }
    return 32 - int(qPopulationCount(host_bits));
}

}  // namespace

std::optional<IpAddress> parse_ip_address(const QString& text) {
    const QByteArray latin = text.toLatin1();
    if (latin.isEmpty() || latin.size() > 64 || latin.contains('\0')) {
        return std::nullopt;
    }
    IpAddress address{};
    in_addr ipv4{};
    if (inet_pton(AF_INET, latin.constData(), &ipv4) == 1) {
        address = kMappedPrefix;
        std::copy_n(reinterpret_cast<const unsigned char*>(&ipv4), 4, address.begin() + 12);
        return address;
    }
    if (inet_pton(AF_INET6, latin.constData(), address.data()) == 1) {
        return address;
    }
    return std::nullopt;
}

bool is_loopback_address(const IpAddress& address) {
    if (is_mapped_ipv4(address)) {
        return address[12] == 127;
    }
    return std::all_of(address.cbegin(), address.cend() - 1,
                       [](unsigned char b) { return b == 0; }) &&
           address[15] == 1;
}

std::optional<bool> network_contains(const QString& network, const IpAddress& address) {
    const qsizetype slash = network.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return std::nullopt;
    }
    QString base = network.left(slash);
    const QString length = network.mid(slash + 1);
    const bool ipv6 = base.contains(QLatin1Char(':'));
    // An IPv4 network may leave out its trailing zero parts: "10/8", "192.168/16".
    if (!ipv6) {
        for (qsizetype parts = base.count(QLatin1Char('.')) + 1; parts < 4; ++parts) {
            base += QLatin1String(".0");
        }
    }
    const auto start = parse_ip_address(base);
    if (!start || is_mapped_ipv4(*start) == ipv6) {
        return std::nullopt;
    }
    bool numeric = false;
    std::optional<int> bits = length.toInt(&numeric);
    if (!numeric) {
        bits = ipv6 ? std::nullopt : prefix_of_netmask(length);
    }
    if (!bits || *bits < 0 || *bits > (ipv6 ? 128 : 32)) {
        return std::nullopt;
    }
    const int prefix = *bits + (ipv6 ? 0 : kMappedPrefixBits);
    for (int bit = 0; bit < prefix; ++bit) {
        const int mask = 0x80 >> (bit % 8);
        if (((*start)[bit / 8] & mask) != (address[bit / 8] & mask)) {
            return false;
        }
    }
    return true;
}

}  // namespace halvark::net
