#include "MqttTopics.h"

#include "PlainName.h"
#include "ReadingText.h"
#include "SampleRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tirevo {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// "tirevo_SERIAL", the start of every id Home Assistant keeps for the meter.
std::string ObjectId(const std::string& serial) { return "tirevo_" + PlainName(serial); }

QJsonObject Common(const MqttTopics& topics, const MeterIdentity& meter, const std::string& appVersion)
{
    QJsonObject device;
    device["identifiers"] = QJsonArray{Q(ObjectId(meter.serial))};
    // The name is for people: the serial number as the meter holds it.
    device["name"] = Q("pH meter " + Latin1ToUtf8(meter.serial));
    device["model"] = Q(Latin1ToUtf8(meter.model));
    device["sw_version"] = Q(appVersion);
    QJsonObject object;
    // Home Assistant shows the entity as available only while both the
    // process serving the meter and the meter are.
    object["availability"] = QJsonArray{QJsonObject{{"topic", Q(topics.Gateway())}},
                                        QJsonObject{{"topic", Q(topics.Availability(meter.serial))}}};
    object["availability_mode"] = "all";
    object["payload_available"] = kOnline;
    object["payload_not_available"] = kOffline;
    object["device"] = device;
    return object;
}

std::string Compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

MqttTopics::MqttTopics(std::string prefix, const std::string& clientId)
    : prefix_(std::move(prefix)), gateway_(prefix_ + "/gateway/" + PlainName(clientId) + "/availability")
{
}

std::string MqttTopics::Level(const std::string& serial) const { return prefix_ + "/" + PlainName(serial); }

std::string MqttTopics::SensorConfig(const std::string& serial)
{
    return "homeassistant/sensor/" + ObjectId(serial) + "_ph/config";
}

std::string MqttTopics::StableConfig(const std::string& serial)
{
    return "homeassistant/binary_sensor/" + ObjectId(serial) + "_stable/config";
}

std::string MqttTopics::SensorDiscovery(const MeterIdentity& meter, const std::string& appVersion) const
{
    QJsonObject object = Common(*this, meter, appVersion);
    object["unique_id"] = Q(ObjectId(meter.serial) + "_ph");
    object["name"] = "pH";
    object["state_topic"] = Q(Ph(meter.serial));
    object["unit_of_measurement"] = "pH";
    object["device_class"] = "ph";
    object["state_class"] = "measurement";
    return Compact(object);
}

std::string MqttTopics::StableDiscovery(const MeterIdentity& meter, const std::string& appVersion) const
{
    QJsonObject object = Common(*this, meter, appVersion);
    object["unique_id"] = Q(ObjectId(meter.serial) + "_stable");
    object["name"] = "Stable";
    object["state_topic"] = Q(Stable(meter.serial));
    object["payload_on"] = "true";
    object["payload_off"] = "false";
    return Compact(object);
}

std::string PhPayload(double value) { return FormatReading(value, '.'); }

bool ValidTopicPrefix(const std::string& prefix)
{
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/')
        return false;
    for (char c : prefix)
        if (c == '+' || c == '#' || c == '\0')
            return false;
    return true;
}

}  // namespace tirevo
