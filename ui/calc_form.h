#pragma once
// The calculation form: input fields bound to the flight parameters, START and MAIN, the graph
// buttons and the plot area. It computes nothing itself: what the activation does with a preset
// record is decided in flight/presets.h, whose steps the form plays on its fields and controls; START
// flies the form's parameters off the event thread and the graphs come from the renderer.
#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "input/measured_data.h"
#include "plot/catalogue.h"
#include "plot/overlay.h"
#include "plot/picture_file.h"
#include "records/flight_data.h"
#include "ui/kept_runs.h"
#include "ui/window_state.h"
#include "ui/window_texts.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;

namespace zarn::ui {

class FlightRun;
class AccuracyEntries;
class EarthSiteEntry;
class VehicleFilesEntry;

class CalcForm : public QWidget {
  Q_OBJECT

 public:
  // `startForm` is shown again by MAIN.
  CalcForm(WindowState& shared, QWidget& startForm, QWidget* parent = nullptr);
  ~CalcForm() override;

  // The parameters as the fields hold them: what START flies.
  const FlightParameters& Inputs() const { return inputs_; }
  // The run whose graph the plot shows, or null.
  const RunResult* ShownRun() const { return shown_ ? shown_->Run.get() : nullptr; }
  const GraphSelection& Selection() const { return selection_; }
  // A run is working: the windows take no input but its progress dialog's.
  bool Running() const { return run_ != nullptr; }
  // The runs kept for comparing, oldest first.
  const KeptRuns& Kept() const { return kept_; }
  // Where START writes the result files; empty: the current folder.
  const QString& ResultsFolder() const { return resultsDir_; }

  // Fills the form from the preset record: preset values into the fields and parameters,
  // captions of the chosen language, the controls of the task, the graph buttons covered.
  // Runs each time START of the start form shows this form, and when a parameter file is opened.
  void ActivateWithRecord();

  // Groups of rows in the form's caption and layout tables (defined with the tables).
  enum class CaptionGroup;
  enum class Block;

 protected:
  // A ".zarn" file dropped anywhere on the form opens; the fields take other drops as before.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A form that would stand partly off the screen is moved inside it.
  void showEvent(QShowEvent* event) override;

 private:
  // A text that is not a number marks its field and says so in the form; the parameter keeps its
  // value. A number clears the mark.
  void TakeFieldText(QLineEdit* field, double FlightParameters::*parameter, const QString& text);
  void MarkField(QLineEdit* field, const QString& message);
  // The first field in the form's order that holds no number, with its message; empty when none.
  QString FirstFieldFault() const;
  void ChooseDragLaw(int index);
  // The constant drag coefficient's field greyed while the drag table is chosen.
  void GreyConstantDrag();
  // START: flies the form's parameters off the event thread.
  void StartRun();
  // The run of START ended, well or not.
  void RunFinished(const std::shared_ptr<const RunResult>& result, const QString& error);
  // MAIN: blanks the plot and shows the start form again.
  void ReturnToStartForm();
  void ShowGraphOfButton(const GraphEntry& graph);
  // The plot's context menu.
  void OpenPlotMenu(const QPoint& position);
  void SaveGraph();
  // Draws the shown graph again in the style the menu's check mark chooses.
  void RedrawInChosenStyle();
  // The style the menu's check mark chooses.
  GraphStyle CurrentStyle() const;
  void SaveTable();
  void CopyGraph();
  // Opens a parameter file as the start form's preset would be chosen: the file's record becomes
  // the preset record and activates the form. A file that cannot be read throws its message
  // before anything changes.
  void OpenParamFile(const QString& fileName);
  // Hides the task pictures, the field groups and the graph buttons that only some tasks show.
  void ConcealTaskControls();
  void ClearConcealedFields();
  void ChooseParamFileToOpen();
  void SaveParamFile();
  void ChooseResultsFolder();
  void KeepRun();
  void ClearKeptRuns();
  void ChooseMeasuredData();
  // Opens measured data to draw over the curves and to compare the runs with.
  void OpenMeasured(const QString& fileName);
  void ClearMeasuredData();
  // Kept runs or measured data are drawn with the graph on show.
  bool Comparing() const;
  // The graph on show with the kept runs and the measured points, in the run's units.
  // Drawn inside `frame`; `sources`, when given, receives the kept run of each of its runs (null for
  // the run on show).
  ComparedGraph Compared(const RunResult& run, const FlightParameters& flown, const GraphSelection& selection,
                         QSizeF frame, std::vector<const KeptRun*>* sources = nullptr) const;
  // The part of the graph's picture that the plot area shows.
  QSizeF VisibleFrame() const;
  // What the graph of the run is drawn from, in the style on show, inside `frame`.
  GraphInputs GraphOf(const RunResult& run, const GraphSelection& selection, QSizeF frame) const;
  // The graph on show over the whole picture, for the exports.
  QImage WholeGraph() const;
  // A kept run's legend name, by what differs from the run on show.
  QString KeptRunName(const FlightParameters& kept, const FlightParameters& shown) const;
  // A text of the windows in the form's language.
  QString Words(Text text) const { return ui::Words(text, state_.LangCode); }
  // Draws the graph on show again (a change of style, of kept runs, of measured data).
  void Redraw();
  // The few-samples note of the run on show and the deviation from the measured data.
  void ShowRunNote();
  // The key figures of the run just finished; an empty text hides them.
  void ShowFigures(const QString& text);
  // Each stage block shown that flies a motor file names the motor, its total impulse and burn
  // time, and greys the stage's fields that the motor replaces; they keep their values.
  void ShowStageMotors();
  // The control is shown in the form (wherever the form itself is).
  bool Shown(const char* name) const;
  // The tooltip of the plot: the values of the shown graph at the row under the pointer: the row
  // under its column, or among kept runs and measured data the nearest point of the nearest curve.
  void UpdateReadout(QPointF pointer);

