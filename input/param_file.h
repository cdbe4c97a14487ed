#pragma once
// Parameter files (".zarn") read: plain text, one "NAME = VALUE" a line, '#' starts a comment, blank
// lines allowed, '.' as the decimal separator. Lines may end in LF, CR LF or a CR alone, and a
// leading UTF-8 byte order mark is skipped. The names are those of kParamNames, each a slot of the preset
// record; a name left out is 0. Reading one gives a whole preset record, which the programs then apply as
// choosing a preset does. The names of kVehicleFileNames take a path instead ("Motor1 = motor.eng"),
// relative to the file's folder; in double quotes a path may hold '#' or spaces at its ends.
#include <filesystem>
#include <string_view>

#include "flight/parameters.h"
#include "input/vehicle_files.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

// A parameter file that cannot be read; what() names the file and, for its contents, the line:
// "rocket.zarn:7: unknown parameter 'Vo' (did you mean 'V0'?)".
class ParamFileError : public Error {
 public:
  using Error::Error;
};

// What a parameter file gives: its numbers, and the vehicle's files it names ("" where none), each
// as a path from the current folder.
struct ParamFileContents {
  PresetRecordSlots Record{};
  VehiclePaths Paths;
};

// The record and paths that the text describes; `fileName` only names the file in messages, and a
// relative path is taken from `folder`.
ParamFileContents ParseParamContents(std::string_view text, std::string_view fileName,
                                     const std::filesystem::path& folder);

// Reads and parses the file (the platform's message when it cannot be read); its paths are taken
// from its folder. The files named are not read here (ReadVehicle reads them).
ParamFileContents ReadParamContents(const std::filesystem::path& path);

// The numbers alone, for callers that fly without the vehicle's files.
PresetRecordSlots ParseParamText(std::string_view text, std::string_view fileName);
PresetRecordSlots ReadParamFile(const std::filesystem::path& path);

}  // namespace zarn
