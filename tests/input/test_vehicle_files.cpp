// The vehicle's files as a user writes them, and each fault of one with its line and column.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "input/param_file.h"
#include "input/vehicle_files.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

// AeroTech K828FJ as its RASP file gives it (the motor of the 2020 Bella Lui flight), a few points.
constexpr std::string_view kMotor =
    ";\n"
    "K828FJ  54.0 579.00 6-10-14-18 1.45000 2.25500 AT\r\n"
    "   0.01    1112.06 \n"
    "   1.00     985.51 \n"
    "   2.00     667.23 \n"
    "   2.50       0.00 \n"
    ";\n";

TEST(MotorFile, ReadsTheHeaderAndTheCurve) {
  const MotorFile m = ParseMotorText(kMotor, "K828FJ.eng");
  EXPECT_EQ(m.Name, "K828FJ");
  EXPECT_EQ(m.DiameterMm, 54.0);
  EXPECT_EQ(m.LengthMm, 579.0);
  EXPECT_EQ(m.Delays, "6-10-14-18");
  EXPECT_EQ(m.PropellantKg, 1.45);
  EXPECT_EQ(m.TotalKg, 2.255);
  EXPECT_EQ(m.Maker, "AT");
  ASSERT_EQ(m.Points.size(), 4u);
  // By hand: 0.01*1112.06/2 + 0.99*(1112.06+985.51)/2 + 1.0*(985.51+667.23)/2 + 0.5*667.23/2.
  EXPECT_NEAR(m.Curve().TotalImpulse(), 5.5603 + 1038.29715 + 826.37 + 166.8075, 1e-9);
}

TEST(TableFile, ReadsRowsWithOrWithoutAHeaderAndComments) {
  const auto rows = ParseTableText("mach,cd\n# subsonic\n0.01, 0.51\r\n\n0.28,0.43  # flat\n0.49,4.6e-1\n",
                                   "cd.csv", 2, "Mach, Cd");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<double>{0.01, 0.51}));
  EXPECT_EQ(rows[2], (std::vector<double>{0.49, 0.46}));
  EXPECT_EQ(ParseTableText("0,5,1\n100,7,-2\n", "wind.csv", 3, "height, wind, cross wind").size(), 2u);
}

TEST(VehicleFiles, EachFaultNamesTheFileItsLineAndColumn) {
  const auto motor = [](const char* text) { ParseMotorText(text, "m.eng"); };
  const auto table = [](const char* text) { ParseTableText(text, "t.csv", 2, "Mach, Cd"); };
  const auto wind = [](const char* text) { ParseTableText(text, "w.csv", 2, "height, wind", 3); };
  const struct {
    void (*Read)(const char*);
    const char* Text;
    const char* Message;
  } faults[] = {
      {motor, "K828FJ 54 579 6 1.45 AT\n", "m.eng:1:1: expected the motor's header"},
      {motor, "K828FJ 54 579 6 1,45 2.255 AT\n", "m.eng:1:17: the propellant mass '1,45' is not a number"},
      {motor, "K828FJ 54 579 6 3 2.255 AT\n", "m.eng:1:19: the total mass is less than the propellant mass"},
      {motor, "K 54 579 6 1 2 AT\n0.1 10\n0.1 20\n", "m.eng:3:1: the times must rise"},
      {motor, "K 54 579 6 1 2 AT\n0.1 10\n  0.2 -5\n", "m.eng:3:7: the thrust cannot be negative"},
      {motor, "K 54 579 6 1 2 AT\n0.1 10 3\n", "m.eng:2:1: expected TIME THRUST"},
      {motor, "; nothing\n", "m.eng: no motor header"},
      {table, "mach,cd\n0.1,0.5\n0.2, O.4\n",
       "t.csv:3:6: 'O.4' is not a number (the decimal separator is '.')"},
      {table, "0.1,0.5\n0,2;0,4\n", "t.csv:2:3: '2;0' is not a number"},
      {table, "0.1,0.5\n0.2\n", "t.csv:2:1: expected 2 numbers a row (Mach, Cd), not 1"},
      {table, "0.1,0.5\n0.2,0.4,7\n", "t.csv:2:9: expected 2 numbers a row (Mach, Cd), not 3"},
      {table, "0.3,0.5\n0.2,0.4\n", "t.csv:2:1: the first column must rise from row to row"},
      {table, "mach,cd\nx,y\n", "t.csv:2:1: 'x' is not a number"},
      {table, "# empty\n", "t.csv: no rows (Mach, Cd)"},
      {wind, "h,w,c\n0,1,2\n10,3\n", "w.csv:3:4: expected 3 numbers a row (height, wind), not 2"},
      {wind, "0,1\n10,3,4\n", "w.csv:2:6: expected 2 numbers a row (height, wind), not 3"},
      {wind, "0,1,2,3\n", "w.csv:1:7: expected 2 to 3 numbers a row (height, wind), not 4"},
  };
  for (const auto& f : faults) {
    try {
      f.Read(f.Text);
      ADD_FAILURE() << "accepted: " << f.Text;
    } catch (const VehicleFileError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(f.Message)) << e.what();
    }
  }
}

