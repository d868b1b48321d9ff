// The MQTT module's two exports, looked up by name when it is loaded.
#include "MosquittoLink.h"

#if defined(_WIN32)
#define TIREVO_MQTT_EXPORT extern "C" __declspec(dllexport)
#else
#define TIREVO_MQTT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TIREVO_MQTT_EXPORT int TirevoMqttVersion() { return tirevo::kMqttModuleVersion; }

TIREVO_MQTT_EXPORT tirevo::MqttSocketLink* TirevoMqttCreateLink() { return new tirevo::MosquittoLink(); }
