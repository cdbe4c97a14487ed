#include "runner/png_plugin.h"

#include <dlfcn.h>

#include <array>
#include <string>
#include <system_error>

#include "records/errors.h"

namespace zarn::runner {
namespace {

std::filesystem::path ModulePath() {
#ifdef ZARN_PICTURE_MODULE_BESIDE_LIBRARY
  // Built into a shared library (the Python module): the picture module lies beside that library.
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr)
    throw Error("Cannot find the picture module: the library's path is unknown");
  return std::filesystem::path(info.dli_fname).parent_path() / kPngModuleFile;
#endif
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    throw Error("Cannot find the picture module: the running program's path is unknown (" + ec.message() +
                ")");
  return program.parent_path() / kPngModuleFile;
}

// The module's entry of that name.
void* LoadEntry(const char* name) {
  const std::filesystem::path path = ModulePath();
  // Never closed: Qt keeps threads and handlers of its own until the process ends. A second
  // dlopen of the same file gives the same handle.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) throw Error(std::string("Cannot load the picture module: ") + ::dlerror());
  void* entry = ::dlsym(module, name);
  if (entry == nullptr)
    throw Error("Cannot load the picture module \"" + path.string() + "\": it has no " + name);
  return entry;
}

}  // namespace

void SaveGraphThroughModule(const TrajectoryTable& table, const GraphSelection& selection,
                            int32_t samplesStored, const UnitFlags& units, const std::filesystem::path& path,
                            const char* format, bool clearStyle) {
  static const auto entry = reinterpret_cast<PngModuleEntry>(LoadEntry(kPngModuleEntry));
  const std::string pathText = path.string();
  const PngRequest request{&table, &selection,        &units, samplesStored, pathText.c_str(),
                           format, clearStyle ? 1 : 0};
  std::array<char, 1024> message{};
  if (entry(&request, message.data(), message.size()) != 0) throw Error(message.data());
}

}  // namespace zarn::runner

namespace zarn::runner {

void SaveDispersionThroughModule(const DispersionRequest& request) {
  static const auto entry = reinterpret_cast<DispersionModuleEntry>(LoadEntry(kDispersionModuleEntry));
  std::array<char, 1024> message{};
  if (entry(&request, message.data(), message.size()) != 0) throw Error(message.data());
}

void SaveComparedThroughModule(const GraphSelection& selection, const UnitFlags& units,
                               const std::vector<RunCurvesData>& runs,
                               const std::vector<MeasuredCurveData>& measured,
                               const std::string& measuredName, const std::string& scaleTitle,
                               const std::filesystem::path& path, const char* format) {
  static const auto entry = reinterpret_cast<ComparedModuleEntry>(LoadEntry(kComparedModuleEntry));
  std::vector<std::vector<double>> flat;
  std::vector<ComparedCurves> curves;
  for (const RunCurvesData& run : runs) {
    std::vector<double>& values = flat.emplace_back();
    const int32_t rows = run.Columns.empty() ? 0 : static_cast<int32_t>(run.Columns.front().size());
    for (const std::vector<double>& column : run.Columns)
      values.insert(values.end(), column.begin(), column.end());
    curves.push_back({run.Name.c_str(), nullptr, rows});
  }
  for (std::size_t i = 0; i < curves.size(); ++i) curves[i].Values = flat[i].data();
  std::vector<ComparedPoints> points;
  for (const MeasuredCurveData& m : measured)
    points.push_back({m.Column, m.X.data(), m.Y.data(), static_cast<int32_t>(m.X.size())});
  const std::string pathText = path.string();
  const ComparedRequest request{&selection,           &units,
                                curves.data(),        static_cast<int32_t>(curves.size()),
                                points.data(),        static_cast<int32_t>(points.size()),
                                measuredName.c_str(), scaleTitle.c_str(),
                                pathText.c_str(),     format};
  std::array<char, 1024> message{};
  if (entry(&request, message.data(), message.size()) != 0) throw Error(message.data());
}

}  // namespace zarn::runner
