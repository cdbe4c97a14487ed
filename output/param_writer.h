#pragma once
// Parameter files (".zarn") written: the values of a preset record as input/param_file.h reads
// them back.
#include <filesystem>
#include <string>

#include "records/flight_data.h"

namespace zarn {

// Every name with its value (shortest text that reads back to the same double), unit and
// meaning as a comment. Parsing the text gives back exactly the slots of kParamNames.
std::string ParamFileText(const PresetRecordSlots& record);

// Writes ParamFileText to the file; FileError with the platform's message on failure.
void WriteParamFile(const std::filesystem::path& path, const PresetRecordSlots& record);

}  // namespace zarn
