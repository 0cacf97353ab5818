// What the broker outlet is given: where it publishes, how it proves itself,
// and what it names its sensor in the topics.
#pragma once

#include <string>

#include "outlets/mqtt/broker_address.h"

namespace tarvin {

struct MqttOptions {
  std::string url;       // the address as given (--mqtt); empty: no broker
  BrokerAddress broker;  // parsed from it, the password perhaps from TARVIN_MQTT_PASSWORD
  std::string ca, cert, key;
  std::string site;    // default: the host name
  std::string sensor;  // default: the port's name
  double samples = 0;  // chart summaries a second; 0: none
  bool ha_discovery = false;
  bool v311 = false;  // MQTT 3.1.1 instead of 5: oscillograms in a JSON wrapper
};

// The environment variable a broker password may come from.
inline constexpr const char* kMqttPasswordVariable = "TARVIN_MQTT_PASSWORD";

}  // namespace tarvin
