#include "flight/parameters.h"

#include <algorithm>

namespace zarn {

const std::array<std::string_view, kParamNames.size()>& ParamNameList() {
  static const auto names = [] {
    std::array<std::string_view, kParamNames.size()> list;
    std::transform(kParamNames.begin(), kParamNames.end(), list.begin(),
                   [](const ParamName& p) { return p.Name; });
    return list;
  }();
  return names;
}

const ParamName* FindParamName(std::string_view name) {
  for (const ParamName& p : kParamNames)
    if (p.Name == name) return &p;
  return nullptr;
}

const ParamName* ParamOf(double FlightParameters::*member) {
  for (const ParamName& p : kParamNames)
    if (p.Member == member) return &p;
  return nullptr;
}

}  // namespace zarn
