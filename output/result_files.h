#pragma once
// The two result files: the step file "Zarn Daten.txt" (one line per integration step of both
// passes) and the sample file "Zarn_500.txt" (one line per table row). ASCII, CR LF line ends,
// fixed-point fields right-aligned and never cut. Every failure to create, write, flush or close
// throws FileError with the platform's message; nothing after a failed write looks like success.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "flight/integrator.h"
#include "output/file_sink.h"
#include "output/step_pipeline.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

inline constexpr const char* kStepFileName = "Zarn Daten.txt";
inline constexpr const char* kSampleFileName = "Zarn_500.txt";

// Writes the step file through a StepPipeline: the run keeps each line's numbers, which are
// formatted and written on whichever core is free; no allocation per line. The file system's
// space is guarded (OutputFile): a run that would fill the disk stops with a FileError that names
// the file and the space left.
class StepFileWriter {
 public:
  StepFileWriter();
  ~StepFileWriter();  // closes without reporting; call Close() to learn of failures
  StepFileWriter(const StepFileWriter&) = delete;
  StepFileWriter& operator=(const StepFileWriter&) = delete;

  // Creates or replaces the file and writes the opening lines (blank, long header, blank).
  void Create(const std::filesystem::path& path);
  // The step line of the state after a motion step (24 numbers).
  void WriteStepLine(const FlightState& s);
  // Blank line, short header, blank line.
  void WriteShortHeaderBlock();
  // "(row)" and the sample header, each a line of its own.
  void WriteSampleMarker(int32_t row);
  // Flushes and closes; throws FileError on failure. Safe to call when nothing is open.
  // After a failed create, write or close, Close() and every later write throw that failure again.
  void Close();
  bool IsOpen() const noexcept;
  // How the disk guard reads the free space, from the next Create on; by default the file
  // system's own figure.
  void SetSpaceProbe(SpaceProbe probe);

 private:
  void Put(uint64_t header);  // a record without values

  struct Impl;
  Impl* impl_;
};

// Writes the sample file: blank, header, blank, then one line for each row 1..RowsPerColumn. A
// file made anew takes `newMode`'s permission bits where that is given (see CreateOrReplace).
void WriteSampleFile(const std::filesystem::path& path, const TrajectoryTable& table, int newMode = -1);

// The folder of a run's two result files, held while the run writes them, so that the folder never
// holds a step file and a sample file of different runs, whatever stops the run and whenever.
//  - Only one run at a time writes there: the folder itself is locked (flock on its descriptor),
//    which leaves nothing behind when a run is killed; a second run is refused with
//    "Cannot write the result files in "<folder>": another run is writing there".
//  - A result file that the user could not write in place is refused before anything is touched.
//  - The previous run's sample file goes before the new step file appears: removed, or emptied in
//    place where it is a symbolic link, a device, a file of several links or another owner's
//    (it stays what it is). SampleMode() gives its permission bits for the new one.
// A folder that the user may write but not read cannot be locked and is refused. Where the folder
// cannot be opened otherwise or does not lock (some network file systems), the run goes on
// unlocked; creating the files then reports what is wrong with the folder.
class ResultFolder {
 public:
  explicit ResultFolder(const std::filesystem::path& directory);
  ~ResultFolder();  // unlocks
  ResultFolder(const ResultFolder&) = delete;
  ResultFolder& operator=(const ResultFolder&) = delete;

  // The permission bits of the sample file that was removed, or -1.
  int SampleMode() const noexcept { return sampleMode_; }

 private:
  [[noreturn]] void Fail(std::string message);

  int fd_ = -1;
  int sampleMode_ = -1;
};

// The two result files of a run in `directory`: the sink creates the step file when the run
// begins and lays it out (a step line for every step, the short header after each step of the
// first hundredth of every 10 s, a marker before each stored sample), and writes the sample file
// when the run ends well. It holds the folder from Begin to the end of the run (ResultFolder).
class ResultFiles final : public StepSink {
 public:
  explicit ResultFiles(std::filesystem::path directory) : directory_(std::move(directory)) {}
  void Begin() override;
  void Step(const FlightState& s) override;
  void Sampled(int32_t row) override;
  void End(const RunResult& result) override;
  void Abandon() noexcept override;
  // See StepFileWriter::SetSpaceProbe.
  void SetSpaceProbe(SpaceProbe probe) { writer_.SetSpaceProbe(std::move(probe)); }

 private:
  std::filesystem::path directory_;
  std::optional<ResultFolder> folder_;  // while the run writes
  StepFileWriter writer_;
};

}  // namespace zarn
