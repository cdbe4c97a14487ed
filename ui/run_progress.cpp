#include "ui/run_progress.h"

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "output/result_files.h"
#include "ui/file_chooser.h"

namespace zarn::ui {
namespace {

constexpr int kBarSteps = 1000;  // the bar's range: fine enough for a smooth bar on any screen

// What a user does to a window; painting, timers and the like go on.
bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

}  // namespace

FlightRun::FlightRun(const FlightParameters& params, const QString& directory, QWidget* parent, QString label,
                     QString cancel)
    : params_(params), parent_(parent), label_(std::move(label)), cancel_(std::move(cancel)) {
  clock_.start();
  qApp->installEventFilter(this);
  connect(&refresh_, &QTimer::timeout, this, &FlightRun::Refresh);
  refresh_.start(kRefreshEveryMs);
  worker_ = std::make_unique<WorkerThread>(
      *this,
      [this, where = LocalPath(directory)](const std::atomic<bool>& cancelled) {
        ResultFiles files(where);
        RunOptions options;
        options.Sink = &files;
        options.ProgressEvery = kProgressEvery;
        options.Progress = [this, &cancelled](const RunProgress& progress) {
          fraction_.store(RunFraction(progress), std::memory_order_relaxed);
          return !cancelled.load(std::memory_order_relaxed);
        };
        result_ = ComputeTrajectory(params_, options);
      },
      [this](const QString& error) { Done(error); });
}

FlightRun::~FlightRun() {
  qApp->removeEventFilter(this);
  worker_.reset();  // before the members its thread writes
}

bool FlightRun::eventFilter(QObject* watched, QEvent* event) {
  if (!IsInput(event->type())) return false;
  if (!dialog_) return true;
  // A click of the window system reaches the dialog's native window first, which has no parent
  // widget; only from there does it travel to the button under the pointer.
  if (watched == dialog_->windowHandle()) return false;
  // The dialog, its buttons and its Escape shortcut take input; nothing else does.
  for (QObject* o = watched; o != nullptr; o = o->parent())
    if (o == dialog_.get()) return false;
  return true;
}

void FlightRun::Refresh() {
  if (clock_.elapsed() < kShowAfterMs) return;
  if (!dialog_) Show();
  // The bar itself: the dialog's setValue would handle events of its own, inside this one.
  bar_->setValue(static_cast<int>(std::lround(fraction_.load(std::memory_order_relaxed) * kBarSteps)));
}

void FlightRun::Show() {
  dialog_ = std::make_unique<QProgressDialog>(label_, cancel_, 0, kBarSteps, parent_);
  dialog_->setObjectName(QStringLiteral("RunProgress"));
  dialog_->setWindowTitle(parent_ != nullptr ? parent_->windowTitle() : QCoreApplication::applicationName());
  // Modal over both forms: neither START nor MAIN may start anything while the run goes on.
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setAutoReset(false);  // the bar stays full between the end of the run and the graph
  dialog_->setAutoClose(false);
  dialog_->setMinimumDuration(0);
  bar_ = new QProgressBar(dialog_.get());
  bar_->setRange(0, kBarSteps);
  dialog_->setBar(bar_);  // the dialog owns it
  // Cancel, Escape and the close box all end the run.
  connect(dialog_.get(), &QProgressDialog::canceled, this, [this] { worker_->Cancel(); });
  connect(dialog_.get(), &QDialog::rejected, this, [this] { worker_->Cancel(); });
  dialog_->show();
}

void FlightRun::Done(const QString& error) {
  refresh_.stop();
  qApp->removeEventFilter(this);
  dialog_.reset();  // closes before the graph is drawn, or before the error shows
  // A Cancel after the run's last report stops nothing: the run is done.
  emit Finished(result_, error);
}

}  // namespace zarn::ui
