#include "output/event_text.h"

#include "flight/number_text.h"

namespace zarn {

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
