#include "ui/calc_form.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "assets/pictures.h"
#include "flight/integrator.h"
#include "flight/key_figures.h"
#include "flight/number_text.h"
#include "flight/parameters.h"
#include "flight/presets.h"
#include "input/param_file.h"
#include "models/vehicle_tables.h"
#include "output/param_writer.h"
#include "output/run_note.h"
#include "output/table_csv.h"
#include "plot/graph_png.h"
#include "plot/picture_file.h"
#include "plot/readout.h"
#include "plot/renderer.h"
#include "records/constants.h"
#include "records/errors.h"
#include "records/language.h"
#include "ui/earth_site.h"
#include "ui/file_chooser.h"
#include "ui/guard.h"
#include "ui/measured_note.h"
#include "ui/method_menu.h"
#include "ui/placement.h"
#include "ui/run_figures.h"
#include "ui/run_progress.h"
#include "ui/vehicle_dialog.h"
#include "ui/widgets.h"
#include "ui/window_texts.h"

namespace zarn::ui {

// Which captions the activation replaces at which step; kFixed ones never change.
enum class CalcForm::CaptionGroup { kFixed, kGeneral, kStage1, kBuoyancy };
// The controls that the activation shows only for some tasks; kAlways ones are visible from the start.
enum class CalcForm::Block { kAlways, kBuoyancy, kVolume, kLevelFlight, kStage };

namespace {

using Group = CalcForm::CaptionGroup;
using Block = CalcForm::Block;
constexpr Group kFixed = Group::kFixed, kGeneral = Group::kGeneral, kStage1 = Group::kStage1,
                kBuoyancy = Group::kBuoyancy;

// Every caption of the form's labels, and of the two graph buttons whose captions follow the
// language. German is the form's own text (LangCode 0 and 2); Russian is for LangCode 1 and
// English for LangCode 3. Some Russian texts mix in Latin letters ("m0", "Vo", "м/c", ...).
struct Caption {
  const char* Control;
  Group When;
  const char* German;   // UTF-8
  const char* Russian;  // UTF-8, nullptr when the caption never changes
  const char* English;
};
// clang-format off
constexpr Caption kCaptions[] = {
    {"Label10", kGeneral, "Integrationsschritt, s", "Шаг интегрирования, с", "step of integration, s"},
    {"Label8", kGeneral, "Masse, mo,kg", "Стартовая масса,m0,кг", "launching mass, m,kg"},
    {"Label19", kGeneral, "Flaeche, So,m2", "Площадь,So,м2", "lifting area,So,m2"},
    {"Label7", kGeneral, "Windgeschwindigkeit  Vw, m/s", "Скорость ветра,Vw,m/s", "windspeed,Vw,m/s"},
    {"Label13", kGeneral, "Widerstandszahl, Cw", "Cx", "drag coefficient,Cd"},
    {"Label11", kGeneral, "Auftriebszahl, Ca", "Cy", "lift coefficient, Cl"},
    {"Label12", kGeneral, "Anfangsbedingungen ", "Начальные условия", "entry conditions"},
    {"Label14", kGeneral, "Bahnwinkel,  Qo, grad", "Угол наклона траектории,Qo,град", "trajectory angle,Qo,grad"},
    {"Label25", kGeneral, "Hoehe, Ho,m .............", "Высота,Ho,м", "altitude,Ho,m"},
    {"edV", kGeneral, "Geschwindigkeit, Vo, m/s", "Скорость,Vo,м/c", "velocity,Vo,m/s"},
    {"Label1", kGeneral, "Endbedingungen", "Конечные условия", "terminal conditions"},
    {"Label3", kGeneral, "Zeit,S...........................", "Время, t,с", "time,s"},
    {"Label2", kGeneral, "Hoehe, H,m ................", "Высота, H,м", "altitude,H,m"},
    {"Label4", kGeneral, "Geschwindigkeit, Vk, m/s", "Скорость, V,м/c", "velocity,V,m/s"},
    {"Button12", kGeneral, "Fw=f(t)", "X=f(t)", "Drag=f(t)"},
    {"Button14", kGeneral, "A=f(t)", "Y=f(t)", "Lift=f(t)"},
    {"Label26", kStage1, "STARTSTUFE", "Первая ступень", "LAUNCHING STAGE"},
    {"Label23", kStage1, "Treibstoffmasse (kg)", "Масса топлива, кг", "Fuel mass (kg)"},
    {"Label6", kStage1, "Spezifischer Impuls (H=0 m) (N*s/kg)", "Удельный импульс, (Н = 0км), Н*с/кг", "Isp (atm)(N*s/kg)"},
    {"Label27", kStage1, "Spezifischer Impuls (P=0 Pa) (N*s/kg)", "Удельный импульс, (Р = 0Па), Н*с/кг", "Isp (vac)(N*s/kg)"},
    {"Label22", kStage1, "Triebwerkmasse (ohne Treibstoff) (kg)", "Сухая масса двигателя, кг", "Empty mass (kg)"},
    {"Label24", kStage1, "Schub (N)    ", "Тяга,кг", "Thrust (vac)(N)"},
    {"Label18", kBuoyancy, "Gasdichte, kg/m3", "  Плотность газа,          кг/м3", "    density of gas,         kg/m3"},
    {"Label20", kBuoyancy, "     Flughoehe, m", "высота полета,м", "flight altitude, m"},
    {"Label16", kFixed, "ZARN, vers. 1.1", nullptr, nullptr},
    {"Label17", kFixed, "START", nullptr, nullptr},
    {"Label9", kFixed, " <- - f ( x )", nullptr, nullptr},
    {"Label5", kFixed, "f ( t ) - - >", nullptr, nullptr},
    {"Label15", kFixed, "Volumen, m3", nullptr, nullptr},
    {"Label28", kFixed, "S1 (m2)    ", nullptr, nullptr},
    {"Label29", kFixed, "2.STUFE", nullptr, nullptr},
    {"Label30", kFixed, "Treibstoffmasse (kg)", nullptr, nullptr},
    {"Label31", kFixed, "Spezifischer Impuls (H=0 m) (N*s/kg)", nullptr, nullptr},
    {"Label32", kFixed, "Spezifischer Impuls (P=0 Pa) (N*s/kg)", nullptr, nullptr},
    {"Label33", kFixed, "Triebwerkmasse (ohne Treibstoff) (kg)", nullptr, nullptr},
    {"Label34", kFixed, "Schub (N)    ", nullptr, nullptr},
    {"Label35", kFixed, "S2 (m2)    ", nullptr, nullptr},
    {"Label36", kFixed, "3.STUFE", nullptr, nullptr},
    {"Label37", kFixed, "Treibstoffmasse (kg)", nullptr, nullptr},
    {"Label38", kFixed, "Spezifischer Impuls (H=0 m) (N*s/kg)", nullptr, nullptr},
    {"Label39", kFixed, "Spezifischer Impuls (P=0 Pa) (N*s/kg)", nullptr, nullptr},
    {"Label40", kFixed, "Triebwerkmasse (ohne Treibstoff) (kg)", nullptr, nullptr},
    {"Label41", kFixed, "Schub (N)    ", nullptr, nullptr},
    {"Label42", kFixed, "S3 (m2)    ", nullptr, nullptr},
};
// clang-format on

const Caption& FindCaption(std::string_view control) {
  for (const Caption& caption : kCaptions)
    if (control == caption.Control) return caption;
  throw std::logic_error("no caption for " + std::string(control));
}

enum class LabelLook { kBlack, kNavy, kHeading, kTitle, kRed };
enum class FieldLook { kNormal, kLarge, kBorderless };

// Frames of the field groups; they only draw.
struct FrameSpec {
  const char* Name;
  QRect Geometry;
};
constexpr FrameSpec kFrames[] = {
    {"GroupAerodynamics", {5, 176, 212, 121}}, {"GroupBody", {5, 304, 212, 129}},
    {"GroupInitial", {5, 440, 212, 129}},      {"GroupEnd", {5, 576, 212, 113}},
    {"GroupStages", {224, 176, 209, 513}},     {"GroupPicture", {440, 8, 289, 161}},
};

// Labels that stand on their own: the title, headings and the graph panel's labels.
struct LabelSpec {
  const char* Name;
  QPoint Position;
  LabelLook Look;
  Block Shown;
};
constexpr LabelSpec kLabels[] = {
    {"Label16", {82, 14}, LabelLook::kTitle, Block::kAlways},
    {"Label17", {546, 14}, LabelLook::kRed, Block::kAlways},  // behind the task pictures
    {"Label9", {740, 7}, LabelLook::kTitle, Block::kAlways},
    {"Label5", {838, 7}, LabelLook::kTitle, Block::kAlways},
    {"Label12", {11, 447}, LabelLook::kHeading, Block::kAlways},
    {"Label1", {11, 583}, LabelLook::kHeading, Block::kAlways},
    {"Label26", {230, 188}, LabelLook::kHeading, Block::kStage},
    {"Label29", {230, 356}, LabelLook::kHeading, Block::kStage},
    {"Label36", {230, 524}, LabelLook::kHeading, Block::kStage},
};

// The input fields, each with the label to its left (which reaches from LabelLeft to just before
// the field and wraps a caption too long for one line). The parameter that every change of a
// field's text sets is the one whose row in kParamNames names the field; a field that no row names
// is for display, and editing it changes nothing. The order is the tab order.
using Parameter = double FlightParameters::*;
struct FieldSpec {
  const char* Field;
  const char* Label;  // nullptr: no label
  QRect Geometry;
  FieldLook Look;
  LabelLook LabelColour;
  int LabelLeft;  // px
  Block Shown;
};
// clang-format off
constexpr FieldSpec kFields[] = {
    {"EdGas", "Label18", {144, 40, 57, 21}, FieldLook::kNormal, LabelLook::kNavy, 8, Block::kBuoyancy},
    {"EdHFlug", "Label20", {144, 72, 57, 21}, FieldLook::kNormal, LabelLook::kNavy, 8, Block::kBuoyancy},
    {"Volumen_Start", "Label15", {136, 120, 65, 21}, FieldLook::kBorderless, LabelLook::kNavy, 8, Block::kVolume},
    {"EdCx", "Label13", {160, 248, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"EdCy", "Label11", {160, 272, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"edMassaStart", "Label8", {160, 320, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"EdS0", "Label19", {160, 352, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"edVwind", "Label7", {160, 384, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"eddt0", "Label10", {160, 408, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"EdTTO", "Label14", {160, 468, 50, 19}, FieldLook::kNormal, LabelLook::kBlack, 11, Block::kAlways},
    {"edH0", "Label25", {160, 495, 50, 22}, FieldLook::kLarge, LabelLook::kBlack, 11, Block::kAlways},
    {"edV0", "edV", {161, 523, 50, 22}, FieldLook::kLarge, LabelLook::kBlack, 11, Block::kAlways},
    {"EdiVopt", nullptr, {16, 544, 33, 19}, FieldLook::kBorderless, LabelLook::kBlack, 0, Block::kLevelFlight},
    {"edTk", "Label3", {160, 603, 50, 22}, FieldLook::kLarge, LabelLook::kBlack, 11, Block::kAlways},
    {"edHkk", "Label2", {160, 632, 50, 22}, FieldLook::kLarge, LabelLook::kBlack, 11, Block::kAlways},
    {"edVk", "Label4", {160, 660, 50, 22}, FieldLook::kLarge, LabelLook::kBlack, 11, Block::kAlways},
    {"EdMt", "Label23", {368, 208, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIud", "Label6", {368, 232, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIudP0", "Label27", {368, 256, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdMdv", "Label22", {368, 280, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdSchub", "Label24", {368, 304, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdS1", "Label28", {368, 328, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdMt2", "Label30", {368, 376, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIud2", "Label31", {368, 400, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIudP2", "Label32", {368, 424, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdMdv2", "Label33", {368, 448, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdSchu2", "Label34", {368, 472, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdS2", "Label35", {368, 496, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdMt3", "Label37", {368, 544, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIud3", "Label38", {368, 568, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdIudP3", "Label39", {368, 592, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdMdv3", "Label40", {368, 616, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdSchu3", "Label41", {368, 640, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
    {"EdS3", "Label42", {368, 664, 57, 19}, FieldLook::kNormal, LabelLook::kNavy, 230, Block::kStage},
};
// clang-format on

// The display fields that show a value of the activation with no parameter behind it.
struct DisplaySpec {
  FormStep::Display Shows;
  const char* Field;
};
constexpr DisplaySpec kDisplays[] = {
    {FormStep::Display::kVolume, "Volumen_Start"},
    {FormStep::Display::kLevelFlightSpeed, "EdiVopt"},
    {FormStep::Display::kGasDensity, "EdGas"},
    {FormStep::Display::kFlightAltitude, "EdHFlug"},
};

// Where each graph button of the catalogue stands, above the plot: the graphs over range and
// V=f(H) left of the divider Panel7, the graphs over time right of it.
struct GraphPlace {
  const char* Component;
  QRect Geometry;
  bool HiddenAtFirst;  // shown by the activation for the tasks that need them
};
constexpr GraphPlace kGraphPlaces[] = {
    {"Button9", {744, 32, 70, 17}, false},    {"Button2", {744, 56, 70, 17}, false},
    {"Button16", {744, 80, 70, 17}, false},   {"Button15", {744, 144, 70, 17}, false},
    {"Button10", {832, 32, 70, 17}, false},   {"Button12", {832, 80, 70, 17}, false},
    {"Button13", {832, 144, 70, 17}, false},  {"Button22", {912, 33, 70, 16}, false},
    {"Button7", {912, 56, 70, 17}, false},    {"Button14", {912, 80, 70, 17}, true},
    {"ButtonP", {912, 144, 70, 17}, true},    {"Button3", {992, 32, 70, 17}, false},
    {"Button4", {992, 56, 70, 17}, false},    {"Button27", {1072, 33, 70, 16}, false},
    {"Button6", {1072, 56, 70, 17}, false},   {"Button8", {1072, 80, 70, 17}, false},
    {"Button11", {1072, 104, 70, 17}, false}, {"ButtonCya", {1072, 128, 70, 17}, false},
};

// The parameter that the field's text sets, or nullptr.
Parameter BoundTo(std::string_view field) {
  for (const ParamName& p : kParamNames)
    if (p.Field == field) return p.Member;
  return nullptr;
}

const GraphPlace& FindPlace(std::string_view component) {
  for (const GraphPlace& place : kGraphPlaces)
    if (component == place.Component) return place;
  throw std::logic_error("no place for graph button " + std::string(component));
}

// The task picture that each task code shows (kTaskPictures); other codes show none.
struct TaskSketch {
  double TaskKind;
  const char* Control;
};
constexpr TaskSketch kTaskSketches[] = {
    {kTaskBallistic, "Image2"}, {kTaskBuoyantGas, "Image3"}, {kTaskDescent, "Image4"},
    {kTaskProfile, "Image5"},   {kTaskRocket, "Image6"},
};
constexpr QRect kTaskPictureGeometry{448, 16, 273, 145};
constexpr QRect kPlotGeometry{440, 176, 769, 513};
// Free space between the title and the task picture, above the stage block, where no control
// stands: the key figures of a run at the top, a note on the run's samples below them.
constexpr QRect kFiguresGeometry{226, 6, 212, 100};
constexpr QRect kNoteGeometry{226, 108, 212, 64};
constexpr int kNoteRoomWithoutStages = 560;          // px: down to the foot of the empty stage frame
constexpr QRect kNoteBesideStages{5, 30, 212, 112};  // under the title, above the field note
constexpr QSize kBlankPlot{770, 515};
// Free space above the aerodynamics frame, below the volume field: why a field is marked.
constexpr QRect kFieldNoteGeometry{5, 143, 212, 32};
// A field that holds no number.
constexpr QColor kFaultFill{255, 205, 205};
constexpr int kLabelHeight = 26;  // px: two lines of the 11 px face
// A vehicle's figures add lines to a run's: beside the stage block, where the note stands under
// the title, they reach down to the stage frame.
constexpr int kFiguresRoomBesideStages = 168;  // px
// The motor a stage flies, on its heading's line to the stage frame's right edge, in the space
// between the stage blocks' fields.
struct StageMotorPlace {
  const char* Heading;
  const char* Note;
};
constexpr StageMotorPlace kStageMotorPlaces[] = {
    {"Label26", "Motor1Note"}, {"Label29", "Motor2Note"}, {"Label36", "Motor3Note"}};
constexpr int kMotorNoteRight = 430;  // px
constexpr int kMotorNoteAbove = 5;    // px above the heading's top
constexpr int kMotorNoteHeight = 20;  // px: clear of the labels of the fields above and below

QColor Colour(LabelLook look) {
  switch (look) {
    case LabelLook::kBlack:
      return Qt::black;
    case LabelLook::kNavy:
    case LabelLook::kHeading:
      return QColor(0, 0, 128);
    case LabelLook::kTitle:
    case LabelLook::kRed:
      return Qt::red;
  }
  return Qt::black;
}

QLabel* MakeLabel(QWidget* parent, const char* name, LabelLook look) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(FormFont(11, look == LabelLook::kHeading || look == LabelLook::kTitle));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Colour(look));
  label->setPalette(palette);
  return label;
}

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The local ".zarn" file that a drag carries first, or an empty string.
QString ParamFileIn(const QMimeData* mime) {
  if (mime == nullptr) return {};
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile() && url.fileName().endsWith(QStringLiteral(".zarn"), Qt::CaseInsensitive))
      return url.toLocalFile();
  return {};
}

}  // namespace

CalcForm::CalcForm(WindowState& shared, QWidget& startForm, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(shared), startForm_(startForm) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Zarn 1.1. (Beta)"));
  setFont(FormFont(11));
  setFixedSize(1216, 696);
  move(177, 49);
  setAttribute(Qt::WA_QuitOnClose, false);  // its close box only hides it

  // Created bottom to top; among the focusable controls creation order is the tab order, START first.
  for (const FrameSpec& frame : kFrames) {
    auto* box = new QGroupBox(this);
    box->setObjectName(QString::fromLatin1(frame.Name));
    box->setGeometry(frame.Geometry);
  }
  MakePanel(this, "Panel4", {1158, 3, 52, 54}, QFrame::Raised, Qt::red);
  QPushButton* start =
      MakeButton(this, "Button1", {1162, 6, 45, 48}, QStringLiteral("START"), FormFont(9, true));
  QPalette red = start->palette();
  red.setColor(QPalette::ButtonText, Qt::red);
  start->setPalette(red);
  connect(start, &QPushButton::clicked, this, [this] { Guard(this, [&] { StartRun(); }); });

  for (const LabelSpec& row : kLabels) {
    QLabel* label = MakeLabel(this, row.Name, row.Look);
    label->move(row.Position);
    SetCaption(label, QString::fromUtf8(FindCaption(row.Name).German));
    label->setVisible(row.Shown == Block::kAlways);
  }
  for (const TaskPicture& picture : kTaskPictures) {
    MakePicture(this, picture.Control, kTaskPictureGeometry, QString::fromLatin1(picture.Resource))->hide();
  }

  AeroBox1_ = new QComboBox(this);
  AeroBox1_->setObjectName(QStringLiteral("AeroBox1"));
  AeroBox1_->setGeometry(80, 208, 130, 21);
  // The drag table flies the file that "Vehicle files…" names as CdTable.
  AeroBox1_->addItems(
      {QStringLiteral("Constant"), QStringLiteral("V-2 Cl,Cd=f(M,alfa)"), QStringLiteral("Cd=f(M) table")});
  AeroBox1_->setPlaceholderText(QStringLiteral("Aerodynamic"));
  AeroBox1_->setCurrentIndex(-1);
  connect(AeroBox1_, &QComboBox::currentIndexChanged, this,
          [this](int index) { Guard(this, [&] { ChooseDragLaw(index); }); });

  for (const FieldSpec& row : kFields) {
    const bool shown = row.Shown == Block::kAlways;
    if (row.Label != nullptr) {
      QLabel* label = MakeLabel(this, row.Label, row.LabelColour);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      const int centre = row.Geometry.top() + row.Geometry.height() / 2;
      label->setGeometry(row.LabelLeft, centre - kLabelHeight / 2, row.Geometry.left() - 3 - row.LabelLeft,
                         kLabelHeight);
      SetCaption(label, QString::fromUtf8(FindCaption(row.Label).German));
      label->setVisible(shown);
    }
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(row.Field));
    field->setGeometry(row.Geometry);
    if (row.Look == FieldLook::kLarge) field->setFont(FormFont(13));
    if (row.Look == FieldLook::kBorderless) field->setFrame(false);
    field->setVisible(shown);
    if (const Parameter bound = BoundTo(row.Field)) {
      connect(field, &QLineEdit::textChanged, this, [this, bound, field](const QString& text) {
        Guard(this, [&] { TakeFieldText(field, bound, text); });
      });
    }
  }
  // A parameter whose field the form lacks could be neither shown nor typed.
  for (const ParamName& p : kParamNames)
    if (!p.Field.empty() && findChild<QLineEdit*>(Utf8(p.Field)) == nullptr)
      throw std::logic_error("no field " + std::string(p.Field) + " for the parameter " +
                             std::string(p.Name));

  MakePanel(this, "Panel7", {818, 3, 7, 170}, QFrame::Sunken);
  for (const GraphEntry& graph : GraphButtons()) {
    const GraphPlace& place = FindPlace(graph.Component);
    QPushButton* button = MakeButton(this, place.Component, place.Geometry, Utf8(graph.Caption), font());
    button->setVisible(!place.HiddenAtFirst);
    connect(button, &QPushButton::clicked, this,
            [this, &graph] { Guard(this, [&] { ShowGraphOfButton(graph); }); });
  }
  // Over the graph buttons until START: no graph can be chosen before a run of this visit.
  Panel6_ = MakePanel(this, "Panel6", {736, 24, 417, 145}, QFrame::Sunken, palette().color(QPalette::Window));
  SetGraphButtonsCovered(true);

  Image1_ = MakePicture(this, "Image1", kPlotGeometry, QString::fromLatin1(kBackgroundPicture));
  SampleNote_ = MakeLabel(this, "SampleNote", LabelLook::kNavy);
  SampleNote_->setAutoFillBackground(true);  // over the stage frame's border when it reaches there
  SampleNote_->setGeometry(kNoteGeometry);
  SampleNote_->setTextFormat(Qt::PlainText);
  SampleNote_->setWordWrap(true);
  SampleNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SampleNote_->hide();
  plotMenu_ = new QMenu(Image1_);
  plotMenu_->setObjectName(QStringLiteral("PlotMenu"));
  // Each entry named by its English text; the activation gives it the text of the form's language.
  const auto entry = [this](Text text, auto handler) {
    QAction* action = plotMenu_->addAction(ui::Words(text, 3), this,
                                           [this, handler] { Guard(this, [&] { (this->*handler)(); }); });
    action->setObjectName(ui::Words(text, 3));
    menuTexts_.push_back({action, text});
    return action;
  };
  saveGraph_ = entry(Text::kSaveGraph, &CalcForm::SaveGraph);
  saveTable_ = entry(Text::kSaveTable, &CalcForm::SaveTable);
  copyGraph_ = entry(Text::kCopyGraph, &CalcForm::CopyGraph);
  clearStyle_ = plotMenu_->addAction(ui::Words(Text::kClearStyle, 3));
  clearStyle_->setObjectName(ui::Words(Text::kClearStyle, 3));
  menuTexts_.push_back({clearStyle_, Text::kClearStyle});
  clearStyle_->setCheckable(true);
  connect(clearStyle_, &QAction::toggled, this, [this] { Guard(this, [&] { RedrawInChosenStyle(); }); });
  // Parameter files: window-wide shortcuts, and the same entries in the plot's menu.
  plotMenu_->addSeparator();
  openParams_ = entry(Text::kOpenParams, &CalcForm::ChooseParamFileToOpen);
  openParams_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  saveParams_ = entry(Text::kSaveParams, &CalcForm::SaveParamFile);
  saveParams_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  resultsFolder_ = entry(Text::kResultsFolder, &CalcForm::ChooseResultsFolder);
  // Comparing runs and measurements.
  plotMenu_->addSeparator();
  keepRun_ = entry(Text::kKeepRun, &CalcForm::KeepRun);
  keepRun_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  clearKept_ = entry(Text::kClearKept, &CalcForm::ClearKeptRuns);
  openMeasured_ = entry(Text::kOpenMeasured, &CalcForm::ChooseMeasuredData);
  clearMeasured_ = entry(Text::kClearMeasured, &CalcForm::ClearMeasuredData);
  addActions({openParams_, saveParams_, keepRun_});
  // The check flies the vehicle's files as START would, read as they are now.
  accuracy_ = std::make_unique<AccuracyEntries>(*plotMenu_, inputs_, state_.LangCode, *this,
                                                [this] { inputs_.Vehicle = ReadVehicle(state_.Vehicle); });
  earthSite_ = std::make_unique<EarthSiteEntry>(*plotMenu_, inputs_, state_.LangCode, *this);
  vehicleFiles_ = std::make_unique<VehicleFilesEntry>(*plotMenu_, state_.Vehicle, state_.LangCode, *this);
  Image1_->setContextMenuPolicy(Qt::CustomContextMenu);
  Image1_->setMouseTracking(true);  // the tooltip follows the pointer
  Image1_->installEventFilter(this);
  connect(Image1_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& position) { Guard(this, [&] { OpenPlotMenu(position); }); });

  QPushButton* main =
      MakeButton(this, "Button5", {1165, 64, 41, 41}, QStringLiteral("MAIN"), FormFont(9, true));
  connect(main, &QPushButton::clicked, this, [this] { Guard(this, [&] { ReturnToStartForm(); }); });

  Figures_ = MakeLabel(this, "RunFigures", LabelLook::kBlack);
  Figures_->setGeometry(kFiguresGeometry);
  Figures_->setTextFormat(Qt::PlainText);
  Figures_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Figures_->hide();

  for (std::size_t i = 0; i < motorNotes_.size(); ++i) {
    motorNotes_[i] = MakeLabel(this, kStageMotorPlaces[i].Note, LabelLook::kNavy);
    motorNotes_[i]->setTextFormat(Qt::PlainText);
    motorNotes_[i]->setWordWrap(true);
    motorNotes_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    motorNotes_[i]->hide();
  }
  connect(vehicleFiles_.get(), &VehicleFilesEntry::Chosen, this,
          [this] { Guard(this, [&] { ShowStageMotors(); }); });

  FieldNote_ = MakeLabel(this, "FieldNote", LabelLook::kRed);
  FieldNote_->setGeometry(kFieldNoteGeometry);
  FieldNote_->setTextFormat(Qt::PlainText);
  FieldNote_->setWordWrap(true);
  FieldNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FieldNote_->hide();

  setAcceptDrops(true);
  // The fields take text drops of their own; a parameter file dropped on them opens all the same.
  for (QLineEdit* field : findChildren<QLineEdit*>()) field->installEventFilter(this);
}

CalcForm::~CalcForm() = default;

void CalcForm::SetField(const char* field, double value, int digits) {
  auto* edit = findChild<QLineEdit*>(QString::fromLatin1(field));
  // Runs the field's change handler when the text differs from what the field held.
  edit->setText(LocalNumber(FormatGeneral(value, digits, DecimalSeparator())));
  edit->setCursorPosition(0);  // a number longer than its field shows its leading digits
}

void CalcForm::ShowControl(const char* name) {
  findChild<QWidget*>(QString::fromLatin1(name))->show();
}

void CalcForm::ApplyCaptions(CaptionGroup group) {
  const Language language = LanguageOf(state_.LangCode);
  const bool russian = language == Language::Russian, english = language == Language::English;
  if (group == CaptionGroup::kFixed || (!russian && !english)) return;  // German is the form's own text
  for (const Caption& caption : kCaptions) {
    if (caption.When != group) continue;
    SetCaption(findChild<QWidget*>(QString::fromLatin1(caption.Control)),
               QString::fromUtf8(russian ? caption.Russian : caption.English));
  }
}

void CalcForm::RevealBlock(Block block, CaptionGroup captions) {
  for (const LabelSpec& row : kLabels)
    if (row.Shown == block) ShowControl(row.Name);
  for (const FieldSpec& row : kFields)
    if (row.Shown == block && row.Label != nullptr) ShowControl(row.Label);
  ApplyCaptions(captions);
  for (const FieldSpec& row : kFields)
    if (row.Shown == block) ShowControl(row.Field);
}

void CalcForm::ActivateWithRecord() {
  // The figures and the note belong to a run of the values before.
  ShowFigures({});
  ShowNote({});
  for (const auto& [action, text] : menuTexts_) action->setText(Words(text));
  const Activation activation = Activate(state_.PresetRecord);
  for (const FormStep& step : activation.Steps) Play(step);
  // The activation chooses the classic drag laws only; the table is this form's own choice.
  if (inputs_.AeroModel == 2.0) SelectAeroModel(2);
  ShowStageMotors();
  if (activation.Fault) std::rethrow_exception(activation.Fault);
}

void CalcForm::Play(const FormStep& step) {
  switch (step.What) {
    case FormStep::Kind::kSet:
      inputs_.*step.Parameter = step.Value;
      return;
    case FormStep::Kind::kField:
      return WriteField(step.Parameter, step.Value, step.Digits);
    case FormStep::Kind::kDisplay:
      return WriteDisplay(step.Shows, step.Value);
    case FormStep::Kind::kAeroModel:
      return SelectAeroModel(static_cast<int>(step.Value));
    case FormStep::Kind::kTaskPicture:
      return ShowTaskPicture(step.Value);
    case FormStep::Kind::kReveal:
      return Reveal(step.Reveals);
    case FormStep::Kind::kGeneral:
      ApplyCaptions(CaptionGroup::kGeneral);
      return SetGraphButtonsCovered(true);
  }
}

void CalcForm::WriteField(Parameter parameter, double value, int digits) {
  const ParamName* bound = ParamOf(parameter);
  if (bound == nullptr || bound->Field.empty()) throw std::logic_error("no field for a parameter");
  SetField(std::string(bound->Field).c_str(), value, digits);
}

void CalcForm::WriteDisplay(FormStep::Display field, double value) {
  for (const DisplaySpec& row : kDisplays)
    if (row.Shows == field) return SetField(row.Field, value);
}

void CalcForm::SelectAeroModel(int item) {
  const QSignalBlocker byProgram(AeroBox1_);  // a choice by program is no change by the user
  AeroBox1_->setCurrentIndex(item);
  GreyConstantDrag();
}

void CalcForm::ShowTaskPicture(double TaskKind) {
  for (const TaskSketch& sketch : kTaskSketches)
    if (sketch.TaskKind == TaskKind) ShowControl(sketch.Control);
}

void CalcForm::Reveal(FormStep::Part part) {
  using Part = FormStep::Part;
  switch (part) {
    case Part::kVolume:
      return RevealBlock(Block::kVolume, CaptionGroup::kFixed);
    case Part::kStages:
      return RevealBlock(Block::kStage, CaptionGroup::kStage1);
    case Part::kRocketGraph:
      return ShowControl("ButtonP");
    case Part::kLevelFlight:
      return RevealBlock(Block::kLevelFlight, CaptionGroup::kFixed);
    case Part::kGasBlock:
      return RevealBlock(Block::kBuoyancy, CaptionGroup::kBuoyancy);
    case Part::kLiftGraph:
      return ShowControl("Button14");
  }
}

void CalcForm::TakeFieldText(QLineEdit* field, Parameter parameter, const QString& text) {
  const std::string typed = text.toStdString();
  double value = 0.0;
  // A text on its way to a number ("-" before "-88", an emptied field) is no fault worth a window of
  // its own: the field is marked and the form says why, until it holds a number again.
  switch (ParseNumber(ReadableNumber(text), DecimalSeparator(), value)) {
    case ParseResult::Ok:
      inputs_.*parameter = value;
      return MarkField(field, {});
    case ParseResult::NotANumber:
      return MarkField(field, QString::fromStdString("'" + typed + "' is not a valid floating point value"));
    case ParseResult::Overflow:
      return MarkField(field, QStringLiteral("Floating point overflow"));
  }
}

namespace {

// "H0 (Hoehe, Ho,m)": the parameter's name and the field's label as the form shows it.
QString FieldName(const QWidget& form, const QLineEdit& field) {
  QString name = field.objectName();
  for (const ParamName& p : kParamNames)
    if (p.Field == field.objectName().toStdString())
      name = QString::fromUtf8(p.Name.data(), static_cast<qsizetype>(p.Name.size()));
  for (const FieldSpec& row : kFields) {
    if (field.objectName() != QLatin1String(row.Field) || row.Label == nullptr) continue;
    if (const auto* label = form.findChild<QLabel*>(QString::fromLatin1(row.Label))) {
      QString caption = label->text();
      while (caption.endsWith(QLatin1Char('.')) || caption.endsWith(QLatin1Char(' '))) caption.chop(1);
      name += QStringLiteral(" (") + caption.simplified() + QStringLiteral(")");
    }
  }
  return name;
}

}  // namespace

void CalcForm::MarkField(QLineEdit* field, const QString& message) {
  QPalette palette = field->palette();
  if (message.isEmpty()) {
    fieldFaults_.remove(field);
    palette.setColor(QPalette::Base, this->palette().color(QPalette::Base));
    field->setToolTip({});
  } else {
    fieldFaults_.insert(field, message);
    palette.setColor(QPalette::Base, kFaultFill);
    field->setToolTip(message);
  }
  field->setPalette(palette);
  const QString fault = FirstFieldFault();
  FieldNote_->setText(fault);
  FieldNote_->setToolTip(fault);
  FieldNote_->setVisible(!fault.isEmpty());
}

QString CalcForm::FirstFieldFault() const {
  for (const FieldSpec& row : kFields) {
    auto* field = findChild<QLineEdit*>(QString::fromLatin1(row.Field));
    const auto fault = fieldFaults_.constFind(field);
    if (fault != fieldFaults_.constEnd()) return FieldName(*this, *field) + QStringLiteral(": ") + *fault;
  }
  return {};
}

void CalcForm::ChooseDragLaw(int index) {
  if (index >= 0 && index <= 2) inputs_.AeroModel = index;
  GreyConstantDrag();
}

void CalcForm::GreyConstantDrag() {
  // Under the drag table the constant coefficient does not fly: its field keeps its value, greyed.
  findChild<QLineEdit*>(QStringLiteral("EdCx"))->setEnabled(AeroBox1_->currentIndex() != 2);
}

void CalcForm::ShowGraph(std::shared_ptr<const RunResult> run, const FlightParameters& flown) {
  // Before any run there is nothing to scale the axes by: the same fault as a table of zeros.
  if (!run) RaiseFp(FpFault::DivisionByZero);
  // Only the rows the run stored: a short flight draws no line back to the origin.
  QImage graph = Comparing() ? ComparedGraphImage(Compared(*run, flown, selection_, VisibleFrame()))
                             : GraphImage(GraphOf(*run, selection_, VisibleFrame()));
  Image1_->setPixmap(QPixmap::fromImage(graph));
  shown_ = std::make_unique<ShownGraph>(ShownGraph{std::move(graph), std::move(run), selection_, flown});
}

bool CalcForm::Comparing() const {
  return !kept_.Empty() || measured_.has_value();
}

ComparedGraph CalcForm::Compared(const RunResult& run, const FlightParameters& flown,
                                 const GraphSelection& selection, QSizeF frame,
                                 std::vector<const KeptRun*>* sources) const {
  ComparedGraph g;
  g.Frame = frame;
  g.Selection = selection;
  g.Units = run.Units;
  g.DecimalSeparator = DecimalPoint();
  g.Language = state_.LangCode;
  g.FirstInBlack = true;
  g.Runs.push_back(RunCurves(run.Table, GraphRows(run.Table, run.Summary.SamplesStored), run.Units, run.Units,
                             selection, Words(Text::kThisRun)));
  if (sources != nullptr) sources->assign(1, nullptr);
  for (const KeptRun& k : kept_.Runs()) {
    if (k.Run.get() == &run) continue;  // the run on show, kept too
    if (sources != nullptr) sources->push_back(&k);
    g.Runs.push_back(RunCurves(k.Run->Table, GraphRows(k.Run->Table, k.Run->Summary.SamplesStored),
                               k.Run->Units, run.Units, selection, KeptRunName(k.Params, flown)));
  }
  if (measured_) {
    g.MeasuredName = Words(Text::kMeasured) + QString::fromStdString(measured_->Name);
    const int hColumn = selection.Columns[0];
    const MeasuredColumn* across = hColumn == kColT ? nullptr : measured_->Find(hColumn);
    if (hColumn == kColT || across != nullptr) {
      for (int f = 1; f < selection.Count - 1; ++f) {
        const int column = selection.Columns[static_cast<std::size_t>(f)];
        const MeasuredColumn* m = measured_->Find(column);
        if (m == nullptr) continue;
        MeasuredPoints points{column, {}};
        const double hf = StoredUnitFactor(hColumn, run.Units), vf = StoredUnitFactor(column, run.Units);
        for (std::size_t i = 0; i < m->Values.size(); ++i) {
          const std::optional<double> h =
              across ? across->Values[i] : std::optional<double>(measured_->Time[i]);
          if (h && m->Values[i]) points.Points.emplace_back(*h / hf, *m->Values[i] / vf);
        }
        g.Measured.push_back(std::move(points));
      }
    }
  }
  return g;
}

void CalcForm::Redraw() {
  if (!shown_) return;
  const RunResult& run = *shown_->Run;
  shown_->Image = Comparing()
                      ? ComparedGraphImage(Compared(run, shown_->Flown, shown_->Selection, VisibleFrame()))
                      : GraphImage(GraphOf(run, shown_->Selection, VisibleFrame()));
  Image1_->setPixmap(QPixmap::fromImage(shown_->Image));
}

QSizeF CalcForm::VisibleFrame() const {
  return QSizeF(Image1_->size()).boundedTo(kWholeGraph);
}

GraphInputs CalcForm::GraphOf(const RunResult& run, const GraphSelection& selection, QSizeF frame) const {
  return {run.Table,       selection,      GraphRows(run.Table, run.Summary.SamplesStored),
          run.Units,       DecimalPoint(), CurrentStyle(),
          state_.LangCode, frame};
}

QImage CalcForm::WholeGraph() const {
  // The classic graph is the picture on show; the others lie inside the plot area on show and are
  // drawn again over the whole picture.
  const RunResult& run = *shown_->Run;
  if (Comparing()) return ComparedGraphImage(Compared(run, shown_->Flown, shown_->Selection, kWholeGraph));
  if (CurrentStyle() == GraphStyle::Classic) return shown_->Image;
  return GraphImage(GraphOf(run, shown_->Selection, kWholeGraph));
}

QString CalcForm::KeptRunName(const FlightParameters& kept, const FlightParameters& shown) const {
  const std::string name = DifferenceName(kept, shown, DecimalSeparator());
  return name.empty() ? Words(Text::kSameValues) : QString::fromStdString(name);
}

void CalcForm::ShowRunNote() {
  if (!shown_) return ShowNote({});
  QString note = FewSamplesNote(*shown_->Run, state_.LangCode, DecimalSeparator());
  if (measured_) {
    if (!note.isEmpty()) note += QLatin1Char('\n');
    note += MeasuredNote(CompareWithRun(*measured_, *shown_->Run), state_.LangCode, DecimalSeparator());
  }
  // Which method flew the run, where it is not the classic one.
  const QString method = MethodNote(shown_->Flown, state_.LangCode);
  if (!method.isEmpty()) note += (note.isEmpty() ? QString() : QStringLiteral("\n")) + method;
  // And the Earth and air it flew over, where they are not the classic ones.
  const QString earth = EarthNote(shown_->Flown, state_.LangCode);
  if (!earth.isEmpty()) note += (note.isEmpty() ? QString() : QStringLiteral("\n")) + earth;
  ShowNote(note);
}

void CalcForm::ShowNote(const QString& note) {
  // Every line in sight: the note takes the empty stage frame below its place when no stage block
  // stands there, else the free corner under the title (unless the buoyancy fields stand there),
  // and a smaller face where it needs one, down to the smallest that still reads well.
  QRect place = kNoteGeometry;
  int room = kNoteRoomWithoutStages;
  if (Shown("EdMt")) {
    place = Shown("EdGas") || Shown("Volumen_Start") ? kNoteGeometry : kNoteBesideStages;
    room = place.height();
  }
  int height = place.height();
  for (const int pixels : {11, 10, 9, 8}) {
    SampleNote_->setFont(FormFont(pixels));
    height = QFontMetrics(SampleNote_->font())
                 .boundingRect(QRect(0, 0, place.width(), room), Qt::TextWordWrap, note)
                 .height();
    if (height <= room) break;
  }
  place.setHeight(std::clamp(height, place.height(), room));
  SampleNote_->setGeometry(place);
  SampleNote_->raise();
  SampleNote_->setText(note);
  SampleNote_->setToolTip(note);
  SampleNote_->setVisible(!note.isEmpty());
}

bool CalcForm::Shown(const char* name) const {
  return findChild<QWidget*>(QString::fromLatin1(name))->isVisibleTo(this);
}

void CalcForm::ShowFigures(const QString& text) {
  // Every line in sight: beside the stage block the figures may reach down to its frame, since the
  // note stands under the title there; elsewhere, and still too long, a smaller face.
  const bool besideStages = Shown("EdMt") && !Shown("EdGas") && !Shown("Volumen_Start");
  const int room = besideStages ? kFiguresRoomBesideStages : kFiguresGeometry.height();
  QRect place = kFiguresGeometry;
  for (const int pixels : {11, 10, 9, 8}) {
    Figures_->setFont(FormFont(pixels));
    const QRect needed =
        QFontMetrics(Figures_->font()).boundingRect(QRect(0, 0, place.width(), room), 0, text);
    place.setHeight(std::clamp(needed.height(), kFiguresGeometry.height(), room));
    if (needed.height() <= room && needed.width() <= place.width()) break;
  }
  Figures_->setGeometry(place);
  Figures_->setText(text);
  Figures_->setVisible(!text.isEmpty());
}

void CalcForm::ShowStageMotors() {
  // A wind profile gives the wind at each height: the one wind of the field does not fly.
  const auto profile = static_cast<std::size_t>(VehicleFileIndex("WindTable"));
  findChild<QLineEdit*>(QStringLiteral("edVwind"))->setEnabled(state_.Vehicle[profile].empty());
  for (std::size_t i = 0; i < motorNotes_.size(); ++i) {
    const std::filesystem::path& file = state_.Vehicle[i];
    QLabel* note = motorNotes_[i];
    const StageParameters& stage = kStageParameters[i];
    // The curve gives the propellant, the thrust and with them the Isp.
    for (const auto member : {stage.Mt, stage.Iud, stage.IudP, stage.Schub})
      findChild<QLineEdit*>(Utf8(ParamOf(member)->Field))->setEnabled(file.empty());
    const auto* heading = findChild<QLabel*>(QString::fromLatin1(kStageMotorPlaces[i].Heading));
    if (file.empty() || !heading->isVisibleTo(this)) {
      note->hide();
      continue;
    }
    VehiclePaths one{};
    one[i] = file;
    QString text, tip;
    try {
      const std::shared_ptr<const VehicleTables> read = ReadVehicle(one);
      const std::optional<StageMotor>& motor = read->Motors[i];
      const auto number = [](double v) { return LocalNumber(FormatGeneral(v, 4, DecimalSeparator())); };
      text = Words(Text::kMotorInStage)
                 .arg(QString::fromStdString(motor->Name), number(motor->Curve.TotalImpulse()),
                      number(motor->Curve.BurnTime()));
      tip = VehicleFileView(*read, i, state_.LangCode);
    } catch (const Error& e) {
      // START refuses it with this message; until then the stage names the file it would fly.
      text = QString::fromStdString(file.filename().string());
      tip = QString::fromStdString(e.what());
    }
    const int left = heading->x() + heading->sizeHint().width() + 6;
    note->setGeometry(left, heading->y() - kMotorNoteAbove, kMotorNoteRight - left, kMotorNoteHeight);
    for (const int pixels : {10, 9, 8}) {
      note->setFont(FormFont(pixels));
      if (QFontMetrics(note->font())
              .boundingRect(QRect(0, 0, note->width(), kMotorNoteHeight), Qt::TextWordWrap, text)
              .height() <= kMotorNoteHeight)
        break;
    }
    note->setText(text);
    note->setToolTip(tip + QLatin1Char('\n') + QString::fromStdString(file.string()));
    note->show();
  }
}

void CalcForm::UpdateReadout(QPointF pointer) {
  const RunResult* run = ShownRun();
  QString text;
  if (run != nullptr && Comparing()) {
    std::vector<const KeptRun*> sources;
    const ComparedGraph graph = Compared(*run, shown_->Flown, shown_->Selection, VisibleFrame(), &sources);
    const PointedAt at = PointNearest(graph, pointer);
    if (at.Found && at.Measured) {
      // The measured point itself: its horizontal value and its value, in the graph's units.
      const QPointF point = graph.Measured[at.Set].Points[at.Index];
      text = graph.MeasuredName + QLatin1Char('\n') +
             QString::fromStdString(
                 ReadoutLine(shown_->Selection.Columns[0], point.x(), run->Units, DecimalSeparator())) +
             QLatin1Char('\n') +
             QString::fromStdString(
                 ReadoutLine(graph.Measured[at.Set].Column, point.y(), run->Units, DecimalSeparator()));
    } else if (at.Found) {
      // The row of the run whose curve is under the pointer, in the units on show.
      const KeptRun* kept = sources[at.Set];
      const RunResult& of = kept != nullptr ? *kept->Run : *run;
      const int row = static_cast<int>(at.Index) + 1;
      TrajectoryTable table = of.Table;
      for (int c = 0; c < TrajectoryTable::kColumns; ++c)
        table.Cell(c, row) *= StoredUnitFactor(c, of.Units) / StoredUnitFactor(c, run->Units);
      text =
          graph.Runs[at.Set].Name + QStringLiteral(":\n") +
          QString::fromStdString(ReadoutText(table, shown_->Selection, run->Units, row, DecimalSeparator()));
    }
  } else if (run != nullptr) {
    const int row = RowUnderPointer(GraphOf(*run, shown_->Selection, VisibleFrame()), pointer.x());
    if (row != 0)
      text = QString::fromStdString(
          ReadoutText(run->Table, shown_->Selection, run->Units, row, DecimalSeparator()));
  }
  Image1_->setToolTip(text);
  // A tip on show follows the pointer; otherwise the toolkit shows this one after its delay.
  if (QToolTip::isVisible()) {
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(QCursor::pos(), text, Image1_);
    }
  }
}

bool CalcForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1_) {
    if (event->type() == QEvent::MouseMove) UpdateReadout(static_cast<QMouseEvent*>(event)->position());
    return false;
  }
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (ParamFileIn(drop->mimeData()).isEmpty()) return false;  // the field's own drop
      if (event->type() == QEvent::Drop) {
        dropEvent(drop);
      } else {
        drop->acceptProposedAction();
      }
      return true;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
}

void CalcForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!ParamFileIn(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CalcForm::dropEvent(QDropEvent* event) {
  const QString file = ParamFileIn(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  Guard(this, [&] { OpenParamFile(file); });
}

void CalcForm::OpenParamFile(const QString& fileName) {
  ParamFileContents file = ReadParamContents(LocalPath(fileName));  // refused: nothing changes
  paramFile_ = fileName;
  state_.PresetRecord = file.Record;
  state_.Vehicle = std::move(file.Paths);
  // The graph on show belongs to the flight before: blank until START flies the file's values.
  QImage blank(kBlankPlot, QImage::Format_RGB32);
  blank.fill(Qt::white);
  Image1_->setPixmap(QPixmap::fromImage(blank));
  shown_.reset();
  Image1_->setToolTip({});
  // The form shows the file's task alone, as if no other had been chosen before it.
  ConcealTaskControls();
  ClearConcealedFields();
  ActivateWithRecord();
}

void CalcForm::ConcealTaskControls() {
  for (const TaskPicture& picture : kTaskPictures)
    findChild<QWidget*>(QString::fromLatin1(picture.Control))->hide();
  for (const LabelSpec& row : kLabels)
    if (row.Shown != Block::kAlways) findChild<QWidget*>(QString::fromLatin1(row.Name))->hide();
  for (const FieldSpec& row : kFields) {
    if (row.Shown == Block::kAlways) continue;
    findChild<QWidget*>(QString::fromLatin1(row.Field))->hide();
    if (row.Label != nullptr) findChild<QWidget*>(QString::fromLatin1(row.Label))->hide();
  }
  for (const GraphPlace& place : kGraphPlaces)
    if (place.HiddenAtFirst) findChild<QWidget*>(QString::fromLatin1(place.Component))->hide();
}

void CalcForm::ClearConcealedFields() {
  // A hidden field is empty, as before any task showed it, until the activation writes it; its
  // parameter takes the file's value: no value of the task before stays behind.
  for (const FieldSpec& row : kFields) {
    auto* field = findChild<QLineEdit*>(QString::fromLatin1(row.Field));
    if (field->isVisibleTo(this)) continue;
    {
      const QSignalBlocker byProgram(field);  // an empty field is no number the user typed
      field->clear();
    }
    if (fieldFaults_.contains(field)) MarkField(field, {});
  }
}

void CalcForm::ChooseParamFileToOpen() {
  const QString dir = paramFile_.isEmpty() ? QString() : QFileInfo(paramFile_).absolutePath();
  const QString name = ChooseOpenFile(this, Words(Text::kOpenParamsTitle), dir, Words(Text::kParamFiles));
  if (!name.isEmpty()) OpenParamFile(name);
}

void CalcForm::SaveParamFile() {
  const QString suggested = paramFile_.isEmpty() ? QStringLiteral("Zarn.zarn") : paramFile_;
  const QString name =
      ChooseSaveFile(this, Words(Text::kSaveParamsTitle), suggested, Words(Text::kParamFiles));
  if (name.isEmpty()) return;
  WriteParamFile(LocalPath(name), PresetRecordInEffect(inputs_), state_.Vehicle);
  paramFile_ = name;
}

void CalcForm::SetGraphButtonsCovered(bool cover) {
  // Covered buttons are out of reach of the keyboard too: before a run there is nothing to draw.
  for (const GraphEntry& graph : GraphButtons())
    findChild<QWidget*>(Utf8(graph.Component))->setEnabled(!cover);
  if (cover) {
    Panel6_->raise();
  } else {
    Panel6_->lower();
  }
}

void CalcForm::StartRun() {
  // Parameters with which no run can start leave the buttons as they were: no new table to show.
  // A field that holds no number would fly a value the user no longer sees.
  if (const QString fault = FirstFieldFault(); !fault.isEmpty())
    throw Error((Words(Text::kStartRefused) + fault).toStdString());
  // The files as they are now: one changed or gone since it was chosen is refused before the run.
  inputs_.Vehicle = ReadVehicle(state_.Vehicle);
  ValidateRun(inputs_, DecimalSeparator());
  ShowNote({});
  SetGraphButtonsCovered(false);
  run_ = std::make_unique<FlightRun>(inputs_, resultsDir_.isEmpty() ? QStringLiteral(".") : resultsDir_, this,
                                     Words(Text::kComputing), Words(Text::kCancel));
  connect(run_.get(), &FlightRun::Finished, this,
          [this](const std::shared_ptr<const RunResult>& result, const QString& error) {
            Guard(this, [&] { RunFinished(result, error); });
          });
}

void CalcForm::RunFinished(const std::shared_ptr<const RunResult>& result, const QString& error) {
  const FlightParameters flown = run_->Parameters();
  const bool cancelled = run_->Cancelled();
  run_.release()->deleteLater();  // it is sending this signal
  if (!result) throw Error((cancelled ? Words(Text::kRunCancelled) : error).toStdString());
  SelectGraph(DefaultGraph(), selection_);
  ShowGraph(result, flown);
  ShowRunNote();
  QString figures =
      FiguresText(KeyFiguresOf(flown, *result), result->Units, state_.LangCode, DecimalSeparator());
  // The classic wind model treats a tail wind and a head wind alike in places: say which one flew.
  if (flown.Vwind != 0.0 && flown.WindModel == 0.0) figures += QLatin1Char('\n') + Words(Text::kClassicWind);
  ShowFigures(figures);
}

void CalcForm::ShowGraphOfButton(const GraphEntry& graph) {
  SelectGraph(graph, selection_);
  ShowGraph(shown_ ? shown_->Run : nullptr, shown_ ? shown_->Flown : FlightParameters{});
}

void CalcForm::ReturnToStartForm() {
  QImage blank(kBlankPlot, QImage::Format_RGB32);
  blank.fill(Qt::white);
  Image1_->raise();
  Image1_->setPixmap(QPixmap::fromImage(blank));
  Image1_->update();
  shown_.reset();
  Image1_->setToolTip({});
  ShowFigures({});
  close();
  startForm_.show();
  startForm_.activateWindow();
}

void CalcForm::OpenPlotMenu(const QPoint& position) {
  // Nothing to save or copy while the plot shows the artwork or a blank.
  const bool graph = shown_ != nullptr;
  for (QAction* action : {saveGraph_, saveTable_, copyGraph_, keepRun_}) action->setEnabled(graph);
  clearKept_->setEnabled(!kept_.Empty());
  clearMeasured_->setEnabled(measured_.has_value());
  plotMenu_->popup(Image1_->mapToGlobal(position));
}

void CalcForm::SaveGraph() {
  if (!shown_) return;
  const QString name =
      ChooseSaveFile(this, Words(Text::kSaveGraphTitle),
                     QDir(exportDir_).filePath(QStringLiteral("Zarn_graph.png")), Words(Text::kGraphFiles));
  if (name.isEmpty()) return;  // the user changed their mind
  // A drawing is painted afresh onto its vector device; any other name takes the bitmap on show.
  const QString extension = QFileInfo(name).suffix().toLower();
  if ((extension == QLatin1String("svg") || extension == QLatin1String("pdf")) && Comparing()) {
    SaveComparedGraph(Compared(*shown_->Run, shown_->Flown, shown_->Selection, kWholeGraph), LocalPath(name),
                      extension == QLatin1String("svg") ? "SVG" : "PDF");
  } else if (extension == QLatin1String("svg") || extension == QLatin1String("pdf")) {
    SaveGraphPicture(GraphOf(*shown_->Run, shown_->Selection, kWholeGraph), LocalPath(name),
                     extension == QLatin1String("svg") ? "SVG" : "PDF");
  } else {
    SaveGraphPng(WholeGraph(), LocalPath(name));
  }
  exportDir_ = QFileInfo(name).absolutePath();  // a failed save does not send the next dialog there
}

GraphStyle CalcForm::CurrentStyle() const {
  return clearStyle_->isChecked() ? GraphStyle::Clear : GraphStyle::Classic;
}

void CalcForm::RedrawInChosenStyle() {
  Redraw();
}

void CalcForm::ChooseResultsFolder() {
  const QString dir = ChooseFolder(this, Words(Text::kResultsFolderTitle),
                                   resultsDir_.isEmpty() ? QDir::currentPath() : resultsDir_);
  if (!dir.isEmpty()) resultsDir_ = dir;
}

void CalcForm::KeepRun() {
  if (!shown_) return;
  kept_.Keep(shown_->Run, shown_->Flown);
  Redraw();
}

void CalcForm::ClearKeptRuns() {
  kept_.Clear();
  Redraw();
}

void CalcForm::ChooseMeasuredData() {
  const QString name =
      ChooseOpenFile(this, Words(Text::kOpenMeasuredTitle), exportDir_, Words(Text::kCsvFiles));
  if (!name.isEmpty()) OpenMeasured(name);
}

void CalcForm::OpenMeasured(const QString& fileName) {
  measured_ = ReadMeasuredData(LocalPath(fileName));  // refused: the data before stay
  Redraw();
  ShowRunNote();
}

void CalcForm::ClearMeasuredData() {
  measured_.reset();
  Redraw();
  ShowRunNote();
}

void CalcForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The form was drawn for a screen of 1400 pixels or more; on a smaller one its commands at the
  // top right would stand off the screen.
  if (const QScreen* where = screen()) {
    const QRect frame = frameGeometry();
    const QPoint inside = PlacedInside(frame, where->availableGeometry());
    if (inside != frame.topLeft()) move(inside);
  }
}

void CalcForm::SaveTable() {
  if (!shown_) return;
  const QString name =
      ChooseSaveFile(this, Words(Text::kSaveTableTitle),
                     QDir(exportDir_).filePath(QStringLiteral("Zarn_table.csv")), Words(Text::kCsvFiles));
  if (name.isEmpty()) return;
  const RunResult& run = *shown_->Run;
  WriteTableCsv(LocalPath(name), run.Table, run.Units, run.Summary.SamplesStored,
                FliesInThreeDimensions(shown_->Flown));
  exportDir_ = QFileInfo(name).absolutePath();
}

void CalcForm::CopyGraph() {
  if (shown_) QGuiApplication::clipboard()->setImage(WholeGraph());
}

}  // namespace zarn::ui
