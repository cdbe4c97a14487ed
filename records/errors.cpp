#include "records/errors.h"

#include <system_error>

namespace zarn {

std::string FileErrorText(const char* action, const std::filesystem::path& path, int error) {
  return std::string("Cannot ") + action + " \"" + path.string() +
         "\": " + std::system_category().message(error);
}

void RaiseFp(FpFault fault) {
  throw FloatingPointError(fault);
}

}  // namespace zarn
