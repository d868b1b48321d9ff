#include "MqttTopics.h"

#include "ReadingText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tirevo {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QJsonObject Common(const MqttTopics& topics, const MeterIdentity& meter, const std::string& appVersion)
{
    QJsonObject device;
    device["identifiers"] = QJsonArray{Q("tirevo_" + meter.serial)};
    device["name"] = Q("pH meter " + meter.serial);
    device["model"] = Q(meter.model);
    device["sw_version"] = Q(appVersion);
    QJsonObject object;
    // Home Assistant shows the entity as available only while both the
    // gateway process and the meter are.
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

std::string MqttTopics::SensorConfig(const std::string& serial)
{
    return "homeassistant/sensor/tirevo_" + serial + "_ph/config";
}

std::string MqttTopics::StableConfig(const std::string& serial)
{
    return "homeassistant/binary_sensor/tirevo_" + serial + "_stable/config";
}

std::string MqttTopics::SensorDiscovery(const MeterIdentity& meter, const std::string& appVersion) const
{
    QJsonObject object = Common(*this, meter, appVersion);
    object["unique_id"] = Q("tirevo_" + meter.serial + "_ph");
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
    object["unique_id"] = Q("tirevo_" + meter.serial + "_stable");
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
