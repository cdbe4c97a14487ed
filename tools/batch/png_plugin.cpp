#include "batch/png_plugin.h"

#include <dlfcn.h>

#include <array>
#include <string>
#include <system_error>

#include "records/errors.h"

namespace zarn::batch {
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

}  // namespace zarn::batch

namespace zarn::batch {

void SaveDispersionThroughModule(const DispersionRequest& request) {
  static const auto entry = reinterpret_cast<DispersionModuleEntry>(LoadEntry(kDispersionModuleEntry));
  std::array<char, 1024> message{};
  if (entry(&request, message.data(), message.size()) != 0) throw Error(message.data());
}

}  // namespace zarn::batch
