#include "ui/vehicle_dialog.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "flight/number_text.h"
#include "models/vehicle_tables.h"
#include "records/errors.h"
#include "records/language.h"
#include "ui/file_chooser.h"
#include "ui/guard.h"
#include "ui/window_texts.h"

namespace zarn::ui {
namespace {

// The rows of the dialog, by kVehicleFileNames: the label and what the first column of a table is.
struct FileRow {
  Text Label;
  int Stage;      // 1..3 for a motor or a stage's drag table, else 0
  Text Argument;  // the first column of a table; kCount for a motor
  const char* Unit;
};
constexpr FileRow kFileRows[] = {
    {Text::kMotorLabel, 1, Text::kCount, ""},        {Text::kMotorLabel, 2, Text::kCount, ""},
    {Text::kMotorLabel, 3, Text::kCount, ""},        {Text::kCdTableLabel, 0, Text::kMach, ""},
    {Text::kCdTableStageLabel, 2, Text::kMach, ""},  {Text::kCdTableStageLabel, 3, Text::kMach, ""},
    {Text::kWindTableLabel, 0, Text::kHeight, " m"}, {Text::kPitchTableLabel, 0, Text::kTime, " s"},
};
static_assert(std::size(kFileRows) == kVehicleFileNames.size(), "a row per vehicle file");

QString Number(double v) {
  return LocalNumber(FormatGeneral(v, 6, DecimalSeparator()));
}

const LinearTable* TableOf(const VehicleTables& read, std::size_t index) {
  const auto given = [](const std::optional<LinearTable>& t) { return t ? &*t : nullptr; };
  if (index >= 3 && index < 6) return given(read.Cd[index - 3]);
  if (index == 6) return given(read.WindAlong);
  if (index == 7) return given(read.Pitch);
  return nullptr;
}

}  // namespace

QString VehicleFileView(const VehicleTables& read, std::size_t index, int32_t LangCode) {
  if (index < 3) {
    const std::optional<StageMotor>& motor = read.Motors[index];
    if (!motor) return {};
    return Words(Text::kMotorView, LangCode)
        .arg(QString::fromStdString(motor->Name), Number(motor->Curve.TotalImpulse()),
             Number(motor->Curve.BurnTime()));
  }
  const LinearTable* table = TableOf(read, index);
  if (table == nullptr || table->Empty()) return {};
  const FileRow& row = kFileRows[index];
  QString view =
      Words(Text::kTableView, LangCode)
          .arg(QString::number(table->Rows().size()), Words(row.Argument, LangCode),
               Number(table->Rows().front().X), Number(table->Rows().back().X) + QLatin1String(row.Unit));
  if (index == 6 && read.WindAcross) view += Words(Text::kWithCrossWind, LangCode);
  return view;
}

VehicleFilesEntry::VehicleFilesEntry(QMenu& menu, VehiclePaths& paths, const int32_t& LangCode, QWidget& form)
    : paths_(paths), LangCode_(LangCode), form_(form) {
  entry_ = menu.addAction(Words(Text::kVehicleEntry, kLangEnglish), this,
                          [this] { Guard(&form_, [&] { Open(); }); });
  entry_->setObjectName(Words(Text::kVehicleEntry, kLangEnglish));
  connect(&menu, &QMenu::aboutToShow, this,
          [this] { entry_->setText(Words(Text::kVehicleEntry, LangCode_)); });
}

void VehicleFilesEntry::Build() {
  dialog_ = new QDialog(&form_);
  dialog_->setObjectName(QStringLiteral("VehicleFiles"));
  dialog_->setWindowModality(Qt::WindowModal);
  auto* grid = new QGridLayout(dialog_);
  for (std::size_t i = 0; i < kFiles; ++i) {
    const QString name =
        QString::fromUtf8(kVehicleFileNames[i].data(), static_cast<qsizetype>(kVehicleFileNames[i].size()));
    const int row = 2 * static_cast<int>(i);
    labels_[i] = new QLabel(dialog_);
    paths_shown_[i] = new QLineEdit(dialog_);
    paths_shown_[i]->setObjectName(name);
    paths_shown_[i]->setReadOnly(true);
    paths_shown_[i]->setMinimumWidth(320);
    choose_[i] = new QPushButton(dialog_);
    choose_[i]->setObjectName(name + QStringLiteral("Choose"));
    clear_[i] = new QPushButton(dialog_);
    clear_[i]->setObjectName(name + QStringLiteral("Clear"));
    views_[i] = new QLabel(dialog_);
    views_[i]->setObjectName(name + QStringLiteral("View"));
    views_[i]->setTextFormat(Qt::PlainText);
    grid->addWidget(labels_[i], row, 0);
    grid->addWidget(paths_shown_[i], row, 1);
    grid->addWidget(choose_[i], row, 2);
    grid->addWidget(clear_[i], row, 3);
    grid->addWidget(views_[i], row + 1, 1, 1, 3);
    connect(choose_[i], &QPushButton::clicked, this, [this, i] { Guard(dialog_, [&] { Choose(i); }); });
    connect(clear_[i], &QPushButton::clicked, this, [this, i] { Clear(i); });
  }
  const int last = 2 * static_cast<int>(kFiles);
  fault_ = new QLabel(dialog_);
  fault_->setObjectName(QStringLiteral("VehicleFilesFault"));
  fault_->setTextFormat(Qt::PlainText);
  fault_->setWordWrap(true);
  fault_->setStyleSheet(QStringLiteral("color: #b00000"));
  grid->addWidget(fault_, last, 0, 1, 4);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog_);
  grid->addWidget(buttons_, last + 1, 0, 1, 4);
  connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
    paths_ = chosen_;
    dialog_->accept();
    emit Chosen();
  });
  connect(buttons_, &QDialogButtonBox::rejected, dialog_, &QDialog::reject);
}

