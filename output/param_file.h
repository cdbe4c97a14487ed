#pragma once
// Parameter files (".zarn"): plain text, one "NAME = VALUE" a line, '#' starts a comment, blank
// lines allowed, '.' as the decimal separator. Lines may end in LF, CR LF or a CR alone, and a
// leading UTF-8 byte order mark is skipped. The names are those of kParamNames, each a slot of the preset
// record; a name left out is 0. Reading one gives a whole preset record, which the programs then apply as
// choosing a preset does.
#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "flight/parameters.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

// A finite number with '.' as the decimal separator and nothing around it; an optional '+'.
// Stores it in `out` and returns true, or leaves `out` and returns false.
bool ParseFiniteNumber(std::string_view text, double& out);

// The candidate nearest to `name` (by edits, ignoring case), or "" when none is close enough to
// be what was meant.
std::string_view NearestName(std::string_view name, std::span<const std::string_view> candidates);

// The text between single quotes, as messages show what the user typed: 'Vo'.
std::string Quoted(std::string_view text);

// " (did you mean 'X'?)" for the candidate nearest to `name`, or "".
std::string DidYouMean(std::string_view name, std::span<const std::string_view> candidates);

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

// Every name with its value (shortest text that reads back to the same double), unit and
// meaning as a comment. Parsing the text gives back exactly the slots of kParamNames.
std::string ParamFileText(const PresetRecordSlots& record);

// Writes ParamFileText to the file; FileError with the platform's message on failure.
void WriteParamFile(const std::filesystem::path& path, const PresetRecordSlots& record);

}  // namespace zarn
