#include "recorder/outlets.h"

#include <algorithm>

#ifdef TARVIN_HAVE_MQTT
#include "outlets/mqtt/mqtt_publisher.h"
#endif
#ifdef TARVIN_HAVE_DC09
#include "outlets/dc09/dc09_outlet.h"
#endif

namespace tarvin {

Outlets::Outlets(const RecorderOptions& options, Journal& journal, Console& console) {
#ifdef TARVIN_HAVE_MQTT
  // The options refuse --mqtt in a recorder built without it.
  if (!options.mqtt.url.empty()) {
    auto say = [&console](const std::string& line) { console.Line(line); };
    outlets_.push_back(std::make_unique<MqttPublisher>(options.mqtt, journal, say));
  }
#endif
#ifdef TARVIN_HAVE_DC09
  // The options refuse --dc09 in a recorder built without it.
  if (!options.dc09.url.empty()) {
    auto say = [&console](const std::string& line) { console.Line(line); };
    outlets_.push_back(std::make_unique<Dc09Outlet>(options.dc09, journal, say));
  }
#endif
  (void)options;
  (void)console;
  for (const auto& outlet : outlets_)
    journal.AddObserver(
        [each = outlet.get()](const nlohmann::ordered_json& event) { each->TakeEvent(event); });
}

bool Outlets::WantSamples() const {
  return std::any_of(outlets_.begin(), outlets_.end(),
                     [](const auto& outlet) { return outlet->WantsSamples(); });
}

void Outlets::Sample(const ScopeSample& sample) {
  for (const auto& outlet : outlets_)
    if (outlet->WantsSamples()) outlet->TakeSample(sample);
}

Outlets::Clock::time_point Outlets::Step(Clock::time_point now) {
  Clock::time_point next = Clock::time_point::max();
  for (const auto& outlet : outlets_) next = std::min(next, outlet->Step(now));
  return next;
}

void Outlets::Stop(Clock::duration drain) {
  for (const auto& outlet : outlets_) {
    outlet->Step(Clock::now());
    outlet->Stop(drain);
  }
}

}  // namespace tarvin
