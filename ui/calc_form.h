#pragma once
// The calculation form: input fields bound to the flight parameters, START and MAIN, the graph
// buttons and the plot area. It computes nothing itself: the activation takes the derived values
// of the buoyancy and level-flight tasks from sim/presets.h, START runs the integrator and the
// graphs come from the renderer.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "plot/catalogue.h"
#include "records/flight_data.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;

namespace zarn::ui {

class Form2 : public QWidget {
  Q_OBJECT

 public:
  // `startForm` is shown again by MAIN.
  Form2(ZarnData& shared, QWidget& startForm, QWidget* parent = nullptr);

  // Fills the form from the start form's choice: preset values into the fields and parameters,
  // captions of the chosen language, the controls of the task, the graph buttons covered.
  // Runs each time START of the start form shows this form.
  void FormAktivate();

  // Groups of rows in the form's caption and layout tables (defined with the tables).
  enum class CaptionGroup;
  enum class Block;

 private:
  void FieldChange(double FlightParameters::*parameter, const QString& text);
  void AeroBox1Change(int index);
  void Button1Click();
  void Button5Click();
  void GraphButtonClick(const GraphEntry& graph);
  // The plot's context menu.
  void PlotMenuRequest(const QPoint& position);
  void SaveGraphClick();
  void SaveTableClick();
  void CopyGraphClick();

  void ShowGraph();
  void ShowNote(const QString& note);
  void CoverGraphButtons(bool cover);
  void ApplyCaptions(CaptionGroup group);
  void RevealBlock(Block block, CaptionGroup captions);
  void SetField(const char* field, double value, int digits = 15);
  void ShowControl(const char* name);

  // What the plot shows: the renderer's image and the table and unit flags it was drawn from.
  // The exports take these rather than the shared table, which a cancelled or failed run leaves
  // partly overwritten while the picture still shows the graph before it.
  struct ShownGraph {
    QImage Image;  // 800 x 600, of which the plot area shows the top-left part
    TrajectoryTable Table;
    UnitFlags Units;
    int32_t StoredRows;  // rows 1..StoredRows of Table hold the run
  };

  ZarnData& data_;
  QWidget& startForm_;
  QComboBox* AeroBox1_;
  QFrame* Panel6_;
  QLabel* Image1_;
  QLabel* SampleNote_;  // says when a run stored fewer samples than the table holds
  QMenu* plotMenu_;
  QAction* saveGraph_;
  QAction* saveTable_;
  QAction* copyGraph_;
  std::unique_ptr<ShownGraph> shown_;  // null while the plot shows no graph
  QString exportDir_;                  // where the last successful export went; the dialogs start there
};

}  // namespace zarn::ui
