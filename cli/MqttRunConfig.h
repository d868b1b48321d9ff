// The broker options of the command line turned into the gateway's setup:
// publish/ knows the gateway, not the options that choose it.
#pragma once

#include "CliOptions.h"
#include "MqttGateway.h"

#include <string>

namespace tirevo {

struct MqttRunConfig {
    MqttGatewaySetup gateway;
    std::string error;         // why the options cannot be used (a usage error)
    bool unavailable = false;  // no broker support in this build at all
};

// The gateway's setup from the command line: the URL, the password file
// (only its first line), the client id. The error is set when any of it
// cannot be used; nothing is connected yet.
MqttRunConfig MqttRunConfigFor(const MqttOptions& options, const std::string& serial,
                               const std::string& appVersion);

// tirevo-<host>-<serial> (the serial's plain form, "all" for a run over
// every meter): the same meter on the same machine keeps its session, two
// processes never share one, nor their availability topics.
std::string DefaultClientId(const std::string& serial);

}  // namespace tirevo
