#pragma once
// The graph as a PNG picture through the picture module: drawing needs Qt and its dozens of shared
// libraries, which take most of the start-up of a short run, so zarn-batch is linked without them and
// opens the module (built next to the executable) only when --png asks for a picture.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "records/flight_data.h"

namespace zarn::runner {

// The module's file, looked for in the directory of the running executable.
inline constexpr const char* kPngModuleFile = "zarn-batch-png.so";

// What the module is asked to draw and where to save it. Plain data: the module is a library of its
// own, so only C types cross the boundary.
struct PngRequest {
  const TrajectoryTable* Table;
  const GraphSelection* Selection;
  const UnitFlags* Units;
  int32_t SamplesStored;  //!< rows 1..SamplesStored hold the run: the graph draws those
  const char* Path;       //!< the picture file to create or replace
  const char* Format;     //!< the picture format: "PNG", "JPG", "BMP", or the vectors "SVG", "PDF"
  int32_t ClearStyle;     //!< 1: the clear style, 0: the classic one
};

// The module's entry, by this name: returns 0 when the picture is saved; otherwise puts the error's
// message (NUL-terminated, cut to `room`) into `message` and returns 1.
inline constexpr const char* kPngModuleEntry = "zarn_batch_save_graph_png";
using PngModuleEntry = int (*)(const PngRequest* request, char* message, std::size_t room);

// Several runs in one picture of the clear style (a sweep's cases, a run with measured points).
struct ComparedCurves {
  const char* Name;      //!< legend
  const double* Values;  //!< Count - 1 columns of Rows values each, one column after the other
  int32_t Rows;
};
struct ComparedPoints {
  int32_t Column;  //!< the curve column they belong to
  const double* X;
  const double* Y;
  int32_t Count;
};
struct ComparedRequest {
  const GraphSelection* Selection;
  const UnitFlags* Units;
  const ComparedCurves* Runs;
  int32_t RunCount;
  const ComparedPoints* Measured;
  int32_t MeasuredCount;
  const char* MeasuredName;
  const char* ScaleTitle;
  const char* Path;
  const char* Format;
};
inline constexpr const char* kComparedModuleEntry = "zarn_batch_save_compared_graph";
using ComparedModuleEntry = int (*)(const ComparedRequest* request, char* message, std::size_t room);

// One run's curves for a compared picture, by the selection's entries, in the units of Units.
struct RunCurvesData {
  std::string Name;
  std::vector<std::vector<double>> Columns;
};
struct MeasuredCurveData {
  int32_t Column;
  std::vector<double> X, Y;
};
// Saves the runs (and points) as one picture of the clear style, through the module.
void SaveComparedThroughModule(const GraphSelection& selection, const UnitFlags& units,
                               const std::vector<RunCurvesData>& runs,
                               const std::vector<MeasuredCurveData>& measured,
                               const std::string& measuredName, const std::string& scaleTitle,
                               const std::filesystem::path& path, const char* format);

// Loads the module (once per process) and saves the graph of `selection`, drawn from the rows the
// run stored, as a picture file in `format`. Throws Error with the module's message (a file error
// with the platform's message, as the result files have), or with the loader's when the module
// cannot be loaded.
void SaveGraphThroughModule(const TrajectoryTable& table, const GraphSelection& selection,
                            int32_t samplesStored, const UnitFlags& units, const std::filesystem::path& path,
                            const char* format, bool clearStyle = false);

// The picture of a Monte Carlo run (see plot/dispersion_picture.h), as plain arrays.
struct DispersionRequest {
  double BinLow, BinWidth;  //!< the histogram's bins: [BinLow + i * BinWidth, ... + BinWidth)
  const double* Counts;     //!< cases per bin
  int32_t Bins;
  const double* X;  //!< impact range of each case
  const double* Y;  //!< apex height of each case
  int32_t Points;
  const double* EllipseX;  //!< the 1, 2 and 3 sigma ellipses one after the other,
  const double* EllipseY;  //!< EllipsePoints points each
  int32_t EllipsePoints;
  const char* Path;
  const char* Format;  //!< as PngRequest's
};
inline constexpr const char* kDispersionModuleEntry = "zarn_batch_save_dispersion";
using DispersionModuleEntry = int (*)(const DispersionRequest* request, char* message, std::size_t room);

// Saves that picture through the module; errors as SaveGraphThroughModule's.
void SaveDispersionThroughModule(const DispersionRequest& request);

}  // namespace zarn::runner
