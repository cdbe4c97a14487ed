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

class Form2;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(WindowState& shared, QWidget* parent = nullptr);

  // The calculation form that START shows; set once after both forms exist.
  void SetCalculationForm(Form2* form) { form2_ = form; }

  // Chooses a parameter file as if it were a preset: its record becomes the preset record that
  // START brings to the calculation form. A file that cannot be read throws its message and
  // changes nothing.
  void ChooseParamFile(const QString& fileName);

 protected:
  // The start form is the main window: closing it ends the program, whatever else is open.
  void closeEvent(QCloseEvent* event) override;

 private:
  void RadioSprachClick(int index);
  // RadioWahlClick, WahlRUClick and WahlENClick: alike except for the group they read.
  void TaskGroupClick(int index);
  void ListBoxProjectilClick(int index);
  void BitBtn1Click();

  WindowState& data_;
  Form2* form2_ = nullptr;
  QLabel* Image1_;
  QGroupBox* RadioSprach_;
  std::array<QGroupBox*, 3> TaskGroups_;  // RadioWahl, WahlRU, WahlEN
  QListWidget* ListBoxProjectil_;
};

}  // namespace zarn::ui
