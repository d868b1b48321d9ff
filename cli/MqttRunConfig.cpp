#include "MqttRunConfig.h"

#include "FirstLine.h"
#include "MqttRun.h"
#include "MqttTopics.h"
#include "MqttUrl.h"
#include "PlainName.h"

#include <QSysInfo>

#include <optional>

namespace tirevo {

std::string DefaultClientId(const std::string& serial)
{
    std::string host = QSysInfo::machineHostName().toStdString();
    if (host.empty())
        host = "localhost";
    // Only plain characters: a broker takes a client id in UTF-8 alone.
    return "tirevo-" + host + "-" + PlainName(serial);
}

MqttRunConfig MqttRunConfigFor(const MqttOptions& options, const std::string& serial,
                               const std::string& appVersion)
{
    MqttRunConfig config;
    if (const std::optional<std::string> unavailable = MqttUnavailable()) {
        config.error = *unavailable;
        config.unavailable = true;
        return config;
    }
    const MqttUrlResult parsed = ParseMqttUrl(options.url.value_or(std::string()));
    if (!parsed.url) {
        config.error = "invalid broker URL '" + options.url.value_or(std::string()) + "': " + parsed.error;
        return config;
    }
    MqttGatewaySetup& g = config.gateway;
    g.connect.host = parsed.url->host;
    g.connect.port = parsed.url->port;
    g.connect.tls = parsed.url->tls;
    if (options.caFile) {
        if (!parsed.url->tls) {
            config.error = "--cafile needs an mqtts:// URL";
            return config;
        }
        std::string first;
        if (const std::optional<std::string> error = ReadFirstLine(*options.caFile, first)) {
            config.error = "cannot read the CA file " + *options.caFile + ": " + *error;
            return config;
        }
        g.connect.caFile = *options.caFile;
    }
    g.connect.clientId = options.clientId.value_or(DefaultClientId(serial));
    if (options.username) {
        g.connect.username = *options.username;
        if (options.passwordFile) {
            // The first line, without its end: an editor's final newline is
            // no part of the password.
            if (const std::optional<std::string> error =
                    ReadFirstLine(*options.passwordFile, g.connect.password)) {
                config.error = "cannot read the password file " + *options.passwordFile + ": " + *error;
                return config;
            }
            if (!g.connect.password.empty() && g.connect.password.back() == '\r')
                g.connect.password.pop_back();
        }
    }
    g.prefix = options.topic.value_or(kDefaultTopicPrefix);
    if (!ValidTopicPrefix(g.prefix)) {
        config.error = "invalid --topic '" + g.prefix + "': not empty, no '+' or '#', no '/' at either end";
        return config;
    }
    g.discovery = options.haDiscovery;
    g.appVersion = appVersion;
    return config;
}

}  // namespace tirevo
