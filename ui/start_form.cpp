#include "ui/start_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <utility>

#include "assets/pictures.h"
#include "flight/presets.h"
#include "input/param_file.h"
#include "ui/calc_form.h"
#include "ui/file_chooser.h"
#include "ui/guard.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"

namespace zarn::ui {
namespace {

// The task group of each language; every group offers the one task "ballistic flight".
struct TaskGroupSpec {
  int32_t LangCode;
  const char* Name;
  QRect Geometry;
  const char* Caption;  // UTF-8
  const char* Item;     // UTF-8
};
constexpr std::array<TaskGroupSpec, 3> kTaskGroups{{
    {2, "RadioWahl", {8, 16, 265, 209}, "Wahl", "Ballistik (Projectil, Kugel, Tropfen etc.)"},
    {1, "WahlRU", {8, 32, 265, 201}, "Выбор", "Снаряд"},
    {3, "WahlEN", {8, 48, 265, 209}, "Choice", "Projectile"},
}};

constexpr int kListItemHeight = 13;  // px

}  // namespace

// A fixed frame with only a title and a close box stands in for a tool-window frame: X11 window
// managers keep a Qt::Tool window above every other window of the program, which would hide the
// calculation form behind the start form.
StartForm::StartForm(WindowState& shared, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      data_(shared) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral(" Zarn vers.1.1 (Beta)"));
  setFont(FormFont(11));
  setFixedSize(764, 507);
  move(319, 131);

  // Created bottom to top: later controls lie over earlier ones, and the focusable ones take the
  // tab order in which they are created.
  MakePicture(this, "Image2", {0, 0, 769, 505}, QString::fromLatin1(kBackgroundPicture));
  Image1_ = MakePicture(this, "Image1", {224, 112, 313, 193}, QString::fromLatin1(kLanguagePicture));
  MakePanel(this, "Panel4", {707, 12, 50, 49}, QFrame::Sunken, Qt::red);

  RadioSprach_ = MakeRadioGroup(this, "RadioSprach", {264, 152, 41, 121}, QString(), {"R", "D", "E"},
                                [this](int index) { Guard(this, [&] { ChooseLanguage(index); }); });
  RadioSprach_->setAutoFillBackground(true);
  QPalette light = RadioSprach_->palette();
  light.setColor(QPalette::Window, QColor(0xe3, 0xe3, 0xe3));  // the light 3-D colour
  RadioSprach_->setPalette(light);

  for (std::size_t i = 0; i < kTaskGroups.size(); ++i) {
    const TaskGroupSpec& row = kTaskGroups[i];
    QGroupBox* group = MakeRadioGroup(this, row.Name, row.Geometry, QString::fromUtf8(row.Caption),
                                      {QString::fromUtf8(row.Item)},
                                      [this](int index) { Guard(this, [&] { ChooseTask(index); }); });
    group->hide();
    TaskGroups_[i] = group;
  }

  ListBoxProjectil_ = new QListWidget(this);
  ListBoxProjectil_->setObjectName(QStringLiteral("ListBoxProjectil"));
  ListBoxProjectil_->setGeometry(8, 280, 753, 97);
  ListBoxProjectil_->setFrameStyle(QFrame::Box | QFrame::Plain);
  for (const Preset& preset : kPresets) {
    ListBoxProjectil_->addItem(
        QString::fromUtf8(preset.Label.data(), static_cast<qsizetype>(preset.Label.size())));
  }
  ListBoxProjectil_->addItem(QString());  // the sixth item stays empty and chooses nothing
  for (int i = 0; i < ListBoxProjectil_->count(); ++i) {
    ListBoxProjectil_->item(i)->setSizeHint(QSize(0, kListItemHeight));
  }
  ListBoxProjectil_->hide();
  connect(ListBoxProjectil_, &QListWidget::currentRowChanged, this,
          [this](int row) { Guard(this, [&] { ChoosePreset(row); }); });

  QPushButton* start =
      MakeButton(this, "BitBtn1", {712, 16, 41, 41}, QStringLiteral("START"), FormFont(9, true));
  QPalette black = start->palette();
  black.setColor(QPalette::ButtonText, Qt::black);
  start->setPalette(black);
  connect(start, &QPushButton::clicked, this, [this] { Guard(this, [&] { OpenCalculationForm(); }); });

  QPushButton* quit =
      MakeButton(this, "Button1", {712, 72, 44, 41}, QStringLiteral("QUIT"), FormFont(9, true));
  connect(quit, &QPushButton::clicked, this, &QWidget::close);
}

void StartForm::closeEvent(QCloseEvent* event) {
  event->accept();
  QApplication::quit();
}

void StartForm::ChooseLanguage(int index) {
  if (index >= 0 && index <= 2) data_.LangCode = index + 1;
  SpeakToolkit(data_.LangCode);
  Image1_->hide();
  RadioSprach_->hide();
  for (std::size_t i = 0; i < kTaskGroups.size(); ++i) {
    if (kTaskGroups[i].LangCode == data_.LangCode) TaskGroups_[i]->show();
  }
}

void StartForm::ChooseTask(int index) {
  if (index >= 0 && index <= 7) data_.TaskChoice = index + 1;
  if (data_.TaskChoice == 1) ListBoxProjectil_->show();
}

void StartForm::ChoosePreset(int index) {
  // Only the record changes; the calculation form reads it when START shows it next.
  WritePresetRecord(index, data_.PresetRecord);
  data_.Vehicle = {};  // a preset flies no files of its own vehicle
}

void StartForm::ChooseParamFile(const QString& fileName) {
  ParamFileContents file = ReadParamContents(LocalPath(fileName));
  data_.PresetRecord = file.Record;
  data_.Vehicle = std::move(file.Paths);
}

void StartForm::OpenCalculationForm() {
  ListBoxProjectil_->hide();
  if (calcForm_ == nullptr) return;
  calcForm_->show();
  calcForm_->raise();
  calcForm_->activateWindow();
  // Filled on START only: a mere change of focus between the two windows keeps the user's edits.
  calcForm_->ActivateWithRecord();
}

}  // namespace zarn::ui
