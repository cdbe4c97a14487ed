#pragma once
// Program-wide constants: the physics every layer shares and the task codes of the preset record.

namespace zarn {

constexpr double kGravity = 9.8;                   //!< [m/s^2] constant over the flat Earth
constexpr double kDegPerRad = 57.3;                //!< the program's one conversion factor, not 180/pi
constexpr double kAngleLimit = 90.0 / kDegPerRad;  //!< [rad] +-limit of Theta (not pi/2)

// Task codes carried in slot 0 of the preset record (TaskKind). Any other value flies a plain
// ballistic body without a task picture.
constexpr double kTaskNone = 0.0;         //!< no preset chosen yet
constexpr double kTaskBallistic = 1.0;    //!< projectile, ball or drop: every preset
constexpr double kTaskBuoyantGas = 3.0;   //!< buoyant body with its gas block
constexpr double kTaskBuoyant = 4.0;      //!< buoyant body without the gas block
constexpr double kTaskLevelFlight = 5.0;  //!< ballistic, and the form shows the level-flight speed
constexpr double kTaskProfile = 6.0;      //!< height-profile picture only
constexpr double kTaskDescent = 7.0;      //!< descent picture only
constexpr double kTaskRocket = 8.0;       //!< rocket of up to three stages

// A buoyant body does not move; the motion step only advances its time.
constexpr bool IsBuoyantTask(double TaskKind) {
  return TaskKind == kTaskBuoyantGas || TaskKind == kTaskBuoyant;
}

}  // namespace zarn
