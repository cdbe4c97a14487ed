#include "output/event_text.h"

#include "flight/number_text.h"
#include "records/constants.h"

namespace zarn {
namespace {

// The columns of an event, after its name.
struct EventColumn {
  const char* Key;
  double (*Of)(const FlightEvent&);
};
constexpr EventColumn kEventColumns[] = {
    {"t_s", [](const FlightEvent& e) { return e.t; }},
    {"X_m", [](const FlightEvent& e) { return e.X; }},
    {"H_m", [](const FlightEvent& e) { return e.H; }},
    {"V_m_s", [](const FlightEvent& e) { return e.V; }},
    {"Q_deg", [](const FlightEvent& e) { return e.Theta * kDegPerRad; }},
};

}  // namespace

std::string EventsJson(const std::vector<FlightEvent>& events) {
  std::string text = "[";
  for (const FlightEvent& e : events) {
    if (text.size() > 1) text += ", ";
    text.append("{\"event\": \"").append(EventName(e)).append("\"");
    for (const EventColumn& c : kEventColumns)
      text.append(", \"").append(c.Key).append("\": ").append(ShortestText(c.Of(e)));
    text += '}';
  }
  return text + "]";
}

std::string EventsCsv(const std::vector<FlightEvent>& events) {
  std::string text = "event";
  for (const EventColumn& c : kEventColumns) text.append(",").append(c.Key);
  text += '\n';
  for (const FlightEvent& e : events) {
    text.append(EventName(e));
    for (const EventColumn& c : kEventColumns) text.append(",").append(ShortestText(c.Of(e)));
    text += '\n';
  }
  return text;
}

}  // namespace zarn