  // One step of the activation on the form's fields and controls.
  void Play(const FormStep& step);
  void WriteField(double FlightParameters::*parameter, double value, int digits);
  void WriteDisplay(FormStep::Display field, double value);
  void SelectAeroModel(int item);
  void ShowTaskPicture(double TaskKind);
  void Reveal(FormStep::Part part);

  // Draws the selection from the run and keeps both with the picture; null: the fault of a table
  // of zeros, and the plot keeps its picture.
  void ShowGraph(std::shared_ptr<const RunResult> run, const FlightParameters& flown);
  void SetGraphButtonsCovered(bool cover);
  void ShowNote(const QString& note);
  void ApplyCaptions(CaptionGroup group);
  void RevealBlock(Block block, CaptionGroup captions);
  void SetField(const char* field, double value, int digits = 15);
  void ShowControl(const char* name);

  // What the plot shows: the renderer's image and the run and selection it was drawn from, which
  // the exports and the readout take. A cancelled or failed run leaves it as it was.
  struct ShownGraph {
    QImage Image;  // 800 x 600, of which the plot area shows the top-left part
    std::shared_ptr<const RunResult> Run;
    GraphSelection Selection;
    FlightParameters Flown;  // what the run flew: kept runs are named by what differs from it
  };

  WindowState& state_;
  FlightParameters inputs_{};       // what the fields hold; START flies a copy
  GraphSelection selection_{};      // the graph chosen last
  std::unique_ptr<FlightRun> run_;  // the run of START while it works
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
  QAction* resultsFolder_;
  QAction* keepRun_;
  QAction* clearKept_;
  QAction* openMeasured_;
  QAction* clearMeasured_;
  QLabel* FieldNote_;                       // says why a marked field holds no number
  QHash<QLineEdit*, QString> fieldFaults_;  // the fields holding no number, with their messages
  KeptRuns kept_;
  std::optional<MeasuredData> measured_;
  QString resultsDir_;                   // chosen with "Results folder..."; empty: the current folder
  QLabel* Figures_;                      // the key figures of the last run, beside the title
  std::array<QLabel*, 3> motorNotes_{};  // the motor of each stage, beside its heading
  std::unique_ptr<ShownGraph> shown_;    // null while the plot shows no graph
  QString exportDir_;                    // where the last successful export went; the dialogs start there
  std::unique_ptr<AccuracyEntries> accuracy_;  // the method, wind and step-check entries of the plot menu
  std::unique_ptr<EarthSiteEntry> earthSite_;  // the Earth and launch site entry of the plot menu
  std::unique_ptr<VehicleFilesEntry> vehicleFiles_;  // the vehicle files entry of the plot menu
  QString paramFile_;  // the parameter file last opened or saved; dialogs start there
  std::vector<std::pair<QAction*, Text>> menuTexts_;  // the plot menu's entries and their texts
};

}  // namespace zarn::ui
