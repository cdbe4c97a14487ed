#pragma once
// Parameter files (".zarn") written: the values of a preset record as input/param_file.h reads
// them back.
#include <filesystem>
#include <string>

#include "input/vehicle_files.h"
#include "records/flight_data.h"

namespace zarn {

// Every name with its value (shortest text that reads back to the same double), unit and
// meaning as a comment. Parsing the text gives back exactly the slots of kParamNames.
std::string ParamFileText(const PresetRecordSlots& record);

// The same, then a line for each of the vehicle's files named (none: the same text as without
// them), its path relative to `folder` where both lie under one root (so that the file read from
// `folder` names the same files), in double quotes where it holds '#' or spaces at its ends. Error
// for a path that a parameter file cannot hold (a line end, or '"' with a '#').
std::string ParamFileText(const PresetRecordSlots& record, const VehiclePaths& paths,
                          const std::filesystem::path& folder);

// Writes ParamFileText to the file, the vehicle's files relative to its folder; FileError with the
// platform's message on failure.
void WriteParamFile(const std::filesystem::path& path, const PresetRecordSlots& record,
                    const VehiclePaths& paths = {});

}  // namespace zarn
