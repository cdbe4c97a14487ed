#pragma once
// The plot menu's accuracy entries: the method that flies a run, the wind model, and a check of
// the step that flies the form's parameters again with half the step on a thread of its own and
// shows the key figures of both runs with the estimated error of the first.
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "flight/integrator.h"
#include "flight/step_check.h"
#include "ui/worker_thread.h"

class QAction;
class QActionGroup;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QMenu;
class QWidget;

namespace zarn::ui {

// The check for the window: a line per key figure with both values and the estimated error of
// the first, and the note when the range's or apex's error exceeds 0.1 %; Russian for LangCode 1,
// English for 3, else German.
QString StepCheckView(const StepCheck& check, int32_t LangCode, char decimalSeparator);

// Which method and wind model a run took, where they are not the classic ones; else empty.
QString MethodNote(const FlightParameters& p, int32_t LangCode);

class AccuracyEntries : public QObject {
  Q_OBJECT

 public:
  // Adds the entries to `menu`. They read and write `inputs` (Integrator, WindModel; Rtol keeps its
  // value), and the check's dialog is a window of `form`, in the language `LangCode` holds.
  // `beforeCheck` completes `inputs` as START would (the vehicle's files read), or throws.
  AccuracyEntries(QMenu& menu, FlightParameters& inputs, const int32_t& LangCode, QWidget& form,
                  std::function<void()> beforeCheck = {});
  // Cancels a check still working and waits for its thread.
  ~AccuracyEntries() override;
  AccuracyEntries(const AccuracyEntries&) = delete;
  AccuracyEntries& operator=(const AccuracyEntries&) = delete;

  // Sets the check marks from the parameters (after a preset or a file filled them).
  void Sync();
  bool Checking() const { return worker_ != nullptr; }

 private:
  void CheckClick();
  void CheckDone(const QString& error);

  FlightParameters& inputs_;
  const int32_t& LangCode_;
  QWidget& form_;
  std::function<void()> beforeCheck_;
  QActionGroup* methods_;
  QAction* wind_;
  QAction* check_;
  QDialog* dialog_ = nullptr;  // a child of the form, made at the first check
  QLabel* text_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  std::unique_ptr<StepCheck> result_;     // written by the check's thread before it finishes
  std::unique_ptr<WorkerThread> worker_;  // while a check works
};

}  // namespace zarn::ui
