#include "output/event_text.h"

#include "flight/number_text.h"
#include "output/place_figures.h"

namespace zarn {

std::string EventsJson(const std::vector<FlightEvent>& events, bool place, double degPerRad) {
  std::string text = "[";
  for (const FlightEvent& e : events) {
    if (text.size() > 1) text += ", ";
    text.append("{\"event\": \"").append(EventName(e)).append("\"");
    for (const EventColumn& c : kEventColumns)
      text.append(", \"").append(c.Key).append("\": ").append(ShortestText(c.Of(e, degPerRad)));
    if (place) {
      const PlaceFigures figures = PlaceOfEvent(e);
      for (std::size_t i = 0; i < kPlaceRows.size(); ++i)
        text.append(", \"").append(kPlaceRows[i].Key).append("\": ").append(ShortestText(figures[i]));
    }
    text += '}';
  }
  return text + "]";
}

std::string EventsCsv(const std::vector<FlightEvent>& events, bool place, double degPerRad) {
  std::string text = "event";
  for (const EventColumn& c : kEventColumns) text.append(",").append(c.Key);
  if (place)
    for (const PlaceRow& row : kPlaceRows) text.append(",").append(row.Key);
  text += '\n';
  for (const FlightEvent& e : events) {
    text.append(EventName(e));
    for (const EventColumn& c : kEventColumns) text.append(",").append(ShortestText(c.Of(e, degPerRad)));
    if (place)
      for (const double figure : PlaceOfEvent(e)) text.append(",").append(ShortestText(figure));
    text += '\n';
  }
  return text;
}

}  // namespace zarn
