#pragma once
// A flight flown off the event thread. The run works on a thread of its own while the event loop
// goes on painting; the windows take no input but the progress dialog's, which shows once the
// run has lasted kShowAfterMs, with Cancel. The result comes back on the event thread, by signal.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>

#include "flight/integrator.h"
#include "ui/worker_thread.h"

class QProgressBar;
class QProgressDialog;
class QWidget;

namespace zarn::ui {

class FlightRun : public QObject {
  Q_OBJECT

 public:
  static constexpr qint64 kShowAfterMs = 500;    //!< [ms] runs shorter than this show nothing
  static constexpr qint64 kRefreshEveryMs = 40;  //!< [ms] between moves of the bar

  // Starts flying `params` with the result files in `directory`. The dialog, when it shows, is
  // modal over the whole program and a child of `parent`, with the label and the Cancel button's
  // text given.
  FlightRun(const FlightParameters& params, const QString& directory, QWidget* parent, QString label,
            QString cancel);
  // Cancels a run still working and waits for its thread.
  ~FlightRun() override;
  FlightRun(const FlightRun&) = delete;
  FlightRun& operator=(const FlightRun&) = delete;

  const FlightParameters& Parameters() const { return params_; }
  // Cancel, Escape or the close box stopped the run.
  bool Cancelled() const { return worker_->Cancelled(); }

 signals:
  // The run ended: its result, or the message of the error that stopped it (result null).
  void Finished(std::shared_ptr<const RunResult> result, QString error);

 protected:
  // Keeps input from every control but the dialog's while the run works.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Refresh();
  void Show();
  void Done(const QString& error);

  const FlightParameters params_;
  QWidget* parent_;
  const QString label_, cancel_;
  QElapsedTimer clock_;
  QTimer refresh_;
  std::unique_ptr<QProgressDialog> dialog_;
  QProgressBar* bar_ = nullptr;  // the dialog's
  // Shared with the run's thread.
  std::atomic<double> fraction_{0.0};
  std::shared_ptr<const RunResult> result_;  // written by the run's thread before it finishes
  std::unique_ptr<WorkerThread> worker_;
};

}  // namespace zarn::ui
