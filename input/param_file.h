#pragma once
// Parameter files (".zarn") read: plain text, one "NAME = VALUE" a line, '#' starts a comment, blank
// lines allowed, '.' as the decimal separator. Lines may end in LF, CR LF or a CR alone, and a
// leading UTF-8 byte order mark is skipped. The names are those of kParamNames, each a slot of the preset
// record; a name left out is 0. Reading one gives a whole preset record, which the programs then apply as
// choosing a preset does.
#include <filesystem>
#include <string_view>

#include "flight/parameters.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

// A parameter file that cannot be read; what() names the file and, for its contents, the line:
// "rocket.zarn:7: unknown parameter 'Vo' (did you mean 'V0'?)".
class ParamFileError : public Error {
 public:
  using Error::Error;
};

// The record that the text describes; `fileName` only names the file in messages.
PresetRecordSlots ParseParamText(std::string_view text, std::string_view fileName);

// Reads and parses the file (the platform's message when it cannot be read).
PresetRecordSlots ReadParamFile(const std::filesystem::path& path);

}  // namespace zarn
