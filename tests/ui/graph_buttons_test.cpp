// The graph buttons as a user presses them after a run: each draws its own columns, in its own
// order, over its own horizontal column.
#include <vector>

#include "plot/renderer.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

TEST_F(WindowsTest, EachGraphButtonDrawsItsColumnsInItsOrder) {
  // A one-stage rocket with drag and lift: all eighteen buttons show, and every column that one
  // of them draws holds values of its own.
  auto& rec = data_->PresetRecord;
  rec[kSlotTaskKind] = kTaskRocket;
  rec[kSlotMass] = 100;
  rec[kSlotS0] = 0.05;
  rec[kSlotCx] = 0.3;
  rec[kSlotCy] = 0.1;
  rec[kSlotV0] = 50;
  rec[kSlotTTO] = 80;
  rec[kSlotTk] = 20;
  rec[kSlotDt0] = 0.01;
  rec[StageSlotOf(1, kStageFuelMass)] = 50;
  rec[StageSlotOf(1, kStageIspSeaLevel)] = 2000;
  rec[StageSlotOf(1, kStageIspVacuum)] = 2500;
  rec[StageSlotOf(1, kStageThrust)] = 5000;
  PressStartOfStartForm();
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();

  auto picture = [&](const std::vector<int>& columns) {  // the horizontal column first
    GraphSelection sel{};
    for (std::size_t i = 0; i < columns.size(); ++i) sel.Columns[i] = columns[i];
    sel.Count = static_cast<int32_t>(columns.size()) + 1;
    return PlotGraph(Shown().Table, sel, GraphRows(Shown().Table, Shown().Summary.SamplesStored),
                     Shown().Units, '.')
        .convertToFormat(QImage::Format_RGB32);
  };
  EXPECT_TRUE(Plot() == picture({0, 3, 1, 4, 2, 9})) << "the graph at the end of a run";
  const struct {
    const char* Button;
    const char* Caption;
    std::vector<int> Columns;
  } graphs[] = {
      {"Button22", "V, H = f (t)", {0, 3, 1}},
      {"Button27", "V = f (t)", {0, 1}},
      {"Button3", "H = f (t)", {0, 3}},
      {"Button4", "nx = f (t)", {0, 9}},
      {"Button6", "ny = f (t)", {0, 10}},
      {"Button7", "g = f (t)", {0, 2}},
      {"Button8", "Q = f(t)", {0, 4}},
      {"Button10", "H,V,Q,q,nx", {0, 3, 1, 4, 2, 9}},
      {"Button11", "H,V,Q,nx,ny ", {0, 3, 9, 10, 4, 1}},
      {"Button12", "Fw=f(t)", {0, 21}},
      {"Button14", "A=f(t)", {0, 22}},
      {"ButtonCya", "H,Ma,cya,cx", {0, 3, 23, 25, 21}},
      {"ButtonP", "H,V,Q,P,m,T", {0, 3, 1, 4, 15, 16, 17, 14}},
      {"Button13", "atm", {0, 3, 1, 26, 27, 28, 29}},
      {"Button9", "H,V,Q,q,nx", {7, 3, 1, 4, 2, 9}},
      {"Button2", "V, H = f (x)", {7, 3, 1}},
      {"Button16", "H = f (x)", {7, 3}},
      {"Button15", "V=f(H)", {1, 3}},
  };
  for (const auto& g : graphs) {
    EXPECT_EQ(Caption(g.Button), g.Caption);
    ASSERT_TRUE(Uncovered(g.Button)) << g.Button;
    PressGraph(g.Button);
    EXPECT_TRUE(Plot() == picture(g.Columns)) << g.Button << " draws other columns";
  }
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace zarn::ui
