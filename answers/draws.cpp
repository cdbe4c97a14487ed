#include "answers/draws.h"

#include <algorithm>
#include <array>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/triangular.hpp>
#include <optional>

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

namespace {

// The numbers of CaseStream's engine, the same to the bit, at a fraction of its cost: std::seed_seq
// fills the engine's 624 seed words on the heap and the engine then twists all 312 of its words
// before its first output, where a case draws a few. Here the seed sequence's generation (as the
// standard defines it) runs on an array of fixed size, and output i < 156 is twisted alone: it
// reads words i, i + 1 and i + 156, which no earlier output changes. Past those a standard
// engine takes over from the same words.
class CaseTwister {
 public:
  CaseTwister(uint64_t seed, int64_t caseNumber) {
    const auto n = static_cast<uint64_t>(caseNumber);
    const std::array<uint32_t, 4> v{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                                    static_cast<uint32_t>(n), static_cast<uint32_t>(n >> 32)};
    Generate(v);
    for (std::size_t i = 0; i < kWords; ++i)
      x_[i] = static_cast<uint64_t>(seeds_[2 * i]) | (static_cast<uint64_t>(seeds_[2 * i + 1]) << 32);
  }

  uint64_t operator()() {
    if (next_ < kShift && !engine_) {
      const std::size_t i = next_++;
      const uint64_t y = (x_[i] & kUpper) | (x_[i + 1] & kLower);
      return Temper(x_[i + kShift] ^ (y >> 1) ^ ((y & 1U) != 0 ? kXorMask : 0U));
    }
    if (!engine_) {
      engine_.emplace(*this);  // through Source::generate: the same seed words
      engine_->discard(next_);
    }
    return (*engine_)();
  }

  // A seed sequence for std::mt19937_64 that hands over the words already generated.
  using result_type = uint32_t;
  template <class It>
  void generate(It begin, It end) const {
    std::copy(seeds_.begin(), seeds_.begin() + (end - begin), begin);
  }

 private:
  static constexpr std::size_t kWords = 312, kShift = 156, kSeeds = 2 * kWords;
  static constexpr uint64_t kUpper = ~uint64_t{0} << 31, kLower = ~kUpper;
  static constexpr uint64_t kXorMask = 0xb5026f5aa96619e9ULL;

  static uint64_t Temper(uint64_t z) {
    z ^= (z >> 29) & 0x5555555555555555ULL;
    z ^= (z << 17) & 0x71d67fffeda60000ULL;
    z ^= (z << 37) & 0xfff7eee000000000ULL;
    return z ^ (z >> 43);
  }

  // std::seed_seq::generate of the four values into kSeeds words ([rand.util.seedseq]), its
  // indices k, k + p, k + q modulo n kept as counters that wrap. The word at k - 1 is the one the
  // step before wrote last, so it stays in a register rather than going through memory.
  void Generate(const std::array<uint32_t, 4>& v) {
    constexpr std::size_t n = kSeeds, t = 11, p = (n - t) / 2, q = p + t;
    uint32_t* b = seeds_.data();
    seeds_.fill(0x8b8b8b8bU);
    auto mix = [](uint32_t x) { return x ^ (x >> 27); };
    auto wrap = [](std::size_t& i) { i = i + 1 == n ? 0 : i + 1; };
    std::size_t kp = p, kq = q;
    uint32_t last = b[n - 1];
    for (std::size_t k = 0; k < n; ++k, wrap(kp), wrap(kq)) {
      const uint32_t r1 = 1664525U * mix(b[k] ^ b[kp] ^ last);
      uint32_t r2 = r1 + static_cast<uint32_t>(k);
      if (k == 0)
        r2 = r1 + static_cast<uint32_t>(v.size());
      else if (k <= v.size())
        r2 += v[k - 1];
      b[kp] += r1;
      b[kq] += r2;
      b[k] = last = r2;
    }
    for (std::size_t j = 0; j < n; ++j, wrap(kp), wrap(kq)) {  // k = n + j
      const uint32_t r3 = 1566083941U * mix(b[j] + b[kp] + last);
      const uint32_t r4 = r3 - static_cast<uint32_t>(j);
      b[kp] ^= r3;
      b[kq] ^= r4;
      b[j] = last = r4;
    }
  }

  std::array<uint32_t, kSeeds> seeds_;
  std::array<uint64_t, kWords> x_;
  std::size_t next_ = 0;
  std::optional<std::mt19937_64> engine_;
};

}  // namespace

std::vector<double> DrawCase(uint64_t seed, int64_t caseNumber, std::span<const Law> laws) {
  CaseTwister stream(seed, caseNumber);
  constexpr double kUnit = 1.0 / 9007199254740992.0;  // 2^-53, as CaseStream::Uniform
  auto uniform = [&] { return (static_cast<double>(stream() >> 11) + 0.5) * kUnit; };
  std::vector<double> values;
  values.reserve(laws.size());
  for (const Law& law : laws) values.push_back(FieldValue(Checked(law.Quantile(uniform()))));
  return values;
}

}  // namespace zarn
