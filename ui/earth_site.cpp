#include "ui/earth_site.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <limits>

#include "flight/number_text.h"
#include "models/earth.h"
#include "records/errors.h"
#include "records/language.h"
#include "ui/guard.h"
#include "ui/window_texts.h"

namespace zarn::ui {
namespace {

using FP = FlightParameters;
constexpr double kNoBound = std::numeric_limits<double>::infinity();

// The dialog's number fields: each a parameter, the values it takes, and what an empty field
// means (the standard value the flight takes for 0, or 0 itself).
struct SiteField {
  const char* Name;  // the parameter's name, also the field's
  Text Label;
  double FP::*Member;
  double Low;
  double High;
  double WhenEmpty;  // shown as the field's hint; the parameter holds 0
};
constexpr SiteField kSiteFields[] = {
    {"EarthRadius", Text::kEarthRadiusLabel, &FP::EarthRadius, 0.0, kNoBound, kMeanEarthRadius},
    {"EarthMu", Text::kEarthMuLabel, &FP::EarthMu, 0.0, kNoBound, kWgs84Mu},
    {"EarthRate", Text::kEarthRateLabel, &FP::EarthRate, 0.0, kNoBound, kWgs84Rate},
    {"LaunchLat", Text::kLaunchLatLabel, &FP::LaunchLat, -90.0, 90.0, 0.0},
    {"LaunchLon", Text::kLaunchLonLabel, &FP::LaunchLon, -360.0, 360.0, 0.0},
    {"Azimuth", Text::kAzimuthLabel, &FP::Azimuth, -360.0, 360.0, 0.0},
    {"VwindCross", Text::kCrossWindLabel, &FP::VwindCross, -kNoBound, kNoBound, 0.0},
};

constexpr Text kEarthModels[] = {Text::kEarthFlat, Text::kEarthSphere, Text::kEarthRotatingSphere,
                                 Text::kEarthEllipsoid};
constexpr Text kAtmospheres[] = {Text::kAtmosphereTable, Text::kAtmosphereUs76};

QString Number(double v, int digits = kFieldDigits) {
  return LocalNumber(FormatGeneral(v, digits, DecimalSeparator()));
}

// The item of a choice that a parameter holds; -1 when it holds none of them (a file may say so).
int ItemOf(double value, std::size_t items) {
  for (std::size_t i = 0; i < items; ++i)
    if (value == static_cast<double>(i)) return static_cast<int>(i);
  return -1;
}

}  // namespace

QString EarthNote(const FlightParameters& p, int32_t LangCode) {
  QString note;
  const int earth = ItemOf(p.EarthModel, std::size(kEarthModels));
  if (earth > 0)
    note =
        Words(Text::kEarthNote, LangCode).arg(Words(kEarthModels[static_cast<std::size_t>(earth)], LangCode));
  if (p.AtmosphereModel == 1.0) {
    if (!note.isEmpty()) note += QLatin1Char('\n');
    note += Words(Text::kAtmosphereNote, LangCode).arg(Words(Text::kAtmosphereUs76, LangCode));
  }
  return note;
}

EarthSiteEntry::EarthSiteEntry(QMenu& menu, FlightParameters& inputs, const int32_t& LangCode, QWidget& form)
    : inputs_(inputs), LangCode_(LangCode), form_(form) {
  menu.addSeparator();
  entry_ = menu.addAction(Words(Text::kEarthEntry, kLangEnglish), this,
                          [this] { Guard(&form_, [&] { Open(); }); });
  entry_->setObjectName(Words(Text::kEarthEntry, kLangEnglish));
  connect(&menu, &QMenu::aboutToShow, this, [this] { entry_->setText(Words(Text::kEarthEntry, LangCode_)); });
}

void EarthSiteEntry::Build() {
  dialog_ = new QDialog(&form_);
  dialog_->setObjectName(QStringLiteral("EarthSite"));
  dialog_->setWindowModality(Qt::WindowModal);
  auto* grid = new QGridLayout(dialog_);
  int row = 0;
  const auto choice = [&](const char* name, QLabel*& label, QComboBox*& box, std::size_t items) {
    label = new QLabel(dialog_);
    box = new QComboBox(dialog_);
    box->setObjectName(QString::fromLatin1(name));
    for (std::size_t i = 0; i < items; ++i) box->addItem({});
    label->setBuddy(box);
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row++, 1);
  };
  choice("EarthModel", earthLabel_, earth_, std::size(kEarthModels));
  for (std::size_t i = 0; i < kNumberFields; ++i) {
    labels_[i] = new QLabel(dialog_);
    edits_[i] = new QLineEdit(dialog_);
    edits_[i]->setObjectName(QString::fromLatin1(kSiteFields[i].Name));
    labels_[i]->setBuddy(edits_[i]);
    grid->addWidget(labels_[i], row, 0);
    grid->addWidget(edits_[i], row++, 1);
  }
  choice("AtmosphereModel", atmosphereLabel_, atmosphere_, std::size(kAtmospheres));
  fault_ = new QLabel(dialog_);
  fault_->setObjectName(QStringLiteral("EarthSiteFault"));
  fault_->setTextFormat(Qt::PlainText);
  fault_->setWordWrap(true);
  fault_->setStyleSheet(QStringLiteral("color: #b00000"));
  grid->addWidget(fault_, row++, 0, 1, 2);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog_);
  grid->addWidget(buttons_, row, 0, 1, 2);
  grid->setColumnMinimumWidth(1, 220);
  connect(buttons_, &QDialogButtonBox::accepted, this, [this] { Guard(dialog_, [&] { Take(); }); });
  connect(buttons_, &QDialogButtonBox::rejected, dialog_, &QDialog::reject);
}