void VehicleFilesEntry::Open() {
  if (dialog_ == nullptr) Build();
  chosen_ = paths_;
  dialog_->setWindowTitle(Words(Text::kVehicleTitle, LangCode_));
  for (std::size_t i = 0; i < kFiles; ++i) {
    const FileRow& row = kFileRows[i];
    const QString label = Words(row.Label, LangCode_);
    labels_[i]->setText(row.Stage == 0 ? label : label.arg(row.Stage));
    choose_[i]->setText(Words(Text::kChooseFile, LangCode_));
    clear_[i]->setText(Words(Text::kClearFile, LangCode_));
    paths_shown_[i]->setPlaceholderText(Words(Text::kNoFile, LangCode_));
  }
  buttons_->button(QDialogButtonBox::Ok)->setText(Words(Text::kOk, LangCode_));
  buttons_->button(QDialogButtonBox::Cancel)->setText(Words(Text::kCancel, LangCode_));
  fault_->clear();
  fault_->hide();
  // What the files hold now; a file that no longer reads says so and keeps its row.
  for (std::size_t i = 0; i < kFiles; ++i) {
    std::shared_ptr<const VehicleTables> read;
    if (!chosen_[i].empty()) {
      VehiclePaths one{};
      one[i] = chosen_[i];
      try {
        read = ReadVehicle(one);
      } catch (const Error& e) {
        fault_->setText(QString::fromStdString(e.what()));
        fault_->show();
      }
    }
    ShowRow(i, read.get());
  }
  dialog_->adjustSize();
  dialog_->open();
}

void VehicleFilesEntry::Choose(std::size_t index) {
  const bool motor = index < 3;
  const QString dir = chosen_[index].empty()
                          ? QString()
                          : QFileInfo(QString::fromStdString(chosen_[index].string())).absolutePath();
  const QString name = ChooseOpenFile(dialog_, Words(Text::kOpenVehicleTitle, LangCode_), dir,
                                      Words(motor ? Text::kMotorFiles : Text::kCsvFiles, LangCode_));
  if (name.isEmpty()) return;
  VehiclePaths one{};
  one[index] = LocalPath(name);
  std::shared_ptr<const VehicleTables> read;
  try {
    read = ReadVehicle(one);
  } catch (const Error& e) {
    // Refused as START would refuse it, but here and now, and the row keeps its file.
    fault_->setText(QString::fromStdString(e.what()));
    fault_->show();
    return;
  }
  fault_->clear();
  fault_->hide();
  chosen_[index] = one[index];
  ShowRow(index, read.get());
}

void VehicleFilesEntry::Clear(std::size_t index) {
  chosen_[index].clear();
  ShowRow(index, nullptr);
}

void VehicleFilesEntry::ShowRow(std::size_t index, const VehicleTables* read) {
  paths_shown_[index]->setText(QString::fromStdString(chosen_[index].string()));
  views_[index]->setText(read == nullptr ? QString() : VehicleFileView(*read, index, LangCode_));
  clear_[index]->setEnabled(!chosen_[index].empty());
}

}  // namespace zarn::ui
