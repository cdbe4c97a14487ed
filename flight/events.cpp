#include "flight/events.h"

#include <algorithm>
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "flight/hermite.h"

namespace zarn {
namespace {

HermiteSegment Along(const FlightNode& a, const FlightNode& b, double FlightNode::*y,
                     double FlightNode::*rate) {
  return {a.t, b.t, a.*y, b.*y, a.*rate, b.*rate};
}

// The state at t in [a.t, b.t], each coordinate on its own cubic.
FlightEvent StateAt(const FlightNode& a, const FlightNode& b, double t, EventKind kind, int32_t stage = 0) {
  return {kind,
          stage,
          t,
          Along(a, b, &FlightNode::X, &FlightNode::dX).Value(t),
          Along(a, b, &FlightNode::H, &FlightNode::dH).Value(t),
          Along(a, b, &FlightNode::V, &FlightNode::dV).Value(t),
          Along(a, b, &FlightNode::Theta, &FlightNode::dTheta).Value(t)};
}

// The end of the flight by height: H falls to the end height Hk.
class Impact final : public SwitchingEvent {
 public:
  explicit Impact(double hk) : SwitchingEvent(Sense::kFalling, Role::kEndsFlight), hk_(hk) {}
  double At(const FlightNode& n) const override { return n.H - hk_; }
  double Between(const FlightNode& a, const FlightNode& b, double t) const override {
    return Along(a, b, &FlightNode::H, &FlightNode::dH).Value(t) - hk_;
  }
  bool Crosses(const FlightNode& a, const FlightNode& b) const override { return a.H > hk_ && b.H <= hk_; }
  EventKind KindOf(const FlightNode&, const FlightNode&) const override { return EventKind::Impact; }
  void Settle(FlightEvent& e) const override { e.H = hk_; }  // the cubic gives it to the last bits

 private:
  double hk_;
};

// The speed relative to the air passes the speed of sound at the height, either way.
class MachOne final : public SwitchingEvent {
 public:
  MachOne(AirModel air, double wind) : SwitchingEvent(Sense::kEither, Role::kEach), air_(air), wind_(wind) {}
  double At(const FlightNode& n) const override { return AirSpeedOf(n.V, n.Theta, wind_) - air_(n.H).Vsound; }
  double Between(const FlightNode& a, const FlightNode& b, double t) const override {
    const double v = Along(a, b, &FlightNode::V, &FlightNode::dV).Value(t);
    const double theta = Along(a, b, &FlightNode::Theta, &FlightNode::dTheta).Value(t);
    const double h = Along(a, b, &FlightNode::H, &FlightNode::dH).Value(t);
    return AirSpeedOf(v, theta, wind_) - air_(h).Vsound;
  }
  // The run's own Mach numbers tell which steps to search.
  bool Crosses(const FlightNode& a, const FlightNode& b) const override {
    return (a.Mach < 1.0 && b.Mach >= 1.0) || (a.Mach >= 1.0 && b.Mach < 1.0);
  }
  EventKind KindOf(const FlightNode& a, const FlightNode&) const override {
    return a.Mach < 1.0 ? EventKind::MachUp : EventKind::MachDown;
  }

 private:
  AirModel air_;
  double wind_;
};

// The highest point: the climb rate dH falls through 0, once the flight has climbed.
class Apex final : public SwitchingEvent {
 public:
  Apex() : SwitchingEvent(Sense::kFalling, Role::kHighest) {}
  double At(const FlightNode& n) const override { return n.dH; }
  double Between(const FlightNode& a, const FlightNode& b, double t) const override {
    return Along(a, b, &FlightNode::H, &FlightNode::dH).Rate(t);
  }
  EventKind KindOf(const FlightNode&, const FlightNode&) const override { return EventKind::Apex; }
  bool Armed() const override { return climbed_; }
  // The state's own climb rate V sin(Theta), not the rate of the curve through the points: the
  // curve through the first classic steps of a body at rest rises before it falls.
  void Observe(const FlightNode& n) override {
    if (!climbed_) climbed_ = n.V * std::sin(n.Theta) > 0.0;
  }

