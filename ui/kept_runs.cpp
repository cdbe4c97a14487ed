#include "ui/kept_runs.h"

#include <algorithm>

#include "flight/number_text.h"
#include "flight/parameters.h"

namespace zarn::ui {

void KeptRuns::Keep(std::shared_ptr<const RunResult> run, const FlightParameters& params) {
  if (std::any_of(runs_.begin(), runs_.end(), [&](const KeptRun& k) { return k.Run == run; })) return;
  if (runs_.size() == kMost) runs_.erase(runs_.begin());
  runs_.push_back({std::move(run), params});
}

std::string DifferenceName(const FlightParameters& kept, const FlightParameters& shown,
                           char decimalSeparator) {
  std::string name;
  int found = 0;
  for (const ParamName& p : kParamNames) {
    if (kept.*p.Member == shown.*p.Member) continue;
    if (++found > 2) return name + ", …";
    if (!name.empty()) name += ", ";
    name.append(p.Name).append(" = ").append(FormatGeneral(kept.*p.Member, 6, decimalSeparator));
  }
  return name;
}

}  // namespace zarn::ui
