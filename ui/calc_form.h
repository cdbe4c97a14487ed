#pragma once
// The calculation form: input fields bound to the flight parameters, START and MAIN, the graph
// buttons and the plot area. It computes nothing itself: what the activation does with a preset
// record is decided in sim/presets.h, which tells the form what to show; START runs the
// integrator and the graphs come from the renderer.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "plot/catalogue.h"
#include "records/flight_data.h"
#include "sim/presets.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;

namespace zarn::ui {

class Form2 : public QWidget, private ActivationForm {
  Q_OBJECT

 public:
  // `startForm` is shown again by MAIN.
  Form2(ZarnData& shared, QWidget& startForm, QWidget* parent = nullptr);

  // Fills the form from the preset record: preset values into the fields and parameters,
  // captions of the chosen language, the controls of the task, the graph buttons covered.
  // Runs each time START of the start form shows this form, and when a parameter file is opened.
  void FormAktivate();

  // Groups of rows in the form's caption and layout tables (defined with the tables).
  enum class CaptionGroup;
  enum class Block;

 protected:
  // A ".zarn" file dropped anywhere on the form opens; the fields take other drops as before.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FieldChange(double FlightParameters::*parameter, const QString& text);
  void AeroBox1Change(int index);
  void Button1Click();
  void Button5Click();
  void GraphButtonClick(const GraphEntry& graph);
  // The plot's context menu.
  void PlotMenuRequest(const QPoint& position);
  void SaveGraphClick();
  // Draws the shown graph again in the style the menu's check mark chooses.
  void GraphStyleToggled();
  void SaveTableClick();
  void CopyGraphClick();
  // Opens a parameter file as the start form's preset would be chosen: the file's record becomes
  // the preset record and activates the form. A file that cannot be read throws its message
  // before anything changes.
  void OpenParamFile(const QString& fileName);
  void OpenParamsClick();
  void SaveParamsClick();
  // The key figures of the run just finished; an empty text hides them.
  void ShowFigures(const QString& text);
  // The tooltip of the plot: the values of the shown graph at the row under image column x.
  void UpdateReadout(int x);

  // What the activation shows (ActivationForm).
  void WriteField(double FlightParameters::*parameter, double value, int digits) override;
  void WriteDisplay(Display field, double value) override;
  void SelectAeroModel(int item) override;
  void ShowTaskPicture(double TaskKind) override;
  void Reveal(Part part) override;
  void ReplaceCaptions() override;
  void CoverGraphButtons() override;

  void ShowGraph();
  void SetGraphButtonsCovered(bool cover);
  void ShowNote(const QString& note);
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
    GraphSelection Selection;
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
  QAction* clearStyle_;  // checked: the graphs are drawn in the clear style
  QAction* openParams_;
  QAction* saveParams_;
  QLabel* Figures_;                    // the key figures of the last run, beside the title
  std::unique_ptr<ShownGraph> shown_;  // null while the plot shows no graph
  QString exportDir_;                  // where the last successful export went; the dialogs start there
  QString paramFile_;                  // the parameter file last opened or saved; dialogs start there
};

}  // namespace zarn::ui
