#pragma once
// The moments of a flight that a user asks about, each located inside the step where it happens:
// the run hands over every point it passes with the rates of its state there, and the log reads
// the moment off the cubic Hermite segments between two points (hermite.h), so that neither its
// time nor its state saws with the step.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "models/flight_model.h"

namespace zarn {

enum class EventKind : int32_t { Launch, Burnout, Staging, MachUp, MachDown, MaxQ, Apex, Impact };

// One point of the flight as the run passes it, with the rates of its state there.
struct FlightNode {
  double t;       //!< [s]
  double X;       //!< [m]
  double H;       //!< [m]
  double V;       //!< [m/s]
  double Theta;   //!< [rad]
  double dX;      //!< [m/s] dX/dt
  double dH;      //!< [m/s] dH/dt
  double dV;      //!< [m/s^2] dV/dt
  double dTheta;  //!< [rad/s] dTheta/dt
  double Mach;    //!< [-] V / speed of sound
  double q;       //!< [Pa] dynamic pressure
};

struct FlightEvent {
  EventKind Kind;
  int32_t Stage;  //!< the stage that burnt out (Burnout) or was dropped (Staging); else 0
  double t;       //!< [s]
  double X;       //!< [m]
  double H;       //!< [m]
  double V;       //!< [m/s]
  double Theta;   //!< [rad]
};

// The event's name for scripts: "launch", "burnout_1", "staging_1", "mach_1_up", "mach_1_down",
// "max_q", "apex", "impact".
std::string EventName(const FlightEvent& e);

// The air at a height as the run takes it.
struct AirAt {
  double Vsound;  //!< [m/s]
  double Roh;     //!< [kg/m^3]
};
using AirModel = AirAt (*)(double H);

// A moment known before the flight: a stage's fuel runs out at a time its figures give.
struct ScheduledEvent {
  double t;  //!< [s]
  EventKind Kind;
  int32_t Stage;
};

struct EventSettings {
  double Hk;                              //!< [m] the flight ends at its first point at or below Hk
  AirModel Air;                           //!< for the Mach 1 crossings and the largest dynamic pressure
  std::vector<ScheduledEvent> Scheduled;  //!< burnouts and stagings, any order
  // [m/s] the air's own speed toward +X where the forces act on the speed relative to the air
  // (Mach and q then take that speed); 0 where they act on the speed over the ground.
  double AirWind = 0.0;
  double Tk = std::numeric_limits<double>::infinity();  //!< [s] the end time of the run
};

// Fed with the points of one flight in order; gives its events in time order. Launch at the first
// point; each burnout and staging at its time, where the flight reaches it; each Mach 1 crossing;
// the largest dynamic pressure (at launch or impact where it is largest there); the apex: the
// highest point where the climb turns into a descent (none where the flight never climbs, or ends
// still climbing); impact: the crossing of Hk in the step that ends the flight by height. Nothing
// after the impact counts. A flight still in the air at Tk also gives its state there. Per point the log does
// a few comparisons; the searches run only in the steps that hold an event.
class EventLog {
 public:
  explicit EventLog(EventSettings settings);

  void Start(const FlightNode& launch);
  void Next(const FlightNode& node) {
    if (impact_) return;
    // Most steps hold no event: a few comparisons tell, and only the others are searched.
    const FlightNode& a = prev_;
    if ((a.H > settings_.Hk && node.H <= settings_.Hk) || (a.Mach < 1.0) != (node.Mach < 1.0) ||
        (a.dH > 0.0 && node.dH <= 0.0) || node.t >= nextScheduled_ || node.t >= settings_.Tk) {
      Segment(a, node);
    } else {
      end_ = node.t;
    }
    // The largest q of the points, with its neighbours; the first of equal ones.
    if (node.q > qBest_.q) {
      qBefore_ = prev_;
      qBest_ = node;
      hasBefore_ = true;
      hasAfter_ = false;
    } else if (!hasAfter_ && qBest_.t == prev_.t) {
      qAfter_ = node;
      hasAfter_ = true;
    }
    prev_ = node;
    if (!climbed_) climbed_ = Climbs(node);
  }
  // The events in time order (equal times in the order of EventKind).
  std::vector<FlightEvent> Finish();
  // After Finish: [Pa] the dynamic pressure at the max_q event.
  double MaxQ() const { return maxQ_; }
  // After Finish: the state at Tk where the flight reached it before any impact.
  const std::optional<FlightEvent>& AtEndTime() const { return atTk_; }

 private:
  void Segment(const FlightNode& a, const FlightNode& b);
  void NextScheduled();
  void LocateMaxQ();
  // The state's own climb rate V sin(Theta), not the rate of the curve through the points: the
  // curve through the first classic steps of a body at rest rises before it falls.
  static bool Climbs(const FlightNode& n);

  EventSettings settings_;
  std::size_t scheduled_ = 0;   // the first scheduled event not yet reached
  double nextScheduled_ = 0.0;  //!< [s] its time; infinity when none is left
  std::vector<FlightEvent> events_;
  FlightNode prev_{};
  bool started_ = false;
  bool impact_ = false;
  double end_ = 0.0;  //!< [s] where the flight ends: its impact, else its last point
  // The apex so far: the highest turning point of a flight that climbed before it.
  bool climbed_ = false;
  bool apex_ = false;
  FlightEvent apexEvent_{};
  // The point of the largest q and its neighbours, for the search around it at the end.
  FlightNode qBefore_{}, qBest_{}, qAfter_{};
  bool hasBefore_ = false, hasAfter_ = false;
  double maxQ_ = 0.0;  //!< [Pa]
  std::optional<FlightEvent> atTk_;
};

// The first event of that kind, or nullptr.
const FlightEvent* FindEvent(const std::vector<FlightEvent>& events, EventKind kind);

}  // namespace zarn