TEST(VehicleFiles, ReadsEveryNamedFileIntoOneVehicle) {
  EXPECT_EQ(ReadVehicle({}), nullptr);
  const test_support::ScratchDir dir("vehicle");
  const auto write = [&](const char* name, std::string_view text) {
    std::ofstream(dir.path() / name, std::ios::binary) << text;
    return dir.path() / name;
  };
  VehiclePaths paths;
  paths[1] = write("k.eng", kMotor);
  paths[3] = write("cd.csv", "mach,cd\n0,0.5\n1,0.7\n");
  paths[6] = write("wind.csv", "0,2,-1\n100,6,3\n");
  paths[7] = write("pitch.csv", "# t, deg\n0,90\n10,45\n");
  const auto v = ReadVehicle(paths);
  ASSERT_NE(v, nullptr);
  EXPECT_FALSE(v->Motors[0] || v->Motors[2] || v->Cd[1] || v->Cd[2]);
  ASSERT_TRUE(v->Motors[1]);
  EXPECT_EQ(v->Motors[1]->Name, "K828FJ");
  EXPECT_NEAR(v->Motors[1]->CaseMass, 0.805, 1e-12);  // 2.255 - 1.45 kg
  EXPECT_NEAR(v->Motors[1]->Curve.BurnTime(), 2.5, 1e-12);
  ASSERT_TRUE(v->Cd[0] && v->WindAlong && v->WindAcross && v->Pitch);
  EXPECT_NEAR(v->Cd[0]->At(0.25), 0.55, 1e-12);
  EXPECT_NEAR(v->WindAlong->At(50.0), 4.0, 1e-12);
  EXPECT_NEAR(v->WindAcross->At(75.0), 2.0, 1e-12);
  EXPECT_NEAR(v->Pitch->At(4.0), 72.0, 1e-12);

  // A wind of two columns has no cross wind; a missing file is named with the system's reason.
  paths = {};
  paths[6] = write("w2.csv", "0,2\n");
  EXPECT_FALSE(ReadVehicle(paths)->WindAcross);
  paths[0] = dir.path() / "none.eng";
  try {
    ReadVehicle(paths);
    ADD_FAILURE() << "a missing motor file was accepted";
  } catch (const VehicleFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open \"" + (dir.path() / "none.eng").string() + "\": No such file or directory");
  }
}

// The model rocket of the examples as its parameter file names its motor and drag table.
TEST(VehicleFiles, TheModelRocketExampleReadsItsMotorAndDragTable) {
  const auto v = ReadVehicle(ReadParamContents(ZARN_EXAMPLES_DIR "/vehicle/model-rocket.zarn").Paths);
  ASSERT_TRUE(v && v->Motors[0] && v->Cd[0]);
  EXPECT_EQ(v->Motors[0]->Name, "F32Z");
  // By hand, trapezoids between the file's points from (0, 0): 66.33 N s, as its comment says.
  EXPECT_NEAR(v->Motors[0]->Curve.TotalImpulse(), 66.33, 1e-9);
  EXPECT_NEAR(v->Motors[0]->Curve.BurnTime(), 2.05, 1e-12);
  EXPECT_NEAR(v->Motors[0]->CaseMass, 0.052, 1e-12);  // 90.5 g loaded less 38.5 g of propellant
  EXPECT_NEAR(v->Cd[0]->At(0.95), 0.60, 1e-12);
  EXPECT_NEAR(v->Cd[0]->At(3.0), 0.52, 1e-12);
}

}  // namespace
}  // namespace zarn
