#pragma once
// The plot menu's entry for the Earth under a flight, the launch site and the atmosphere: a dialog
// over those parameters of the form. START flies what it leaves there and a parameter file keeps
// it, as it keeps the method and the wind model.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

#include "records/parameters.h"

class QAction;
class QComboBox;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QMenu;
class QWidget;

namespace zarn::ui {

// The Earth and the atmosphere a run took where they are not the flat Earth and the table, one
// line each; else empty.
QString EarthNote(const FlightParameters& p, int32_t LangCode);

class EarthSiteEntry : public QObject {
  Q_OBJECT

 public:
  // Adds the entry to `menu`. The dialog is a window of `form`, in the language `LangCode` holds;
  // its OK writes `inputs`, its Cancel leaves them alone.
  EarthSiteEntry(QMenu& menu, FlightParameters& inputs, const int32_t& LangCode, QWidget& form);

 private:
  void Open();
  // Takes the dialog's values, or names the first that cannot be taken and keeps the dialog open.
  void Take();
  void Build();

  static constexpr std::size_t kNumberFields = 7;
  FlightParameters& inputs_;
  const int32_t& LangCode_;
  QWidget& form_;
  QAction* entry_;
  QDialog* dialog_ = nullptr;  // a child of the form, made when first opened
  QComboBox* earth_ = nullptr;
  QComboBox* atmosphere_ = nullptr;
  QLabel* earthLabel_ = nullptr;
  QLabel* atmosphereLabel_ = nullptr;
  std::array<QLineEdit*, kNumberFields> edits_{};
  std::array<QLabel*, kNumberFields> labels_{};
  QLabel* fault_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace zarn::ui
