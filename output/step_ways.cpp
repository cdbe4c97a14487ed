#include "output/step_ways.h"

#include <algorithm>

namespace zarn {

void StepWays::Reset() {
  window_ = Window{};
  measured_ = false;
  warm_ = false;
  cost_ = {};
  earlier_ = {};
  stretch_ = kFirstStretch / 4;  // the first trial that the other way wins gives kFirstStretch
}

double StepWays::Cost(Way way) const {
  return earlier_[way] > 0 ? std::min(cost_[way], earlier_[way]) : cost_[way];
}

const StepWays::Window& StepWays::Next(double cost, uint64_t records, bool twoCores) {
  const Way was = window_.Goes;
  if (measured_ && cost > 0) {
    earlier_[was] = window_.Trial ? cost_[was] : 0;  // a stretch is long enough to count alone
    cost_[was] = cost;
  }
  auto trial = [&](Way way) { return Window{way, way == kShared ? sharedTrial_ : kOwnTrial, true, false}; };
  Window next;
  if (!twoCores || records < kSharedFrom) {
    next = Window{kOwn, kFirstStretch, false, false};
  } else if (window_.Warming) {  // the trial itself follows
    next = trial(kShared);
  } else if (cost_[kShared] == 0 || cost_[kOwn] == 0) {
    next = trial(cost_[kShared] == 0 ? kShared : kOwn);
  } else if (window_.Trial) {  // the trial decides the next stretch
    const Way faster = Cost(kShared) < Cost(kOwn) ? kShared : kOwn;
    stretch_ = faster == was ? kFirstStretch : std::min(stretch_ * 4, kLongestStretch);
    next = Window{faster, stretch_, false, false};
  } else {
    next = trial(was == kShared ? kOwn : kShared);
  }
  if (next.Goes == kShared && !warm_) {
    next.Warming = true;
    next.Blocks = blocks_;
    warm_ = true;
  }
  window_ = next;
  measured_ = !next.Warming;
  return window_;
}

void StepWays::NoThread() {
  if (window_.Warming) warm_ = false;
  window_ = Window{kOwn, kFirstStretch, false, false};
  measured_ = true;
}

}  // namespace zarn
