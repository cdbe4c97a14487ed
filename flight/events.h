#pragma once
// The moments of a flight that a user asks about, each located inside the step where it happens:
// the run hands over every point it passes with the rates of its state there, and the log reads
// the moment off the cubic Hermite segments between two points (hermite.h), so that neither its
// time nor its state saws with the step.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "models/flight_model.h"

namespace zarn {

enum class EventKind : int32_t {
  Launch,
  Burnout,
  Staging,
  MachUp,
  MachDown,
  MaxQ,
  Apex,
  Impact,
  RailExit,   //!< the body leaves its launch rail
  ChuteOpen,  //!< the parachute opens
  Landing,    //!< the impact of a body under a parachute
};

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
// "max_q", "apex", "impact", "rail_exit", "chute_open", "landing".
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

// A moment of the flight as a switching function g of its state: the moment is where g changes
// sign in its direction between two points, and a largest or smallest value is a zero of the rate.
// The log finds the zero on the cubic segments between the points by one root finder (TOMS 748);
// a new moment is one such class, given to the log in its constructor.
class SwitchingEvent {
 public:
  enum class Sense {
    kFalling,  //!< from above 0 to 0 or below
    kEither,   //!< either way, touching 0 counting on both sides
  };
  // What the log makes of a zero: the end of the flight (the first in a step, it cuts the step for
  // the rest), a moment each time, or only the one with the greatest height.
  enum class Role { kEndsFlight, kEach, kHighest };

  SwitchingEvent(Sense sense, Role role) : Sense_(sense), Role_(role) {}
  virtual ~SwitchingEvent() = default;

  // g at a point, from its state and rates.
  virtual double At(const FlightNode& n) const = 0;
  // g at t inside the step from a to b, on the cubic segments through them.
  virtual double Between(const FlightNode& a, const FlightNode& b, double t) const = 0;
  // Whether the step from a to b may hold the moment: the few comparisons made for every step.
  virtual bool Crosses(const FlightNode& a, const FlightNode& b) const;
  // The moment's kind where it lies between a and b.
  virtual EventKind KindOf(const FlightNode& a, const FlightNode& b) const = 0;
  // Whether the moment counts yet; Observe sees every point, the launch first.
  virtual bool Armed() const { return true; }
  virtual void Observe(const FlightNode&) {}
  // Sets what the moment fixes by its definition (the end height) in the located state.
  virtual void Settle(FlightEvent&) const {}

  // The zero in [a.t, b.t] in the event's sense, or nothing.
  std::optional<double> Zero(const FlightNode& a, const FlightNode& b) const;

  const Sense Sense_;
  const Role Role_;
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
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void Start(const FlightNode& launch);
  void Next(const FlightNode& node) {
    if (impact_) return;
    // Most steps hold no event: a few comparisons tell, and only the others are searched.
    const FlightNode& a = prev_;
    bool search = node.t >= nextScheduled_ || node.t >= settings_.Tk;
    for (std::size_t i = 0; i < switching_.size() && !search; ++i) search = switching_[i]->Crosses(a, node);
    if (search) {
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
    for (const auto& e : switching_) e->Observe(node);
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

  EventSettings settings_;
  // The impact, the Mach 1 crossings and the apex, in the order their zeros are taken in a step.
  std::vector<std::unique_ptr<SwitchingEvent>> switching_;
  std::size_t scheduled_ = 0;   // the first scheduled event not yet reached
  double nextScheduled_ = 0.0;  //!< [s] its time; infinity when none is left
  std::vector<FlightEvent> events_;
  FlightNode prev_{};
  bool started_ = false;
  bool impact_ = false;
  double end_ = 0.0;  //!< [s] where the flight ends: its impact, else its last point
  // The apex so far: the highest turning point of a flight that climbed before it.
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
