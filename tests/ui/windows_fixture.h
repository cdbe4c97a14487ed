#pragma once
// The program's two windows over one WindowState, as main() builds them, driven with Qt Test input.
// Errors go to a recorder instead of a modal box, the save and open dialogs answer with file names
// the test sets; runs write their files into a temporary folder.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "records/flight_data.h"
#include "ui/calc_form.h"
#include "ui/file_chooser.h"
#include "ui/guard.h"
#include "ui/start_form.h"
#include "ui/window_state.h"

namespace zarn::ui {

// The whole file, or nothing when it cannot be read.
inline QByteArray Contents(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The platform's text for an errno value, as file errors show it.
inline QString PlatformMessage(int error) {
  return QString::fromStdString(std::system_category().message(error));
}

// Item indices of the language group.
enum Language { kRussian = 0, kGerman = 1, kEnglish = 2 };

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale::c());
    previousReporter_ =
        SetErrorReporter([this](QWidget*, const QString& text) { messages_.push_back(text); });
    previousChooser_ = SetSaveFileChooser(
        [this](QWidget*, const QString& caption, const QString& suggested, const QString& filter) {
          chooserCaptions_.push_back(caption);
          chooserSuggestions_.push_back(suggested);
          chooserFilters_.push_back(filter);
          return chosenFile_;
        });
    previousOpenChooser_ = SetOpenFileChooser(
        [this](QWidget*, const QString&, const QString&, const QString&) { return openFile_; });
    ASSERT_TRUE(workDir_.isValid());
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(workDir_.path());
    data_ = std::make_unique<WindowState>();
    form1_ = std::make_unique<StartForm>(*data_);
    form2_ = std::make_unique<CalcForm>(*data_, *form1_);
    form1_->SetCalculationForm(form2_.get());
    form1_->show();
  }

  // A fresh program: new records and both windows again, as at start.
  void RestartProgram() {
    form2_.reset();
    form1_.reset();
    data_ = std::make_unique<WindowState>();
    form1_ = std::make_unique<StartForm>(*data_);
    form2_ = std::make_unique<CalcForm>(*data_, *form1_);
    form1_->SetCalculationForm(form2_.get());
    form1_->show();
  }

  void TearDown() override {
    form2_.reset();
    form1_.reset();
    QDir::setCurrent(previousDir_);
    SetErrorReporter(previousReporter_);
    SetSaveFileChooser(previousChooser_);
    SetOpenFileChooser(previousOpenChooser_);
    QLocale::setDefault(QLocale::c());
  }

  // --- the start form ---
  QRadioButton* Item(const char* group, int index) const {
    return form1_->findChild<QGroupBox*>(QString::fromLatin1(group))->findChildren<QRadioButton*>().at(index);
  }
  void ChooseLanguage(Language language) { QTest::mouseClick(Item("RadioSprach", language), Qt::LeftButton); }
  // Clicks the one task item of the group that the language shows.
  void ChooseTask() {
    for (const char* group : {"RadioWahl", "WahlRU", "WahlEN"})
      if (Start<QGroupBox>(group)->isVisible()) QTest::mouseClick(Item(group, 0), Qt::LeftButton);
  }
  void ChoosePreset(int index) {
    auto* list = Start<QListWidget>("ListBoxProjectil");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(index)).center());
  }
  void PressStartOfStartForm() { QTest::mouseClick(Start<QPushButton>("BitBtn1"), Qt::LeftButton); }
  // Language, task and preset as a user picks them, then START of the start form.
  void OpenWithPreset(int preset, Language language = kGerman) {
    ChooseLanguage(language);
    ChooseTask();
    ChoosePreset(preset);
    PressStartOfStartForm();
  }

  // --- the calculation form ---
  // START, and the event loop until the run has ended and the form shows its outcome.
  void PressStart() {
    QTest::mouseClick(Calc<QPushButton>("Button1"), Qt::LeftButton);
    while (form2_->Running()) QTest::qWait(2);
  }
  const FlightParameters& Params() const { return form2_->Inputs(); }
  // The run on show; the test fails when there is none.
  const RunResult& Shown() const {
    const RunResult* run = form2_->ShownRun();
    if (run == nullptr) throw std::logic_error("no run on show");
    return *run;
  }
  void PressMain() { QTest::mouseClick(Calc<QPushButton>("Button5"), Qt::LeftButton); }
  void PressGraph(const char* button) { QTest::mouseClick(Calc<QPushButton>(button), Qt::LeftButton); }
  QString Text(const char* field) const { return Calc<QLineEdit>(field)->text(); }
  QString Caption(const char* control) const {
    if (auto* label = form2_->findChild<QLabel*>(QString::fromLatin1(control))) return label->text();
    return Calc<QPushButton>(control)->text();
  }
  // Selects the field's whole text and types over it, one key at a time.
  void Type(const char* field, const QString& text) {
    QLineEdit* edit = Calc<QLineEdit>(field);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
  }
  void Empty(const char* field) {
    QLineEdit* edit = Calc<QLineEdit>(field);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
  }
  // What the form says about a field that holds no number; empty when it says nothing.
  QString FieldNote() const {
    const QLabel* note = Calc<QLabel>("FieldNote");
    return note->isVisible() ? note->text() : QString();
  }
  // The field is marked as holding no number: its ground is no longer the form's white.
  bool Marked(const char* field) const {
    return Calc<QLineEdit>(field)->palette().color(QPalette::Base) != form2_->palette().color(QPalette::Base);
  }
  QImage Plot() const {
    return Calc<QLabel>("Image1")->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Right-clicks the plot. The click goes in through the window, as the window system's would, so
  // that the press becomes a context menu request. Returns the menu that opened, if any.
  QMenu* OpenPlotMenu() {
    const QPoint inPlot = Calc<QLabel>("Image1")->mapTo(form2_.get(), QPoint(300, 200));
    QTest::mouseClick(form2_->windowHandle(), Qt::RightButton, {}, inPlot);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
  }
  // The entry by its English text, which is its name in every language.
  static QAction* MenuEntry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
      if (action->objectName() == text) return action;
    return nullptr;
  }
  // Opens the plot's menu and clicks the entry.
  void ChooseFromPlotMenu(const char* text) {
    QMenu* menu = OpenPlotMenu();
    ASSERT_NE(menu, nullptr) << "no menu on a right click";
    QAction* action = MenuEntry(menu, QString::fromUtf8(text));
    ASSERT_NE(action, nullptr) << text;
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(action).center());
    menu->close();  // a disabled entry leaves the menu open
  }
  // A left click at the widget's centre as the window system gives it: to the widget's native
  // window, so that it passes every filter a real click passes on its way to the widget.
  static void ClickThroughWindow(QWidget* widget) {
    QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(widget->window(), widget->rect().center()));
  }
  // Types over a field of a dialog as the keyboard would: a click into it, all of it selected, then
  // one key at a time, each to the field's window.
  static void TypeThroughWindow(QLineEdit* edit, const QString& text) {
    ClickThroughWindow(edit);
    QWindow* window = edit->window()->windowHandle();
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Backspace);
    for (const QChar c : text) QTest::keyClick(window, c.toLatin1());
  }
  // Opens the box's list with a click and clicks its item, both through their windows.
  static void ChooseItem(QComboBox* box, int index) {
    ClickThroughWindow(box);
    QAbstractItemView* view = box->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 10000)) << "the list does not open";
    const QPoint at = view->visualRect(box->model()->index(index, 0)).center();
    QTest::mouseClick(view->window()->windowHandle(), Qt::LeftButton, {},
                      view->viewport()->mapTo(view->window(), at));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }, 10000)) << "the list stays open";
  }
  // Whether the control can be seen and pressed: it is the topmost control at its centre.
  bool Uncovered(const char* control) const {
    QWidget* widget = Calc<QWidget>(control);
    return widget->isVisible() && widget->isEnabled() &&
           form2_->childAt(widget->geometry().center()) == widget;
  }

  template <class W>
  W* Start(const char* name) const {
    auto* widget = form1_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  template <class W>
  W* Calc(const char* name) const {
    auto* widget = form2_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  std::unique_ptr<WindowState> data_;
  std::unique_ptr<StartForm> form1_;
  std::unique_ptr<CalcForm> form2_;
  std::vector<QString> messages_;
  QTemporaryDir workDir_;
  QString chosenFile_;                       // what every save dialog answers; empty: the user cancels
  std::vector<QString> chooserCaptions_;     // the caption of each save dialog that was asked
  std::vector<QString> chooserSuggestions_;  // the path each of them suggested
  std::vector<QString> chooserFilters_;      // the file types each of them offered
  QString openFile_;                         // what every open dialog answers; empty: the user cancels

 private:
  ErrorReporter previousReporter_;
  SaveFileChooser previousChooser_;
  OpenFileChooser previousOpenChooser_;
  QString previousDir_;
};

}  // namespace zarn::ui
