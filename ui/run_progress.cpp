#include "ui/run_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace zarn::ui {
namespace {

constexpr int kBarSteps = 1000;  // the bar's range: fine enough for a smooth bar on any screen

}  // namespace

double RunFraction(const RunProgress& progress) {
  const bool recording = progress.Pass == 1;
  const double end = recording ? progress.Duration : progress.Tk;  // [s]
  // An end of 0 (a run that stops at its first step) counts as a finished pass.
  const double ofPass = end > 0.0 ? std::clamp(progress.t / end, 0.0, 1.0) : 1.0;
  return 0.5 * ((recording ? 1.0 : 0.0) + ofPass);
}

RunProgressDialog::RunProgressDialog(QWidget* parent) : parent_(parent) {
  clock_.start();
}

RunProgressDialog::~RunProgressDialog() = default;

RunOptions RunProgressDialog::Options() {
  RunOptions options;
  options.Progress = [this](const RunProgress& progress) { return Report(progress); };
  options.ProgressEvery = kReportEvery;
  return options;
}

bool RunProgressDialog::Report(const RunProgress& progress) {
  const qint64 now = clock_.elapsed();  // [ms]
  if (now < nextRefreshMs_) return !cancelled_;
  nextRefreshMs_ = now + kRefreshEveryMs;
  if (!dialog_) Show();
  dialog_->setValue(static_cast<int>(std::lround(RunFraction(progress) * kBarSteps)));
  // The run holds the event loop: let it paint the dialog and deliver a click on Cancel.
  QCoreApplication::processEvents();
  return !cancelled_;
}

void RunProgressDialog::Show() {
  dialog_ = std::make_unique<QProgressDialog>(QStringLiteral("Computing the trajectory..."),
                                              QStringLiteral("Cancel"), 0, kBarSteps, parent_);
  dialog_->setObjectName(QStringLiteral("RunProgress"));
  dialog_->setWindowTitle(parent_ != nullptr ? parent_->windowTitle() : QCoreApplication::applicationName());
  // Modal over both forms: neither START nor MAIN may start anything while the run goes on.
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setAutoReset(false);  // the bar stays full between the end of the run and the graph
  dialog_->setAutoClose(false);
  dialog_->setMinimumDuration(0);
  // Cancel, Escape and the close box all end the run.
  QObject::connect(dialog_.get(), &QProgressDialog::canceled, dialog_.get(), [this] { cancelled_ = true; });
  QObject::connect(dialog_.get(), &QDialog::rejected, dialog_.get(), [this] { cancelled_ = true; });
  dialog_->show();
}

}  // namespace zarn::ui
