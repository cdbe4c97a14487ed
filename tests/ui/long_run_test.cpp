// Long runs: a modal progress dialog once a run has lasted half a second; Cancel ends the run with
// "Run cancelled" in the form's language like any run error, and the plot keeps what it showed.
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "output/table_csv.h"
#include "ui/run_progress.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

// Counts the progress dialogs that show, and every 10 ms while one is the active modal window,
// hands it to the test's action until the action reports that it is done. The run works on a
// thread of its own: the timer fires on the event thread while it works.
class ProgressWatch : public QObject {
 public:
  explicit ProgressWatch(std::function<bool(QProgressDialog&)> action) : action_(std::move(action)) {
    QCoreApplication::instance()->installEventFilter(this);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
      if (dialog != nullptr && dialog->isVisible() && !done_) done_ = action_(*dialog);
    });
    timer_.start(10);
  }
  ~ProgressWatch() override { QCoreApplication::instance()->removeEventFilter(this); }

  int Shown() const { return shown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched) != nullptr) ++shown_;
    return false;
  }

 private:
  std::function<bool(QProgressDialog&)> action_;
  QTimer timer_;
  bool done_ = false;
  int shown_ = 0;
};

QByteArray Contents(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

class LongRunTest : public WindowsTest {
 protected:
  // [ms] for what a machine, however busy, does in well under a second.
  static constexpr int kPatience = 120000;

  // Thirty seconds of flight at a microsecond step: 30 million steps a pass, each pass ending at
  // the end time, so the probe pass moves the bar evenly through the first half; the recording pass
  // still runs when the dialog shows after half a second, even on a fast machine with the run on a
  // core of its own. The step file of such a run is gigabytes: it goes to /dev/null, so that the
  // test needs no disk space (closing a cancelled run's step file is the integrator's own test).
  void MakeTheRunLong() {
    Type("edTk", "30");
    Type("eddt0", "0.000001");
    QFile::remove(workDir_.filePath("Zarn Daten.txt"));
    ASSERT_TRUE(QFile::link("/dev/null", workDir_.filePath("Zarn Daten.txt")));
  }
};

TEST(RunFraction, ProbePassFillsTheFirstHalfOfTheBarAndTheRecordingPassTheSecond) {
  struct Case {
    RunProgress Progress;
    double Fraction;
  };
  const Case cases[] = {
      {{0, 0.0, 100.0, 0.0, 0}, 0.0},
      {{0, 50.0, 100.0, 0.0, 1}, 0.25},
      {{0, 100.004, 100.0, 0.0, 2}, 0.5},  // the last step may pass the end time
      {{0, 14.0, 100.0, 0.0, 3}, 0.07},    // a flight that lands long before Tk
      {{1, 0.0, 100.0, 14.0, 4}, 0.5},
      {{1, 7.0, 100.0, 14.0, 5}, 0.75},
      {{1, 14.0, 100.0, 14.0, 6}, 1.0},
      {{0, 0.0, 0.0, 0.0, 7}, 0.5},  // an end time of 0: the probe is over at once
      {{1, 0.0, 0.0, 0.0, 8}, 1.0},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(RunFraction(c.Progress), c.Fraction)
        << "pass " << c.Progress.Pass << ", t " << c.Progress.t;
}

TEST_F(LongRunTest, CancelEndsTheRunWithItsMessageAndThePlotKeepsItsGraph) {
  OpenWithPreset(0);
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  const QImage graph = Plot();
  const auto table = std::make_unique<TrajectoryTable>(Shown().Table);
  const UnitFlags units = Shown().Units;

  MakeTheRunLong();
  std::vector<int> values;
  Qt::WindowModality modality = Qt::NonModal;
  ProgressWatch watch([&](QProgressDialog& dialog) {
    values.push_back(dialog.value());
    modality = dialog.windowModality();
    if (dialog.value() < 500) return false;  // cancel in the recording pass
    ClickThroughWindow(dialog.findChild<QPushButton*>());
    return true;
  });
  PressStart();

  ASSERT_EQ(messages_, std::vector<QString>{"Lauf abgebrochen"});
  EXPECT_EQ(watch.Shown(), 1);
  EXPECT_EQ(modality, Qt::ApplicationModal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the dialog went with the run
  ASSERT_FALSE(values.empty());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(Plot(), graph);
  // The earlier sample file went as the run replaced the step file: no pair of two runs is left.
  EXPECT_FALSE(QFile::exists("Zarn_500.txt"));

  // The exports still take the graph on show, not the table that the cancelled run overwrote.
  chosenFile_ = workDir_.filePath("after cancel.csv");
  ChooseFromPlotMenu("Save table as CSV...");
  EXPECT_TRUE(Contents(chosenFile_).toStdString() == TableCsvText(*table, units, 500))
      << "the CSV is not the table of the graph on show";

  // The program goes on: the first run again draws the first graph again.
  Type("edTk", "100");
  Type("eddt0", "0.005");
  PressStart();
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(Plot(), graph);
}

TEST_F(LongRunTest, EscapeOnTheProgressDialogCancelsTheRun) {
  OpenWithPreset(0);
  MakeTheRunLong();
  QString label, cancel;
  ProgressWatch watch([&](QProgressDialog& dialog) {
    label = dialog.labelText();
    cancel = dialog.findChild<QPushButton*>()->text();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    return true;
  });
  PressStart();
  EXPECT_EQ(messages_, std::vector<QString>{"Lauf abgebrochen"});
  EXPECT_EQ(label, "Die Flugbahn wird berechnet...");  // the form's German
  EXPECT_EQ(cancel, "Abbrechen");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Counts the paint events of a widget and its children.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>()) w->installEventFilter(this);
    root->installEventFilter(this);
  }
  int Count() const { return count_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
  }

 private:
  int count_ = 0;
};

TEST_F(LongRunTest, FormRepaintsAndTakesNoInputButTheDialogsWhileTheRunWorks) {
  OpenWithPreset(0);
  MakeTheRunLong();
  // Ten times as many steps: the run must outlast whatever the test does while it works, however
  // slowly a busy machine lets the test go on. Cancel ends it.
  Type("eddt0", "0.0000001");
  QTest::mouseClick(Calc<QPushButton>("Button1"), Qt::LeftButton);  // START, not waiting for the end
  ASSERT_TRUE(form2_->Running());
  QPointer<QProgressDialog> dialog;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        auto* modal = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (modal == nullptr || !modal->isVisible()) return false;
        dialog = modal;
        return true;
      },
      kPatience));

  // The event loop serves timers and paints while the run works; a blocked one would serve
  // neither before the run had ended.
  const PaintCounter paints(form2_.get());
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(5);
  form2_->update();  // as the window system asks after an expose
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > 5 && paints.Count() > 0; }, kPatience))
      << ticks << " ticks, " << paints.Count() << " paints";
  ASSERT_TRUE(form2_->Running()) << "the run ended before the test saw the loop serve it";

  // MAIN would hide the form, and typing would change the field: both are refused.
  ClickThroughWindow(Calc<QPushButton>("Button5"));
  PressMain();
  Type("edV0", "77");
  EXPECT_TRUE(form2_->isVisible());
  EXPECT_EQ(Text("edV0"), "100");
  ASSERT_TRUE(form2_->Running()) << "the run ended before the input was tried";

  ASSERT_FALSE(dialog.isNull());
  ClickThroughWindow(dialog->findChild<QPushButton*>());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form2_->Running(); }, kPatience));
  EXPECT_EQ(messages_, std::vector<QString>{"Lauf abgebrochen"});
}

