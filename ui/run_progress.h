#pragma once
// Keeps a long run usable: after the run has lasted kShowAfterMs it shows a modal progress dialog
// with Cancel, fed from the run's progress reports, and lets the event loop paint it and take the
// click. A shorter run shows nothing and pays one clock read per report.
#include <QElapsedTimer>
#include <QString>
#include <memory>

#include "sim/integrator.h"

class QProgressDialog;
class QWidget;

namespace zarn::ui {

// The share of the whole run that a report stands for, 0 to 1: the probe pass fills the first half
// (t over the end time Tk, the most it can fly), the recording pass the second (t over the duration
// the probe found).
double RunFraction(const RunProgress& progress);

class RunProgressDialog {
 public:
  static constexpr qint64 kShowAfterMs = 500;    //!< [ms] runs shorter than this show nothing
  static constexpr qint64 kRefreshEveryMs = 40;  //!< [ms] between repaints and looks at Cancel
  // Steps between reports: about a millisecond of a run, so Cancel answers at once, while a
  // report between refreshes is one clock read (well under 0.1 % of the run).
  static constexpr int64_t kReportEvery = 4096;

  // The dialog, when it shows, is modal over the whole program and a child of `parent`.
  explicit RunProgressDialog(QWidget* parent);
  ~RunProgressDialog();
  RunProgressDialog(const RunProgressDialog&) = delete;
  RunProgressDialog& operator=(const RunProgressDialog&) = delete;

  // Run options whose progress callback feeds this dialog; the dialog must outlive the run.
  RunOptions Options();

  // The progress callback: false once the user has cancelled, which stops the run.
  bool Report(const RunProgress& progress);

 private:
  void Show();

  QWidget* parent_;
  QElapsedTimer clock_;
  qint64 nextRefreshMs_ = kShowAfterMs;
  std::unique_ptr<QProgressDialog> dialog_;
  bool cancelled_ = false;
};

}  // namespace zarn::ui
