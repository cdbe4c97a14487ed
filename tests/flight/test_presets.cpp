#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "flight/presets.h"
#include "records/errors.h"

namespace zarn {
namespace {

TEST(PresetRecord, EachPresetOverwritesSlots0To29AndNothingElse) {
  PresetRecordSlots rec{};
  rec[35] = 7;  // stage slots are never written by a preset
  WritePresetRecord(0, rec);
  EXPECT_EQ(rec[kSlotTaskKind], 1);
  EXPECT_EQ(rec[kSlotH0], 1);  // not 0, whatever the label says
  EXPECT_EQ(rec[kSlotTTO], 45);
  WritePresetRecord(4, rec);
  EXPECT_EQ(rec[kSlotCy], 0.05);
  EXPECT_EQ(rec[kSlotTTO], 0);  // nothing of preset 0 left behind
  EXPECT_EQ(rec[kSlotV0], 14000);
  EXPECT_EQ(rec[kSlotDt0], 0.0015);
  EXPECT_EQ(rec[35], 7);
  const auto before = rec;
  WritePresetRecord(5, rec);  // the empty list item
  WritePresetRecord(-1, rec);
  EXPECT_EQ(rec, before);
}

TEST(PresetRecord, LabelsAreTheStartFormsTexts) {
  EXPECT_EQ(kPresets[0].Label, "Projectil, Q= 45 Grad,  V= 100 m/s, H= 0 m");
  EXPECT_EQ(kPresets[2].Label, "Fu\u00dfball (m=450 g, Umfang = 70 cm)");
  PresetRecordSlots football{};
  WritePresetRecord(2, football);
  EXPECT_EQ(football[kSlotMass], 0.41);
  EXPECT_EQ(kPresets[4].Label.substr(0, 9), "Railgun (");
}

// The value the activation last showed in a display field, or nan.
double Displayed(const Activation& a, FormStep::Display field) {
  double shown = std::nan("");
  for (const FormStep& step : a.Steps)
    if (step.What == FormStep::Kind::kDisplay && step.Shows == field) shown = step.Value;
  return shown;
}

TEST(ParametersOf, SetsTheParametersAsTheActivationDoes) {
  PresetRecordSlots rec{};
  WritePresetRecord(1, rec);
  rec[kSlotHk] = 5;
  rec[kSlotAeroModel] = 1;
  const FlightParameters p = ParametersOf(rec);
  EXPECT_EQ(p.H0, 10000);
  EXPECT_EQ(p.TTO, -88);
  EXPECT_EQ(p.Cx, 0.45);
  EXPECT_EQ(p.dt0, 0.01);
  EXPECT_EQ(p.Tk, 100);
  EXPECT_EQ(p.Hk, 5);
  EXPECT_EQ(p.PresetHk, 5);
  EXPECT_EQ(p.AeroModel, 1);
  EXPECT_EQ(p.TaskKind, 1);
  EXPECT_EQ(p.MassaStart, 1);
  EXPECT_EQ(Displayed(Activate(rec), FormStep::Display::kVolume), 100000);
}

TEST(ParametersOf, RocketTaskFillsTheStageParametersFromTheirSlots) {
  PresetRecordSlots rec{};
  rec[kSlotTaskKind] = 8;
  for (int s = 0; s < 3; ++s)
    for (int k = 0; k < 6; ++k) rec[30 + 10 * s + k] = 100 * (s + 1) + k;
  const FlightParameters p = ParametersOf(rec);
  EXPECT_EQ(p.Mt, 100);
  EXPECT_EQ(p.Iud, 101);
  EXPECT_EQ(p.Mdv, 102);
  EXPECT_EQ(p.Schub, 103);
  EXPECT_EQ(p.IudP0, 104);
  EXPECT_EQ(p.S1, 105);
  EXPECT_EQ(p.Schu2, 203);
  EXPECT_EQ(p.IudP3, 304);
  EXPECT_EQ(p.S3, 305);
}

TEST(ParametersOf, BuoyantBodyGetsVolumeAreaAndZeroEndHeight) {
  PresetRecordSlots rec{};
  rec[kSlotTaskKind] = 3;
  rec[kSlotMass] = 100;
  rec[kSlotGasDensity] = 0.178;  // helium
  rec[kSlotHk] = 500;
  const FlightParameters p = ParametersOf(rec);
  EXPECT_EQ(p.Hk, 0);
  EXPECT_EQ(p.PresetHk, 500);
  EXPECT_DOUBLE_EQ(ComputeBuoyancy(100, 0.178).Auftrieb, 980);
  // Neutral buoyancy: the mass over the density difference, not the weight.
  const double volume = 100 / (1.225 - 0.178);
  EXPECT_DOUBLE_EQ(Displayed(Activate(rec), FormStep::Display::kVolume), volume);
  const double r = std::exp(0.33 * std::log(volume * 3 / 4 / 3.14));
  EXPECT_DOUBLE_EQ(p.S0, 3.14 * r * r);
}

TEST(PresetRecordInEffect, ActivatesToTheSameParametersAndKeepsWhatTheFormShowed) {
  auto record = [](double task) {
    PresetRecordSlots rec{};
    WritePresetRecord(4, rec);
    rec[kSlotTaskKind] = task;
    rec[kSlotHk] = 300;
    rec[kSlotGasDensity] = 0.1785;
    rec[kSlotFlightAltitude] = 5000;
    for (int slot = kSlotStage1; slot < 60; ++slot) rec[static_cast<std::size_t>(slot)] = 1000 + slot;
    return rec;
  };
  for (double task : {kTaskBallistic, kTaskBuoyantGas, kTaskBuoyant, kTaskLevelFlight, kTaskRocket}) {
    SCOPED_TRACE(task);
    const FlightParameters first = ParametersOf(record(task));
    const PresetRecordSlots saved = PresetRecordInEffect(first);
    const FlightParameters again = ParametersOf(saved);
    // Equal where the run reads them: the gas block outside task 3 is the form's alone.
    FlightParameters expected = first;
    if (task != kTaskBuoyantGas) expected.GasDensity = expected.FlightAltitude = 0;
    EXPECT_EQ(std::memcmp(&again, &expected, sizeof(FlightParameters)), 0);
    // The form shows the same end height, gas block and stages; values in effect nowhere are 0.
    EXPECT_EQ(saved[kSlotHk], task == kTaskBuoyantGas ? 300 : first.Hk);
    EXPECT_EQ(saved[kSlotGasDensity], task == kTaskBuoyantGas ? 0.1785 : 0);
    EXPECT_EQ(saved[kSlotFlightAltitude], task == kTaskBuoyantGas ? 5000 : 0);
    EXPECT_EQ(saved[StageSlotOf(3, kStageThrust)], task == kTaskRocket ? 1053 : 0);
    EXPECT_EQ(saved[kSlotCy], 0.05);
  }
}

TEST(ActivationFaults, GasAsDenseAsAirOrDenserFaultsAsTheArithmeticDoes) {
  EXPECT_THROW(
      {
        try {
          ComputeBuoyancy(100, 1.225);
        } catch (const FloatingPointError& e) {
          EXPECT_STREQ(e.what(), "Floating point division by zero");
          throw;
        }
      },
      FloatingPointError);
  try {
    ComputeBuoyancy(100, 2.0);  // negative volume: no real cube root by exp/ln
    FAIL();
  } catch (const FloatingPointError& e) {
    EXPECT_STREQ(e.what(), "Invalid floating point operation");
  }
}

TEST(ActivationFaults, LevelFlightSpeedNeedsPositiveLiftAndArea) {
  EXPECT_NEAR(LevelFlightSpeed(1000, 0.5, 0, 10), std::sqrt(2 * 1000 * 9.8 / 0.5 / 1.225 / 10), 1e-9);
  EXPECT_THROW(LevelFlightSpeed(1000, 0, 0, 10), FloatingPointError);
  EXPECT_THROW(LevelFlightSpeed(1000, -0.5, 0, 10), FloatingPointError);
  EXPECT_THROW(LevelFlightSpeed(1000, 0.5, 0, 0), FloatingPointError);
}

TEST(Power, FollowsTheProgramsRules) {
  EXPECT_EQ(Power(-3, 0), 1);
  EXPECT_EQ(Power(0, 0.33), 0);
  EXPECT_EQ(Power(-2, 3), -8);  // whole exponents multiply, so a negative base is fine
  EXPECT_EQ(Power(2, -2), 0.25);
  EXPECT_NEAR(Power(8, 1.0 / 3), 2, 1e-12);
  EXPECT_THROW(Power(-8, 0.5), FloatingPointError);
  EXPECT_THROW(Power(0, -1), FloatingPointError);
  EXPECT_THROW(Power(10, 400), FloatingPointError);
}

}  // namespace
}  // namespace zarn
