#pragma once
// The Earth under a flight: its shape, its gravity and its turning, for a body that flies far
// enough to notice them. Positions and velocities are in the Earth-centred, Earth-fixed frame
// (x toward latitude 0 and longitude 0, z toward the north pole), in metres and m/s.
#include <Eigen/Core>
#include <Eigen/Geometry>

namespace zarn {

using Vec3 = Eigen::Vector3d;

enum class EarthShape : int {
  kFlat = 0,              //!< the classic flat Earth with g = 9.8
  kSphere = 1,            //!< a sphere with inverse-square gravity, not rotating
  kRotatingSphere = 2,    //!< the same sphere, rotating
  kRotatingEllipsoid = 3  //!< the WGS-84 ellipsoid with J2 gravity, rotating
};

// WGS-84's defining figures, and the second zonal harmonic of its gravity.
inline constexpr double kWgs84A = 6378137.0;            //!< [m] equatorial radius
inline constexpr double kWgs84F = 1.0 / 298.257223563;  //!< flattening
inline constexpr double kWgs84Mu = 3.986004418e14;      //!< [m^3/s^2] GM
inline constexpr double kWgs84Rate = 7.292115e-5;       //!< [rad/s]
inline constexpr double kWgs84J2 = 1.08262982e-3;       //!< the check cases' J2
inline constexpr double kMeanEarthRadius = 6371008.8;   //!< [m] of the sphere of the same volume

struct Earth {
  EarthShape Shape = EarthShape::kFlat;
  double Radius = kMeanEarthRadius;  //!< [m] the sphere's; the ellipsoid's equatorial radius
  double Mu = kWgs84Mu;              //!< [m^3/s^2]
  double Rate = kWgs84Rate;          //!< [rad/s] 0 for the shapes that do not turn
  bool Rotates() const {
    return Shape == EarthShape::kRotatingSphere || Shape == EarthShape::kRotatingEllipsoid;
  }
  bool Ellipsoid() const { return Shape == EarthShape::kRotatingEllipsoid; }
};

// A place: latitude and longitude [rad] (geodetic on the ellipsoid, geocentric on the sphere) and
// the height above the surface [m].
struct Place {
  double Lat;
  double Lon;
  double Height;
};

// The gravitational acceleration at r (no centrifugal part): inverse-square, and on the
// ellipsoid with the J2 term.
Vec3 Gravity(const Earth& e, const Vec3& r);
// The acceleration of a body at r moving at v over the turning Earth, seen from the Earth: the
// Coriolis and centrifugal parts, -2 w x v - w x (w x r).
Vec3 FrameAcceleration(const Earth& e, const Vec3& r, const Vec3& v);

Vec3 PositionOf(const Earth& e, const Place& p);
Place PlaceOf(const Earth& e, const Vec3& r);

// The local axes at a place: east, north, up (unit vectors in the Earth-fixed frame).
struct LocalAxes {
  Vec3 East;
  Vec3 North;
  Vec3 Up;
};
LocalAxes AxesAt(const Place& p);

}  // namespace zarn

namespace zarn {

// What moves a point mass besides gravity and the Earth's turning.
struct PointMass3 {
  double Mass;  //!< [kg]
  double CdA;   //!< [m^2] drag coefficient times reference area
  Vec3 Thrust;  //!< [N] in the Earth-fixed frame
};

struct Rates3 {
  Vec3 dr;  //!< [m/s]
  Vec3 dv;  //!< [m/s^2]
};

// The rates of a point mass at r moving at v relative to the Earth (both Earth-fixed), in air of
// density roh [kg/m^3] that moves at `wind` relative to the Earth: thrust, drag against the air
// speed, gravity, and where the Earth turns the Coriolis and centrifugal parts.
Rates3 PointMassRates3(const Earth& e, const Vec3& r, const Vec3& v, const PointMass3& body, double roh,
                       const Vec3& wind);

}  // namespace zarn
