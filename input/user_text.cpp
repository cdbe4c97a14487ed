#include "input/user_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

namespace zarn {
namespace {

// Edits between two names, ignoring case: insert, delete, replace, or swap two neighbours
// ("Shcub" is one edit from "Schub").
std::size_t EditDistance(std::string_view a, std::string_view b) {
  const auto same = [&](std::size_t i, std::size_t j) {
    return std::tolower(static_cast<unsigned char>(a[i])) == std::tolower(static_cast<unsigned char>(b[j]));
  };
  const std::size_t w = b.size() + 1;
  std::vector<std::size_t> d((a.size() + 1) * w);
  for (std::size_t i = 0; i <= a.size(); ++i) d[i * w] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t best = std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                                   d[(i - 1) * w + j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1))
        best = std::min(best, d[(i - 2) * w + j - 2] + 1);
      d[i * w + j] = best;
    }
  }
  return d[a.size() * w + b.size()];
}

}  // namespace

std::string_view NearestName(std::string_view name, std::span<const std::string_view> candidates) {
  std::string_view best;
  std::size_t bestDistance = 0;
  for (std::string_view c : candidates) {
    const std::size_t d = EditDistance(name, c);
    if (best.empty() || d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  // A third of the name may be wrong, at least one character: "Vo" for "V0", "Shcub" for "Schub".
  const std::size_t allowed = std::max<std::size_t>(1, std::min(name.size(), best.size()) / 3);
  return bestDistance <= allowed ? best : std::string_view{};
}

std::string Quoted(std::string_view text) {
  // Appended piece by piece: g++ 12 warns (-Wrestrict) about a literal + std::string chain.
  std::string quoted(1, '\'');
  quoted.append(text).push_back('\'');
  return quoted;
}

std::string DidYouMean(std::string_view name, std::span<const std::string_view> candidates) {
  const std::string_view nearest = NearestName(name, candidates);
  return nearest.empty() ? std::string() : " (did you mean " + Quoted(nearest) + "?)";
}

bool ParseFiniteNumber(std::string_view text, double& out) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value)) return false;
  out = value;
  return true;
}

}  // namespace zarn
