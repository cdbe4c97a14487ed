#pragma once
// The graphs the calculation form offers: one table that the buttons, the default graph at the
// end of a run and the batch runner all read. Pure data, no toolkit.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "records/flight_data.h"

namespace zarn {

struct GraphEntry {
  std::string_view Component;     //!< the button's name ("" for the end-of-run graph)
  std::string_view Caption;       //!< the button's caption
  int32_t Horizontal;             //!< column on the horizontal axis
  std::array<int32_t, 7> Curves;  //!< curve columns in drawing order
  int32_t CurveCount;
};

inline constexpr std::array<GraphEntry, 19> kGraphCatalogue{{
    {"Button22", "V, H = f (t)", 0, {3, 1}, 2},
    {"Button27", "V = f (t)", 0, {1}, 1},
    {"Button3", "H = f (t)", 0, {3}, 1},
    {"Button4", "nx = f (t)", 0, {9}, 1},
    {"Button6", "ny = f (t)", 0, {10}, 1},
    {"Button7", "g = f (t)", 0, {2}, 1},
    {"Button8", "Q = f(t)", 0, {4}, 1},
    {"Button10", "H,V,Q,q,nx", 0, {3, 1, 4, 2, 9}, 5},
    {"Button11", "H,V,Q,nx,ny ", 0, {3, 9, 10, 4, 1}, 5},
    {"Button12", "Fw=f(t)", 0, {21}, 1},
    {"Button14", "A=f(t)", 0, {22}, 1},
    {"ButtonCya", "H,Ma,cya,cx", 0, {3, 23, 25, 21}, 4},
    {"ButtonP", "H,V,Q,P,m,T", 0, {3, 1, 4, 15, 16, 17, 14}, 7},
    {"Button13", "atm", 0, {3, 1, 26, 27, 28, 29}, 6},
    {"Button9", "H,V,Q,q,nx", 7, {3, 1, 4, 2, 9}, 5},
    {"Button2", "V, H = f (x)", 7, {3, 1}, 2},
    {"Button16", "H = f (x)", 7, {3}, 1},
    {"Button15", "V=f(H)", 1, {3}, 1},
    {"", "", 0, {3, 1, 4, 2, 9}, 5},  // end of a run: the graph of Button10
}};

// The eighteen buttons, without the end-of-run entry.
inline constexpr std::span<const GraphEntry> GraphButtons() {
  return std::span<const GraphEntry>(kGraphCatalogue.data(), kGraphCatalogue.size() - 1);
}
inline constexpr const GraphEntry& DefaultGraph() {
  return kGraphCatalogue.back();
}

// The button entry of that component name, or nullptr.
inline constexpr const GraphEntry* FindGraph(std::string_view component) {
  for (const GraphEntry& e : GraphButtons())
    if (e.Component == component) return &e;
  return nullptr;
}

// Writes entries 0..n-1 of Columns and Count = n + 1; later entries keep what they held.
inline void SelectGraph(const GraphEntry& e, GraphSelection& sel) {
  sel.Columns[0] = e.Horizontal;
  for (int32_t i = 0; i < e.CurveCount; ++i) sel.Columns[i + 1] = e.Curves[i];
  sel.Count = e.CurveCount + 2;
}

}  // namespace zarn
