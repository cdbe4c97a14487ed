#pragma once
// The plot menu's entry for one's own vehicle's files: a motor for each stage, drag tables, a wind
// profile and a pitch program. The dialog chooses or clears each file and shows what it read; a
// file the reader refuses is refused there at once with the reader's message. START reads the
// files the paths name again, so that it flies them as they are then.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

#include "input/vehicle_files.h"

class QAction;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace zarn::ui {

// What a vehicle file of kind `index` (by kVehicleFileNames) gave: a motor's name, total impulse
// and burn time; a table's rows and the range of its first column.
QString VehicleFileView(const VehicleTables& read, std::size_t index, int32_t LangCode);

class VehicleFilesEntry : public QObject {
  Q_OBJECT

 public:
  // Adds the entry to `menu`. The dialog is a window of `form`, in the language `LangCode` holds;
  // its OK writes `paths`, its Cancel leaves them alone.
  VehicleFilesEntry(QMenu& menu, VehiclePaths& paths, const int32_t& LangCode, QWidget& form);

 signals:
  // OK wrote the paths.
  void Chosen();

 private:
  static constexpr std::size_t kFiles = kVehicleFileNames.size();
  void Build();
  void Open();
  // Asks for the file of row `index` and reads it; a refused file leaves the row as it was.
  void Choose(std::size_t index);
  void Clear(std::size_t index);
  // The row's path and what its file gave, from `read` (null: nothing read).
  void ShowRow(std::size_t index, const VehicleTables* read);

  VehiclePaths& paths_;
  const int32_t& LangCode_;
  QWidget& form_;
  QAction* entry_;
  VehiclePaths chosen_;  // the dialog's paths until OK
  QDialog* dialog_ = nullptr;
  std::array<QLabel*, kFiles> labels_{};
  std::array<QLineEdit*, kFiles> paths_shown_{};
  std::array<QLabel*, kFiles> views_{};
  std::array<QPushButton*, kFiles> choose_{};
  std::array<QPushButton*, kFiles> clear_{};
  QLabel* fault_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace zarn::ui
