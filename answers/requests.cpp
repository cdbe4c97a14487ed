#include "answers/requests.h"

#include <cmath>
#include <string>
#include <vector>

#include "input/user_text.h"
#include "records/errors.h"

namespace zarn {
namespace {

const ParamName* Param(std::string_view name) {
  if (const ParamName* p = FindParamName(name)) return p;
  throw Error("Unknown parameter " + Quoted(name) + DidYouMean(name, ParamNameList()));
}

double Number(std::string_view option, std::string_view text, std::string_view whole) {
  double v = 0.0;
  if (!ParseFiniteNumber(text, v))
    throw Error(std::string(option) + " " + std::string(whole) + ": " + Quoted(text) +
                " is not a number (the decimal separator is '.')");
  return v;
}

}  // namespace

ParamInterval ParseParamInterval(std::string_view option, std::string_view text) {
  const std::size_t eq = text.find('=');
  const std::size_t colon = eq == std::string_view::npos ? eq : text.find(':', eq);
  if (colon == std::string_view::npos)
    throw Error(std::string(option) + " needs NAME=FROM:TO, not " + Quoted(text));
  ParamInterval i{Param(text.substr(0, eq)), Number(option, text.substr(eq + 1, colon - eq - 1), text),
                  Number(option, text.substr(colon + 1), text)};
  if (!(i.From < i.To))
    throw Error(std::string(option) + " " + std::string(text) + ": FROM must be below TO");
  return i;
}

std::size_t ParseFigureKey(std::string_view option, std::string_view key,
                           std::span<const std::string_view> keys) {
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == key) return i;
  throw Error(std::string(option) + ": unknown figure " + Quoted(key) + DidYouMean(key, keys) +
              "; a figure is a key of --json");
}

FigureTarget ParseFigureTarget(std::string_view option, std::string_view text,
                               std::span<const std::string_view> keys) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    throw Error(std::string(option) + " needs FIGURE=VALUE, not " + Quoted(text));
  return {ParseFigureKey(option, text.substr(0, eq), keys), Number(option, text.substr(eq + 1), text)};
}

ParamLaw ParseParamLaw(std::string_view option, std::string_view text) {
  const std::size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    throw Error(std::string(option) + " needs NAME=normal(MEAN,SD), NAME=uniform(LOW,HIGH) or " +
                "NAME=triangular(LOW,MODE,HIGH), not " + Quoted(text));
  const ParamName* p = Param(text.substr(0, eq));
  try {
    return {p, ParseLaw(text.substr(eq + 1))};
  } catch (const Error& e) {
    throw Error(std::string(option) + " " + std::string(p->Name) + ": " + e.what());
  }
}

double DefaultTolerance(std::string_view key, double target) {
  if (key.ends_with("_m")) return 1e-3;
  return target == 0.0 ? 1e-9 : 1e-9 * std::fabs(target);
}

}  // namespace zarn