 private:
  bool climbed_ = false;
};

}  // namespace

bool SwitchingEvent::Crosses(const FlightNode& a, const FlightNode& b) const {
  const double ga = At(a), gb = At(b);
  if (Sense_ == Sense::kFalling) return ga > 0.0 && gb <= 0.0;
  return (ga <= 0.0 && gb >= 0.0) || (ga >= 0.0 && gb <= 0.0);
}

std::optional<double> SwitchingEvent::Zero(const FlightNode& a, const FlightNode& b) const {
  const double ga = At(a), gb = At(b);
  const bool bracket = Sense_ == Sense::kFalling ? ga > 0.0 && gb <= 0.0
                                                 : (ga <= 0.0 && gb >= 0.0) || (ga >= 0.0 && gb <= 0.0);
  if (!bracket) return std::nullopt;
  return RootBetween([&](double t) { return Between(a, b, t); }, a.t, b.t, ga, gb);
}

std::string EventName(const FlightEvent& e) {
  switch (e.Kind) {
    case EventKind::Launch:
      return "launch";
    case EventKind::Burnout:
      return "burnout_" + std::to_string(e.Stage);
    case EventKind::Staging:
      return "staging_" + std::to_string(e.Stage);
    case EventKind::MachUp:
      return "mach_1_up";
    case EventKind::MachDown:
      return "mach_1_down";
    case EventKind::MaxQ:
      return "max_q";
    case EventKind::Apex:
      return "apex";
    case EventKind::Impact:
      return "impact";
    case EventKind::RailExit:
      return "rail_exit";
    case EventKind::ChuteOpen:
      return "chute_open";
    case EventKind::Landing:
      return "landing";
  }
  return "event";
}

EventLog::EventLog(EventSettings settings) : settings_(std::move(settings)) {
  switching_.push_back(std::make_unique<Impact>(settings_.Hk));
  switching_.push_back(std::make_unique<MachOne>(settings_.Air, settings_.AirWind));
  switching_.push_back(std::make_unique<Apex>());
  std::stable_sort(settings_.Scheduled.begin(), settings_.Scheduled.end(),
                   [](const ScheduledEvent& x, const ScheduledEvent& y) { return x.t < y.t; });
}

void EventLog::Start(const FlightNode& launch) {
  events_.push_back({EventKind::Launch, 0, launch.t, launch.X, launch.H, launch.V, launch.Theta});
  prev_ = launch;
  qBest_ = launch;
  started_ = true;
  for (const auto& e : switching_) e->Observe(launch);
  end_ = launch.t;
  // A moment at the launch itself (a stage without fuel) is the launch's.
  while (scheduled_ < settings_.Scheduled.size() && settings_.Scheduled[scheduled_].t <= launch.t) {
    const ScheduledEvent& s = settings_.Scheduled[scheduled_++];
    if (s.t == launch.t)
      events_.push_back({s.Kind, s.Stage, launch.t, launch.X, launch.H, launch.V, launch.Theta});
  }
}

void EventLog::NextScheduled() {
  const std::vector<ScheduledEvent>& s = settings_.Scheduled;
  nextScheduled_ = scheduled_ < s.size() ? s[scheduled_].t : std::numeric_limits<double>::infinity();
}

void EventLog::Segment(const FlightNode& a, const FlightNode& b) {
  end_ = b.t;
  if (!(b.t > a.t)) return;  // a step that did not advance the time holds no moment
  // What ends the flight first: nothing after it counts.
  double end = b.t;
  for (const auto& e : switching_) {
    if (e->Role_ != SwitchingEvent::Role::kEndsFlight || impact_ || !e->Crosses(a, b)) continue;
    if (const auto t = e->Zero(a, b)) {
      FlightEvent ends = StateAt(a, b, *t, e->KindOf(a, b));
      e->Settle(ends);
      events_.push_back(ends);
      impact_ = true;
      end = *t;
    }
  }
  end_ = end;
  if (!impact_ && a.t < settings_.Tk && b.t >= settings_.Tk) {
    atTk_ = b.t == settings_.Tk ? FlightEvent{EventKind::Impact, 0, b.t, b.X, b.H, b.V, b.Theta}
                                : StateAt(a, b, settings_.Tk, EventKind::Impact);
  }

  while (scheduled_ < settings_.Scheduled.size() && settings_.Scheduled[scheduled_].t <= end) {
    const ScheduledEvent& s = settings_.Scheduled[scheduled_++];
    events_.push_back(StateAt(a, b, s.t, s.Kind, s.Stage));
  }
  NextScheduled();

  for (const auto& e : switching_) {
    if (e->Role_ == SwitchingEvent::Role::kEndsFlight || !e->Armed() || !e->Crosses(a, b)) continue;
    const auto t = e->Zero(a, b);
    if (!t || *t > end) continue;
    FlightEvent moment = StateAt(a, b, *t, e->KindOf(a, b));
    e->Settle(moment);
    if (e->Role_ == SwitchingEvent::Role::kEach) {
      events_.push_back(moment);
    } else {
      if (!apex_ || moment.H > apexEvent_.H) apexEvent_ = moment;  // the highest of them
      apex_ = true;
    }
  }
}

void EventLog::LocateMaxQ() {
  const AirModel air = settings_.Air;
  const double lo = hasBefore_ ? qBefore_.t : qBest_.t;
  const double hi = std::min(hasAfter_ ? qAfter_.t : qBest_.t, end_);
  auto stateAt = [&](double t) {
    if (hasBefore_ && t <= qBest_.t) return StateAt(qBefore_, qBest_, t, EventKind::MaxQ);
    if (hasAfter_ && t > qBest_.t) return StateAt(qBest_, qAfter_, t, EventKind::MaxQ);
    return FlightEvent{EventKind::MaxQ, 0, qBest_.t, qBest_.X, qBest_.H, qBest_.V, qBest_.Theta};
  };
  // q reads the height, the speed and (with wind) the angle: their cubics alone, each as stateAt's.
  auto q = [&](double t) {
    double H = qBest_.H, V = qBest_.V, Theta = qBest_.Theta;
    const FlightNode* a = nullptr;
    const FlightNode* b = nullptr;
    if (hasBefore_ && t <= qBest_.t)
      a = &qBefore_, b = &qBest_;
    else if (hasAfter_ && t > qBest_.t)
      a = &qBest_, b = &qAfter_;
    if (a != nullptr) {
      H = Along(*a, *b, &FlightNode::H, &FlightNode::dH).Value(t);
      V = Along(*a, *b, &FlightNode::V, &FlightNode::dV).Value(t);
      if (settings_.AirWind != 0.0) Theta = Along(*a, *b, &FlightNode::Theta, &FlightNode::dTheta).Value(t);
    }
    const double v = AirSpeedOf(V, Theta, settings_.AirWind);
    return air(H).Roh * v * v / 2;
  };
  double best = std::min(qBest_.t, hi);
  if (hi > lo) {
    // Brent's minimisation of -q: parabolic steps with golden sections as the fallback.
    const auto found = boost::math::tools::brent_find_minima([&](double t) { return -q(t); }, lo, hi,
                                                             std::numeric_limits<double>::digits / 2);
    best = found.first;
    // The ends of the window, where the search only comes close: the launch or the impact.
    double top = q(best);
    for (const double t : {lo, hi})
      if (const double qt = q(t); qt > top) best = t, top = qt;
    maxQ_ = top;
  } else {
    maxQ_ = q(best);
  }
  events_.push_back(stateAt(best));
}

std::vector<FlightEvent> EventLog::Finish() {
  if (!started_) return {};
  LocateMaxQ();
  if (apex_) events_.push_back(apexEvent_);
  std::stable_sort(events_.begin(), events_.end(), [](const FlightEvent& x, const FlightEvent& y) {
    return x.t < y.t || (x.t == y.t && x.Kind < y.Kind);
  });
  return std::move(events_);
}

const FlightEvent* FindEvent(const std::vector<FlightEvent>& events, EventKind kind) {
  const auto it =
      std::find_if(events.begin(), events.end(), [&](const FlightEvent& e) { return e.Kind == kind; });
  return it == events.end() ? nullptr : &*it;
}

}  // namespace zarn
