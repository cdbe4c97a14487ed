#pragma once
// The start form: language, task and preset choice, then START opens the calculation form.
// Its choices (LangCode, TaskChoice, PresetRecord) live in the WindowState that both forms share.
#include <QWidget>
#include <array>

#include "ui/window_state.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace zarn::ui {

class CalcForm;

class StartForm : public QWidget {
  Q_OBJECT

 public:
  explicit StartForm(WindowState& shared, QWidget* parent = nullptr);

  // The calculation form that START shows; set once after both forms exist.
  void SetCalculationForm(CalcForm* form) { calcForm_ = form; }

  // Chooses a parameter file as if it were a preset: its record becomes the preset record that
  // START brings to the calculation form. A file that cannot be read throws its message and
  // changes nothing.
  void ChooseParamFile(const QString& fileName);

 protected:
  // The start form is the main window: closing it ends the program, whatever else is open.
  void closeEvent(QCloseEvent* event) override;

 private:
  void ChooseLanguage(int index);
  // Serves the task groups of all three languages alike (RadioWahl, WahlRU, WahlEN).
  void ChooseTask(int index);
  void ChoosePreset(int index);
  // START: shows the calculation form and activates it with the preset record.
  void OpenCalculationForm();

  WindowState& data_;
  CalcForm* calcForm_ = nullptr;
  QLabel* Image1_;
  QGroupBox* RadioSprach_;
  std::array<QGroupBox*, 3> TaskGroups_;  // RadioWahl, WahlRU, WahlEN
  QListWidget* ListBoxProjectil_;
};

}  // namespace zarn::ui