void EarthSiteEntry::Open() {
  if (dialog_ == nullptr) Build();
  // The texts of the form's language and the values the parameters hold now.
  dialog_->setWindowTitle(Words(Text::kEarthTitle, LangCode_));
  earthLabel_->setText(Words(Text::kEarthModelLabel, LangCode_));
  atmosphereLabel_->setText(Words(Text::kAtmosphereLabel, LangCode_));
  for (std::size_t i = 0; i < std::size(kEarthModels); ++i)
    earth_->setItemText(static_cast<int>(i), Words(kEarthModels[i], LangCode_));
  for (std::size_t i = 0; i < std::size(kAtmospheres); ++i)
    atmosphere_->setItemText(static_cast<int>(i), Words(kAtmospheres[i], LangCode_));
  earth_->setCurrentIndex(ItemOf(inputs_.EarthModel, std::size(kEarthModels)));
  atmosphere_->setCurrentIndex(ItemOf(inputs_.AtmosphereModel, std::size(kAtmospheres)));
  for (std::size_t i = 0; i < kNumberFields; ++i) {
    const SiteField& f = kSiteFields[i];
    labels_[i]->setText(Words(f.Label, LangCode_));
    edits_[i]->setPlaceholderText(Words(Text::kStandardValue, LangCode_).arg(Number(f.WhenEmpty, 10)));
    const double value = inputs_.*f.Member;
    edits_[i]->setText(value == 0.0 ? QString() : Number(value));
  }
  buttons_->button(QDialogButtonBox::Ok)->setText(Words(Text::kOk, LangCode_));
  buttons_->button(QDialogButtonBox::Cancel)->setText(Words(Text::kCancel, LangCode_));
  fault_->clear();
  fault_->hide();
  dialog_->adjustSize();
  dialog_->open();
}

void EarthSiteEntry::Take() {
  std::array<double, kNumberFields> values{};
  for (std::size_t i = 0; i < kNumberFields; ++i) {
    const SiteField& f = kSiteFields[i];
    const QString typed = edits_[i]->text().trimmed();
    const QString name =
        labels_[i]->text() + QStringLiteral(" (") + QString::fromLatin1(f.Name) + QLatin1Char(')');
    QString fault;
    if (!typed.isEmpty() &&
        ParseNumber(ReadableNumber(typed), DecimalSeparator(), values[i]) != ParseResult::Ok) {
      fault = Words(Text::kNotANumber, LangCode_).arg(name, typed);
    } else if (f.Low == 0.0 && values[i] < 0.0) {
      fault = Words(Text::kBelowZero, LangCode_).arg(name, typed);
    } else if (values[i] < f.Low || values[i] > f.High) {
      fault = Words(Text::kOutside, LangCode_).arg(name, typed, Number(f.Low), Number(f.High));
    }
    if (fault.isEmpty()) continue;
    fault_->setText(fault);
    fault_->show();
    edits_[i]->setFocus();
    edits_[i]->selectAll();
    return;
  }
  for (std::size_t i = 0; i < kNumberFields; ++i) inputs_.*kSiteFields[i].Member = values[i];
  // A choice the dialog could not show stays as the file gave it.
  if (earth_->currentIndex() >= 0) inputs_.EarthModel = earth_->currentIndex();
  if (atmosphere_->currentIndex() >= 0) inputs_.AtmosphereModel = atmosphere_->currentIndex();
  dialog_->accept();
}

}  // namespace zarn::ui