// The window and the runner never write into one folder at once: START while zarn-batch runs in
// the window's folder is refused with the runner's own words, and the runner goes on.
TEST_F(LongRunTest, StartWhileTheRunnerWritesIntoTheFolderIsRefused) {
  OpenWithPreset(0);
  PressStart();
  ASSERT_TRUE(messages_.empty()) << messages_.front().toStdString();
  const QImage graph = Plot();
  MakeTheRunLong();  // the runner's step file goes to /dev/null too
  QProcess runner;
  runner.setWorkingDirectory(workDir_.path());
  runner.start(QStringLiteral(ZARN_BATCH_EXE), {"--preset", "1", "--set", "dt0=0.000001", "--quiet"});
  ASSERT_TRUE(runner.waitForStarted());
  QDeadlineTimer deadline(60000);
  while (QFile::exists("Zarn_500.txt") && !deadline.hasExpired()) QThread::msleep(1);
  ASSERT_FALSE(QFile::exists("Zarn_500.txt")) << "the runner did not start its run";

  PressStart();
  EXPECT_EQ(messages_,
            std::vector<QString>{"Cannot write the result files in \".\": another run is writing there"});
  EXPECT_EQ(Plot(), graph);
  EXPECT_EQ(runner.state(), QProcess::Running);
  runner.terminate();
  EXPECT_TRUE(runner.waitForFinished(60000));
  EXPECT_EQ(runner.readAllStandardError(), "zarn-batch: Run cancelled\n");
}

TEST_F(LongRunTest, ShortRunShowsNoProgressDialog) {
  OpenWithPreset(0);
  ProgressWatch watch([](QProgressDialog&) { return true; });
  PressStart();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(watch.Shown(), 0);
}

}  // namespace
}  // namespace zarn::ui
