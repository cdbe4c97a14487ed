#include "answers/draws.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/triangular.hpp>

#include "flight/number_text.h"
#include "input/user_text.h"
#include "records/errors.h"

namespace zarn {

double Law::Quantile(double u) const {
  switch (What) {
    case Kind::Normal:
      if (B == 0.0) return A;
      return boost::math::quantile(boost::math::normal_distribution<double>(A, B), u);
    case Kind::Uniform:
      return A + u * (B - A);
    case Kind::Triangular:
      if (A == C) return A;
      return boost::math::quantile(boost::math::triangular_distribution<double>(A, B, C), u);
  }
  return A;
}

Law ParseLaw(std::string_view text) {
  struct Form {
    std::string_view Name;
    Law::Kind What;
    std::size_t Values;
    std::string_view Shape;
  };
  static constexpr Form kForms[] = {{"normal", Law::Kind::Normal, 2, "normal(MEAN,SD)"},
                                    {"uniform", Law::Kind::Uniform, 2, "uniform(LOW,HIGH)"},
                                    {"triangular", Law::Kind::Triangular, 3, "triangular(LOW,MODE,HIGH)"}};
  // Appended piece by piece: g++ 12 warns (-Wrestrict) about a literal + std::string chain.
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  const std::size_t open = text.find('(');
  const Form* form = nullptr;
  for (const Form& f : kForms)
    if (open != std::string_view::npos && text.substr(0, open) == f.Name) form = &f;
  if (form == nullptr || text.back() != ')')
    throw Error("a law is normal(MEAN,SD), uniform(LOW,HIGH) or triangular(LOW,MODE,HIGH), not " + quoted);
  std::vector<double> values;
  const std::string_view inner = text.substr(open + 1, text.size() - open - 2);
  for (std::size_t start = 0;;) {
    const std::size_t comma = inner.find(',', start);
    const std::string_view part = inner.substr(start, comma - start);
    double v = 0.0;
    if (!ParseFiniteNumber(part, v))
      throw Error(quoted + ": '" + std::string(part) + "' is not a number (the decimal separator is '.')");
    values.push_back(v);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (values.size() != form->Values) throw Error(quoted + " does not read as " + std::string(form->Shape));
  Law law{form->What, values[0], values[1], values.size() > 2 ? values[2] : 0.0};
  switch (law.What) {
    case Law::Kind::Normal:
      if (law.B < 0.0) throw Error(quoted + ": SD cannot be negative");
      break;
    case Law::Kind::Uniform:
      if (law.A > law.B) throw Error(quoted + ": LOW is above HIGH");
      break;
    case Law::Kind::Triangular:
      if (!(law.A <= law.B && law.B <= law.C)) throw Error(quoted + ": MODE must lie within LOW..HIGH");
      break;
  }
  return law;
}

CaseStream::CaseStream(uint64_t seed, int64_t caseNumber) {
  const auto n = static_cast<uint64_t>(caseNumber);
  std::seed_seq seq{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32), static_cast<uint32_t>(n),
                    static_cast<uint32_t>(n >> 32)};
  engine_.seed(seq);
}

double CaseStream::Uniform() {
  constexpr double kUnit = 1.0 / 9007199254740992.0;  // 2^-53
  return (static_cast<double>(engine_() >> 11) + 0.5) * kUnit;
}

std::vector<double> DrawCase(uint64_t seed, int64_t caseNumber, std::span<const Law> laws) {
  CaseStream stream(seed, caseNumber);
  std::vector<double> values;
  values.reserve(laws.size());
  for (const Law& law : laws) values.push_back(FieldValue(Checked(law.Quantile(stream.Uniform()))));
  return values;
}

}  // namespace zarn
