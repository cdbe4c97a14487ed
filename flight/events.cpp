#include "flight/events.h"

#include <algorithm>
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <limits>
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

}  // namespace

bool EventLog::Climbs(const FlightNode& n) {
  return n.V * std::sin(n.Theta) > 0.0;
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
  }
  return "event";
}

EventLog::EventLog(EventSettings settings) : settings_(std::move(settings)) {
  std::stable_sort(settings_.Scheduled.begin(), settings_.Scheduled.end(),
                   [](const ScheduledEvent& x, const ScheduledEvent& y) { return x.t < y.t; });
}

void EventLog::Start(const FlightNode& launch) {
  events_.push_back({EventKind::Launch, 0, launch.t, launch.X, launch.H, launch.V, launch.Theta});
  prev_ = launch;
  qBest_ = launch;
  started_ = true;
  climbed_ = Climbs(launch);
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
  double end = b.t;
  if (a.H > settings_.Hk && b.H <= settings_.Hk) {
    if (const auto t = CrossingOf(Along(a, b, &FlightNode::H, &FlightNode::dH), settings_.Hk)) {
      FlightEvent impact = StateAt(a, b, *t, EventKind::Impact);
      impact.H = settings_.Hk;  // by its definition; the cubic gives it to the last bits
      events_.push_back(impact);
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

  const bool up = a.Mach < 1.0 && b.Mach >= 1.0;
  const bool down = a.Mach >= 1.0 && b.Mach < 1.0;
  if (up || down) {
    const HermiteSegment v = Along(a, b, &FlightNode::V, &FlightNode::dV);
    const HermiteSegment h = Along(a, b, &FlightNode::H, &FlightNode::dH);
    const HermiteSegment theta = Along(a, b, &FlightNode::Theta, &FlightNode::dTheta);
    const AirModel air = settings_.Air;
    const double wind = settings_.AirWind;
    auto f = [&](double t) { return AirSpeedOf(v.Value(t), theta.Value(t), wind) - air(h.Value(t)).Vsound; };
    const double fa = AirSpeedOf(a.V, a.Theta, wind) - air(a.H).Vsound;
    const double fb = AirSpeedOf(b.V, b.Theta, wind) - air(b.H).Vsound;
    if ((fa <= 0.0 && fb >= 0.0) || (fa >= 0.0 && fb <= 0.0)) {
      const double t = RootBetween(f, a.t, b.t, fa, fb);
      if (t <= end) events_.push_back(StateAt(a, b, t, up ? EventKind::MachUp : EventKind::MachDown));
    }
  }

  const auto top = climbed_ ? TurningPointOf(Along(a, b, &FlightNode::H, &FlightNode::dH), +1) : std::nullopt;
  if (const auto t = top; t && *t <= end) {
    const FlightEvent apex = StateAt(a, b, *t, EventKind::Apex);
    if (!apex_ || apex.H > apexEvent_.H) apexEvent_ = apex;
    apex_ = true;
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
  auto q = [&](double t) {
    const FlightEvent s = stateAt(t);
    const double v = AirSpeedOf(s.V, s.Theta, settings_.AirWind);
    return air(s.H).Roh * v * v / 2;
  };
  double best = std::min(qBest_.t, hi);
  if (hi > lo) {
    // Brent's minimisation of -q: parabolic steps with golden sections as the fallback.
    const auto found = boost::math::tools::brent_find_minima([&](double t) { return -q(t); }, lo, hi,
                                                             std::numeric_limits<double>::digits / 2);
    best = found.first;
    // The ends of the window, where the search only comes close: the launch or the impact.
    for (const double t : {lo, hi})
      if (q(t) > q(best)) best = t;
  }
  events_.push_back(stateAt(best));
  maxQ_ = q(best);
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
