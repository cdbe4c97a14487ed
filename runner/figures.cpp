#include <string>

#include "flight/key_figures.h"
#include "flight/number_text.h"
#include "output/event_text.h"
#include "records/constants.h"
#include "records/errors.h"
#include "runner/batch.h"

namespace zarn::batch {

const std::array<FigureRow, kFigureCount> kFigures{{
    {"steps_per_pass", "Steps per pass", ""},
    {"samples_stored", "Samples stored", ""},
    {"t_s", "Flight time", "s"},
    {"X_m", "Range", "m"},
    {"apex_H_m", "Apex height", "m"},
    {"H_m", "End height", "m"},
    {"V_m_s", "End speed", "m/s"},
    {"Q_deg", "End angle", "deg"},
    {"Mass_kg", "End mass", "kg"},
    {"max_q_kPa", "Largest dynamic pressure", "kPa"},
    {"peak_nx_g", "Peak load factor nx", "g"},
    {"level_flight_speed_m_s", "Level-flight speed", "m/s"},
    {"buoyant_volume_m3", "Buoyant volume", "m3"},
    {"impact_t_s", "Impact time", "s"},
    {"impact_X_m", "Impact range", "m"},
    {"impact_V_m_s", "Impact speed", "m/s"},
    {"impact_Q_deg", "Impact angle", "deg"},
    {"apex_t_s", "Apex time", "s"},
    {"apex_X_m", "Range at the apex", "m"},
}};

std::span<const std::string_view> FigureKeys() {
  static const std::array<std::string_view, kFigureCount> keys = [] {
    std::array<std::string_view, kFigureCount> k{};
    for (std::size_t i = 0; i < k.size(); ++i) k[i] = kFigures[i].Key;
    return k;
  }();
  return keys;
}

Flight Fly(const FlightParameters& p, const RunOptions& run, std::unique_ptr<RunResult> reuse) {
  Flight flight{std::move(reuse), {}};
  if (flight.Result)
    ComputeTrajectory(p, run, *flight.Result);
  else
    flight.Result = ComputeTrajectory(p, run);
  const RunResult& d = *flight.Result;
  const KeyFigures k = KeyFiguresOf(p, d);
  const RunSummary& sum = d.Summary;
  Figures& f = flight.Values;
  f[kFigSteps] = static_cast<double>(sum.StepsPerPass);
  f[kFigSamples] = sum.SamplesStored;
  f[kFigTime] = k.LastStepTime;
  f[kFigRange] = k.LastStepRange;
  f[kFigApex] = k.ApexH;
  f[kFigEndH] = d.Final.H;
  f[kFigEndV] = k.LastStepSpeed;
  f[kFigEndAngle] = d.Final.Theta * kDegPerRad;
  f[kFigEndMass] = d.Final.Mass;
  f[kFigMaxQ] = k.MaxQ / 1000.0;
  f[kFigPeakNx] = k.PeakNx;
  f[kFigLevelSpeed] = k.LevelFlightSpeed;
  f[kFigVolume] = k.BuoyantVolume;
  f[kFigImpactT] = k.ImpactTime;
  f[kFigImpactX] = k.ImpactRange;
  f[kFigImpactV] = k.ImpactSpeed;
  f[kFigImpactQ] = k.ImpactAngle;
  f[kFigApexT] = k.ApexTime;
  f[kFigApexX] = k.ApexRange;
  for (const std::optional<double>& v : f)
    if (v) Checked(*v);  // no figure is ever inf or nan
  flight.LocatedMaxima = k.LocatedMaxima;
  return flight;
}

std::string NumberText(double value) {
  return ShortestText(value);
}

std::string FigureText(const Figures& f, int id, bool forPeople) {
  const double v = *f[static_cast<std::size_t>(id)];
  if (id == kFigSteps || id == kFigSamples) return std::to_string(static_cast<int64_t>(v));
  return forPeople ? FormatGeneral(Checked(v), 10, '.') : NumberText(v);
}

namespace {

// Where a flight ends at the ground, a person reads its time, range and speed at the impact under
// the plain labels, and those of the last step (below the ground) under their own.
struct Relabel {
  int Shown;  //!< the figure whose place it takes
  int From;   //!< the figure whose value it shows
  std::string_view Label;
};
constexpr std::array<Relabel, 6> kImpactLabels{{
    {kFigTime, kFigImpactT, "Flight time"},
    {kFigRange, kFigImpactX, "Range"},
    {kFigEndV, kFigImpactV, "End speed"},
    {kFigImpactT, kFigTime, "Flight time at the last step"},
    {kFigImpactX, kFigRange, "Range at the last step"},
    {kFigImpactV, kFigEndV, "Speed at the last step"},
}};

}  // namespace

std::string SummaryText(const Figures& figures) {
  const bool impact = figures[kFigImpactT] && figures[kFigImpactX] && figures[kFigImpactV];
  std::string text;
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    const FigureRow& figure = kFigures[static_cast<std::size_t>(id)];
    std::string_view label = figure.Label;
    int from = id;
    for (const Relabel& r : kImpactLabels)
      if (impact && r.Shown == id) label = r.Label, from = r.From;
    text.append(label).append(": ").append(FigureText(figures, from, true));
    if (!figure.Unit.empty()) text.append(" ").append(figure.Unit);
    text += '\n';
  }
  return text;
}

std::string FiguresJson(const Figures& figures) {
  std::string text = "{";
  for (int id = 0; id < kFigureCount; ++id) {
    if (!figures[static_cast<std::size_t>(id)]) continue;
    if (text.size() > 1) text += ", ";
    text.append("\"").append(kFigures[static_cast<std::size_t>(id)].Key).append("\": ");
    text.append(FigureText(figures, id, false));
  }
  return text + "}";
}

std::string FlightJson(const Flight& flight) {
  std::string text = FiguresJson(flight.Values);
  text.pop_back();  // the closing brace
  // The classic method keeps the largest of its step ends, which the result files are made of.
  text.append(", \"maxima\": \"").append(flight.LocatedMaxima ? "located" : "step ends").append("\"");
  return text.append(", \"events\": ").append(EventsJson(flight.Result->Events)).append("}");
}

std::string ErrorJson(std::string_view message) {
  std::string text = "{\"error\": \"";
  for (const char c : message) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      text += "\\u00";
      text += kHex[(c >> 4) & 0xf];
      text += kHex[c & 0xf];
    } else {
      text += c;
    }
  }
  return text + "\"}";
}

}  // namespace zarn::batch
