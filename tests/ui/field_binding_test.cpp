// The calculation form's fields as a user types into them: each bound field sets its own flight
// parameter and no other; a record's every value reaches its field and its parameter; and the
// level-flight speed takes the air at the initial height.
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

// A record with a value of its own in every slot (1000 + slot + 0.25): each parameter shows the
// value of its slot of the record's layout in its field and holds it, and no field is left out.
TEST_F(WindowsTest, EveryValueOfARecordReachesItsFieldAndItsParameter) {
  auto& rec = data_->PresetRecord;
  for (std::size_t slot = 0; slot < rec.size(); ++slot) rec[slot] = 1000.25 + static_cast<double>(slot);
  rec[kSlotTaskKind] = kTaskRocket;  // the stage block too
  rec[kSlotAeroModel] = 1;
  PressStartOfStartForm();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  using FP = FlightParameters;
  const struct {
    const char* Field;  // nullptr: a parameter that no field shows
    double FP::*Parameter;
    double Value;  // the value of its slot
  } expected[] = {
      {nullptr, &FP::TaskKind, 8},
      {nullptr, &FP::AeroModel, 1},
      {nullptr, &FP::GasDensity, 1002.25},
      {"edMassaStart", &FP::MassaStart, 1005.25},
      {"EdS0", &FP::S0, 1006.25},
      {"EdCx", &FP::Cx, 1007.25},
      {"EdCy", &FP::Cy, 1008.25},
      {"edH0", &FP::H0, 1011.25},
      {"edV0", &FP::V0, 1012.25},
      {"EdTTO", &FP::TTO, 1013.25},
      {nullptr, &FP::FlightAltitude, 1014.25},
      {"edHkk", &FP::Hk, 1016.25},
      {nullptr, &FP::PresetHk, 1016.25},
      {"edVk", &FP::Vk, 1017.25},
      {nullptr, &FP::PresetVk, 1017.25},
      {"edTk", &FP::Tk, 1018.25},
      {"eddt0", &FP::dt0, 1019.25},
      {"edVwind", &FP::Vwind, 1020.25},
      {nullptr, &FP::Integrator, 1021.25},
      {nullptr, &FP::Rtol, 1022.25},
      {nullptr, &FP::WindModel, 1023.25},
      {nullptr, &FP::AtmosphereModel, 1024.25},
      {nullptr, &FP::EarthModel, 1060.25},
      {nullptr, &FP::EarthRadius, 1061.25},
      {nullptr, &FP::EarthMu, 1062.25},
      {nullptr, &FP::EarthRate, 1063.25},
      {nullptr, &FP::LaunchLat, 1064.25},
      {nullptr, &FP::LaunchLon, 1065.25},
      {nullptr, &FP::Azimuth, 1066.25},
      {nullptr, &FP::VwindCross, 1067.25},
      {nullptr, &FP::RailLength, 1068.25},
      {nullptr, &FP::Coast2, 1069.25},
      {nullptr, &FP::Coast3, 1070.25},
      {nullptr, &FP::ChuteCdS, 1071.25},
      {nullptr, &FP::ChuteDelay, 1072.25},
      {nullptr, &FP::ChuteHeight, 1073.25},
      {"EdMt", &FP::Mt, 1030.25},
      {"EdIud", &FP::Iud, 1031.25},
      {"EdMdv", &FP::Mdv, 1032.25},
      {"EdSchub", &FP::Schub, 1033.25},
      {"EdIudP0", &FP::IudP0, 1034.25},
      {"EdS1", &FP::S1, 1035.25},
      {"EdMt2", &FP::Mt2, 1040.25},
      {"EdIud2", &FP::Iud2, 1041.25},
      {"EdMdv2", &FP::Mdv2, 1042.25},
      {"EdSchu2", &FP::Schu2, 1043.25},
      {"EdIudP2", &FP::IudP2, 1044.25},
      {"EdS2", &FP::S2, 1045.25},
      {"EdMt3", &FP::Mt3, 1050.25},
      {"EdIud3", &FP::Iud3, 1051.25},
      {"EdMdv3", &FP::Mdv3, 1052.25},
      {"EdSchu3", &FP::Schu3, 1053.25},
      {"EdIudP3", &FP::IudP3, 1054.25},
      {"EdS3", &FP::S3, 1055.25},
  };
  std::size_t fields = 0;
  for (const auto& e : expected) {
    EXPECT_EQ(Params().*e.Parameter, e.Value) << (e.Field ? e.Field : "a parameter without a field");
    if (e.Field == nullptr) continue;
    ++fields;
    EXPECT_EQ(Text(e.Field), QString::number(e.Value, 'f', 2)) << e.Field;
  }
  // Every input field of the form, but the four that only display a value, is one of these.
  EXPECT_EQ(form2_->findChildren<QLineEdit*>().size(), fields + 4);
  // Every number of a run is here: a parameter left out of a record's activation would be missing
  // from the saved files, --set and the window alike. (The vehicle's files come as one pointer.)
  EXPECT_EQ(std::size(expected),
            (sizeof(FlightParameters) - sizeof(FlightParameters::Vehicle)) / sizeof(double));
}

// The buoyant body's run ends at the ground whatever its end height field shows; the next record
// with the same end height flies to the height its field shows again.
TEST_F(WindowsTest, AfterTheBuoyantBodyTheEndHeightIsTheOneItsFieldShows) {
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = kTaskBuoyantGas;
  rec[kSlotMass] = 1.5;
  rec[kSlotGasDensity] = 0.1785;
  rec[kSlotHk] = 300;
  PressStartOfStartForm();
  EXPECT_EQ(Text("edHkk"), "300");
  EXPECT_EQ(Params().Hk, 0);
  PressMain();
  rec[kSlotTaskKind] = kTaskBallistic;
  PressStartOfStartForm();
  EXPECT_EQ(Text("edHkk"), "300");
  EXPECT_EQ(Params().Hk, 300);
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
