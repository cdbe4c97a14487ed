// The atmosphere a run flies in, chosen by AtmosphereModel, read back from the runner's table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

class BatchAtmosphere : public BatchProgram {
 protected:
  // The air of the first stored row of a body held at rest at height h [m].
  struct Air {
    double T, Pbar, Roh;
  };
  Air AtRest(double h, const std::string& model) {
    const Outcome r =
        Batch({"--preset", "1", "--set", "H0=" + std::to_string(h), "--set", "V0=0", "--set", "dt0=1e-6",
               "--set", "Tk=1e-6", "--set", "AtmosphereModel=" + model, "--csv", "-"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const auto rows = CsvRows(r.Out);
    const std::vector<std::string>& head = rows.at(0);
    auto column = [&](const char* name) {
      for (std::size_t i = 0; i < head.size(); ++i)
        if (head[i] == name) return std::stod(rows.at(1).at(i));
      ADD_FAILURE() << "no column " << name;
      return 0.0;
    };
    return {column("T_K"), column("P_bar"), column("rho_kg_m3")};
  }
};

// The 1976 report's figures (temperature, pressure, density at 0.5, 1, 10 and 77 km) to their
// printed digits, within one unit of the last; the table of model 0 gives its own (10 km: 223.15 K).
TEST_F(BatchAtmosphere, ModelOneFliesInTheComputed1976StandardAndTheTableStaysTheDefault) {
  struct Point {
    double H, T, TDigit, Mbar, MbarDigit, Roh, RohDigit;
  };
  for (const Point& p : {Point{500, 284.9, 0.1, 954.61, 0.01, 1.1673, 1e-4},
                         Point{1000, 281.651, 1e-3, 898.76, 0.01, 1.1117, 1e-4},
                         Point{10000, 223.252, 1e-3, 264.99, 0.01, 0.41351, 1e-5},
                         Point{77000, 204.493, 1e-3, 0.017286, 1e-6, 2.9448e-05, 1e-9}}) {
    SCOPED_TRACE(p.H);
    const Air air = AtRest(p.H, "1");
    EXPECT_NEAR(air.T, p.T, p.TDigit);
    EXPECT_NEAR(air.Pbar * 1000, p.Mbar, p.MbarDigit);
    EXPECT_NEAR(air.Roh, p.Roh, p.RohDigit);
  }
  const Air table = AtRest(10000, "0");
  EXPECT_NEAR(table.T, 223.15, 1e-9);
  EXPECT_NEAR(table.Roh, 0.4127, 1e-9);

  const Outcome refused = Batch({"--preset", "0", "--set", "AtmosphereModel=2", "--quiet"});
  EXPECT_EQ(refused.Exit, 1);
  EXPECT_NE(refused.Err.find("AtmosphereModel = 2 is no atmosphere"), std::string::npos) << refused.Err;
}

}  // namespace
}  // namespace zarn::runner
