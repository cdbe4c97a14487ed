#pragma once
// What the command line asks of the answers, read from its texts: a parameter's interval
// (NAME=FROM:TO), a figure's target (FIGURE=VALUE) and a parameter's law (NAME=LAW). Each throws
// Error saying what is wrong, with the nearest valid name where a name is unknown.
#include <span>
#include <string_view>

#include "answers/draws.h"
#include "flight/parameters.h"

namespace zarn {

struct ParamInterval {
  const ParamName* Param;
  double From, To;  //!< From < To
};
ParamInterval ParseParamInterval(std::string_view option, std::string_view text);

// A figure by its key in `keys`: its index.
std::size_t ParseFigureKey(std::string_view option, std::string_view key,
                           std::span<const std::string_view> keys);

struct FigureTarget {
  std::size_t Figure;  //!< index in the keys
  double Value;
};
FigureTarget ParseFigureTarget(std::string_view option, std::string_view text,
                               std::span<const std::string_view> keys);

struct ParamLaw {
  const ParamName* Param;
  Law Draw;
};
ParamLaw ParseParamLaw(std::string_view option, std::string_view text);

// The default tolerance of a target: 1 mm for a figure in metres (its key ends in "_m"), else 1e-9
// of the target's size (1e-9 for a target of 0).
double DefaultTolerance(std::string_view key, double target);

}  // namespace zarn
