// The calculation form's fields as a user types into them: each bound field sets its own flight
// parameter and no other, and the level-flight speed takes the air at the initial height.
#include <iterator>

#include "windows_fixture.h"

namespace zarn::ui {
namespace {

TEST_F(WindowsTest, EachBoundFieldSetsItsOwnParameterAndNoOther) {
  data_->PresetRecord[kSlotTaskKind] = kTaskRocket;  // shows the stage block: all thirty fields
  PressStartOfStartForm();
  using FP = FlightParameters;
  const struct {
    const char* Field;
    double FP::*Parameter;
  } bindings[] = {
      {"edH0", &FP::H0},       {"edV0", &FP::V0},
      {"EdTTO", &FP::TTO},     {"edMassaStart", &FP::MassaStart},
      {"EdS0", &FP::S0},       {"EdCx", &FP::Cx},
      {"EdCy", &FP::Cy},       {"edVwind", &FP::Vwind},
      {"eddt0", &FP::dt0},     {"edTk", &FP::Tk},
      {"edHkk", &FP::Hk},      {"edVk", &FP::Vk},
      {"EdMt", &FP::Mt},       {"EdMt2", &FP::Mt2},
      {"EdMt3", &FP::Mt3},     {"EdIud", &FP::Iud},
      {"EdIud2", &FP::Iud2},   {"EdIud3", &FP::Iud3},
      {"EdIudP0", &FP::IudP0}, {"EdIudP2", &FP::IudP2},
      {"EdIudP3", &FP::IudP3}, {"EdMdv", &FP::Mdv},
      {"EdMdv2", &FP::Mdv2},   {"EdMdv3", &FP::Mdv3},
      {"EdSchub", &FP::Schub}, {"EdSchu2", &FP::Schu2},
      {"EdSchu3", &FP::Schu3}, {"EdS1", &FP::S1},
      {"EdS2", &FP::S2},       {"EdS3", &FP::S3},
  };
  static_assert(std::size(bindings) == 30);
  double typed = 11.5;
  for (const auto& b : bindings) {
    ASSERT_TRUE(Calc<QWidget>(b.Field)->isVisible()) << b.Field;
    const FlightParameters before = Params();
    Type(b.Field, QString::number(typed));
    for (const auto& other : bindings)
      EXPECT_EQ(Params().*other.Parameter, &other == &b ? typed : before.*other.Parameter)
          << "typed into " << b.Field << ", read from the parameter of " << other.Field;
    typed += 1;
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowsTest, LevelFlightSpeedAt3000MetresUsesTheDensityThere) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = kTaskLevelFlight;
  rec[kSlotMass] = 1000;
  rec[kSlotS0] = 20;
  rec[kSlotCy] = 0.5;
  rec[kSlotH0] = 3000;
  PressStartOfStartForm();
  // (2 m g / (Cy rho S0))^0.5 with the table's 0.90912 kg/m^3 at 3000 m, worked out by hand to
  // 15 digits; at sea level's 1.225 it would be 40 m/s.
  EXPECT_EQ(Text("EdiVopt"), "46.4320041588523");
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace zarn::ui
