#pragma once
// Tables and pixel probes shared by the graph tests.
#include <QImage>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "records/flight_data.h"

namespace zarn::test {

// A table of 500 zero rows (it holds 400 kB: keep it on the heap).
std::unique_ptr<TrajectoryTable> MakeTable();

// A flight flown with the program's atmosphere and motion step and sampled like a run: 500
// evenly spaced rows, the five unit conversions applied. Thrust > 0 makes it a one-stage rocket.
struct FlightSetup {
  double H0 = 0;         //!< [m]
  double V0 = 100;       //!< [m/s]
  double AngleDeg = 45;  //!< [deg]
  double Mass = 1;       //!< [kg] at launch
  double S0 = 0.02;      //!< [m^2]
  double Cx = 0.01;
  double Cy = 0;
  double Thrust = 0;  //!< [N] while fuel lasts
  double Isp = 0;     //!< [N*s/kg]
  double Fuel = 0;    //!< [kg]
  double Tk = 100;    //!< [s] end time; the flight also ends on the ground
  double dt = 0.005;  //!< [s]
};
void FillFlight(const FlightSetup& setup, TrajectoryTable& table, UnitFlags& units);

GraphSelection Select(std::initializer_list<int> columns);

inline bool IsColor(const QImage& img, int x, int y, QRgb c) {
  return (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
}
inline bool IsBlack(const QImage& img, int x, int y) {
  return IsColor(img, x, y, qRgb(0, 0, 0));
}
inline bool IsWhite(const QImage& img, int x, int y) {
  return IsColor(img, x, y, qRgb(255, 255, 255));
}
inline bool IsGrey(const QImage& img, int x, int y) {
  return IsColor(img, x, y, qRgb(128, 128, 128));
}

// True when `text`, drawn alone with the graph font (12 px cell) with its top-left corner at
// (x, y), puts ink only where `img` is black: the text stands exactly there.
bool TextAt(const QImage& img, int x, int y, std::string_view text);

}  // namespace zarn::test
