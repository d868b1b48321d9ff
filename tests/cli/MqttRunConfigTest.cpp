// The broker options turned into the gateway's setup, in-process: what the
// command line chooses, what it refuses, and the client id it makes up. The
// files that cannot be read are the program's tests (MqttBrokerTest).
#include "MqttRunConfig.h"
#include "FileBytes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>
#include <unistd.h>

using namespace tirevo;

namespace {

std::string HostName()
{
    char host[256] = {};
    EXPECT_EQ(::gethostname(host, sizeof host - 1), 0);
    return host;
}

// The id is the machine's own name, as the system gives it, and the
// serial's plain form: a broker takes a client id in UTF-8 alone.
TEST(MqttRunConfig, TheDefaultClientIdIsTheHostAndThePlainSerial)
{
    EXPECT_EQ(DefaultClientId("all"), "tirevo-" + HostName() + "-all");
    const std::string id = DefaultClientId("QP+1#/ 2");
    EXPECT_EQ(id.rfind("tirevo-" + HostName() + "-", 0), 0u) << id;
    EXPECT_EQ(id.find_first_of("+#/ "), std::string::npos) << id;
}

class MqttRunConfigFiles : public ::testing::Test {
protected:
    std::string File(const std::string& name, const std::string& bytes) const
    {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(MqttRunConfigFiles, ThePasswordIsTheFileFirstLineWithoutItsEnd)
{
    MqttOptions options;
    options.url = "mqtt://broker.lab:1884";
    options.username = "lab";
    options.passwordFile = File("password", "s3cret\r\nsecond line\n");
    const MqttRunConfig config = MqttRunConfigFor(options, "QP000001", "1.2.3");
    ASSERT_EQ(config.error, "");
    EXPECT_FALSE(config.unavailable);
    EXPECT_EQ(config.gateway.connect.host, "broker.lab");
    EXPECT_EQ(config.gateway.connect.port, 1884);
    EXPECT_EQ(config.gateway.connect.username, "lab");
    EXPECT_EQ(config.gateway.connect.password, "s3cret");
    EXPECT_EQ(config.gateway.connect.clientId, DefaultClientId("QP000001"));
    EXPECT_EQ(config.gateway.prefix, "tirevo");
    EXPECT_EQ(config.gateway.appVersion, "1.2.3");
}

struct RefusedOptions {
    const char* name;
    std::function<void(MqttOptions&)> set;
    std::string error;
};

class MqttRunConfigRefusal : public ::testing::TestWithParam<RefusedOptions> {};

TEST_P(MqttRunConfigRefusal, IsAUsageErrorWithItsReason)
{
    MqttOptions options;
    options.url = "mqtts://broker.lab";
    GetParam().set(options);
    const MqttRunConfig config = MqttRunConfigFor(options, "QP000001", "1.2.3");
    EXPECT_EQ(config.error, GetParam().error);
    EXPECT_FALSE(config.unavailable);
}

INSTANTIATE_TEST_SUITE_P(
    Options, MqttRunConfigRefusal,
    ::testing::Values(
        RefusedOptions{"NoScheme", [](MqttOptions& o) { o.url = "broker.lab"; },
                       "invalid broker URL 'broker.lab': a broker address starts with mqtt:// or mqtts://"},
        RefusedOptions{"CaFileWithoutTls",
                       [](MqttOptions& o) {
                           // Refused before the file is looked at.
                           o.url = "mqtt://broker.lab";
                           o.caFile = "/nowhere/ca.crt";
                       },
                       "--cafile needs an mqtts:// URL"},
        RefusedOptions{"TopicWithAWildcard", [](MqttOptions& o) { o.topic = "lab/#"; },
                       "invalid --topic 'lab/#': not empty, no '+' or '#', no '/' at either end"}),
    [](const ::testing::TestParamInfo<RefusedOptions>& info) { return info.param.name; });

}  // namespace
