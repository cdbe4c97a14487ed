#pragma once
// The draws of a Monte Carlo run. Each case draws from a stream of its own, seeded by the run's
// seed and the case's number, so that a case draws the same values whichever thread or shard runs
// it. The stream is std::mt19937_64 (its output is fixed by the C++ standard), its uniform numbers
// are formed here from the top 53 bits, and each law turns them into values by its inverse
// distribution function (Boost.Math's quantile): nothing depends on the standard library's
// distributions, whose output each implementation chooses.
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zarn {

// normal(MEAN,SD), uniform(LOW,HIGH) or triangular(LOW,MODE,HIGH).
struct Law {
  enum class Kind { Normal, Uniform, Triangular };
  Kind What;
  double A, B, C;  //!< MEAN, SD; LOW, HIGH; LOW, MODE, HIGH

  // The value below which a share u in (0, 1) of the law's values lie.
  double Quantile(double u) const;
};

// Reads a law as the command line writes it ("normal(45,0.5)"); throws Error saying what is wrong:
// an unknown law, a count of values that does not fit it, a value that is not a number, SD < 0,
// LOW > HIGH, MODE outside LOW..HIGH.
Law ParseLaw(std::string_view text);

class CaseStream {
 public:
  // Seeded through std::seed_seq with the two halves of each number.
  CaseStream(uint64_t seed, int64_t caseNumber);
  // A uniform number in (0, 1): the top 53 bits of the next output, plus half their last unit, so
  // that neither 0 nor 1 comes out and every law has a finite quantile.
  double Uniform();

 private:
  std::mt19937_64 engine_;
};

// The values case `caseNumber` draws, one per law in order, each as a run takes it (FieldValue: a
// value of 15 significant digits).
std::vector<double> DrawCase(uint64_t seed, int64_t caseNumber, std::span<const Law> laws);

}  // namespace zarn
