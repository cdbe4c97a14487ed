#pragma once
// Text as users give it, on the command line, in parameter files and in tables: a number read
// strictly, a name quoted as a message shows it, and the valid name nearest to a mistyped one.
#include <span>
#include <string>
#include <string_view>

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

}  // namespace zarn
