#include "MqttUrl.h"

#include <charconv>
#include <string_view>

namespace tirevo {

MqttUrlResult ParseMqttUrl(const std::string& text)
{
    MqttUrlResult result;
    MqttUrl url;
    std::string_view rest = text;
    if (rest.rfind("mqtt://", 0) == 0) {
        rest.remove_prefix(7);
    } else if (rest.rfind("mqtts://", 0) == 0) {
        rest.remove_prefix(8);
        url.tls = true;
        url.port = kMqttTlsPort;
    } else {
        result.error = "a broker address starts with mqtt:// or mqtts://";
        return result;
    }
    // A trailing slash is what a copied address often ends with; a path,
    // user or query is nothing the broker would understand.
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    if (rest.find_first_of("/?#@ ") != std::string_view::npos) {
        result.error = "only a host and a port may follow " + std::string(url.tls ? "mqtts://" : "mqtt://");
        return result;
    }
    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        // An IPv6 address in brackets: [::1]:1883
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            result.error = "a '[' without its ']'";
            return result;
        }
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                result.error = "only a port may follow the address";
                return result;
            }
            port = after.substr(1);
            if (port.empty()) {
                result.error = "a port is missing after ':'";
                return result;
            }
        }
    } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty()) {
            result.error = "a port is missing after ':'";
            return result;
        }
        if (host.find(':') != std::string_view::npos) {
            result.error = "an IPv6 address goes in brackets: [::1]";
            return result;
        }
    }
    if (host.empty()) {
        result.error = "the host is missing";
        return result;
    }
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) {
            result.error = "the port is a number from 1 to 65535";
            return result;
        }
        url.port = static_cast<uint16_t>(value);
    }
    url.host = std::string(host);
    result.url = url;
    return result;
}

}  // namespace tirevo
