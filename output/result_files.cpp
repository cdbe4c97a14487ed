#include "output/result_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "output/file_sink.h"
#include "output/fixed_format.h"
#include "output/step_pipeline.h"
#include "records/constants.h"

namespace zarn {
namespace {

constexpr std::string_view kSeparator = "  ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBlankLine = " \r\n";  // a blank line holds one space

constexpr std::string_view kLongHeader =
    "    t,s      X,km     H,km   V,m/s  Q,grad,  roh,kg/m3     nx,g,    ny,g    m    Schub   cya     cx"
    "    Mach Volumen   Auftrieb     VT    Wiederstand   dVx   delta";
constexpr std::string_view kShortHeader =
    "    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    m,kg     Schub";
constexpr std::string_view kSampleHeader =
    "    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    Volumen,m3  Auftrieb,N,   VT"
    "   Wiederstand  dVx  dh";
constexpr std::string_view kSampleFileHeader =
    "    j      t,s    X,km    H,km    V,m/s    q,kPa   Q,grad    m,kg    P,kN    Iud,m/s";

// The longest line (24 fields of at most 27 characters with their separators and the line end)
// and the room a field may spill into on either side fit the room of one line, which is also the
// scratch a sample-file line is built in.
static_assert(24 * (2 + 27) + 4 + kFieldRoom + kForwardSpill <= kLineRoom);
constexpr std::size_t kSampleBufferBytes = 32 * 1024;  // the sample file is about 45 kB

// One number of the step line. Value == nullptr marks the fields that always hold 0, which no
// record carries. A record keeps Value(s); the text is of Value(s) / 1000 where InKilometres: that division
// is left to the formatting, off the run's thread, where it does not wait for the divider with the motion
// step.
struct StepField {
  int Width;
  int Decimals;
  bool SeparatorBefore;
  double (*Value)(const FlightState&);
  bool InKilometres = false;
};

constexpr StepField kStepFields[] = {
    {6, 2, true, [](const FlightState& s) { return s.t; }},                   // s
    {8, 3, true, [](const FlightState& s) { return s.X; }, true},             // km
    {6, 3, true, [](const FlightState& s) { return s.H; }, true},             // km, negative as it is
    {6, 3, true, [](const FlightState& s) { return s.V; }},                   // m/s
    {6, 1, true, [](const FlightState& s) { return s.Theta * kDegPerRad; }},  // degrees
    {5, 4, true, [](const FlightState& s) { return s.Atm.Roh; }},             // kg/m^3
    {5, 2, true, [](const FlightState& s) { return s.nx; }},                  // g
    {5, 2, true, [](const FlightState& s) { return s.ny; }},                  // g
    {6, 1, true, [](const FlightState& s) { return s.Mass; }},                // kg
    {7, 1, true, [](const FlightState& s) { return s.Thrust; }},              // N
    {6, 1, true, [](const FlightState& s) { return s.CyCur; }},
    {7, 1, true, [](const FlightState& s) { return s.CxCur; }},
    {7, 1, true, [](const FlightState& s) { return s.Mach; }},
    {10, 4, false, [](const FlightState& s) { return s.Volumen; }},  // m^3, glued to Mach
    {11, 4, true, [](const FlightState& s) { return s.Auftrieb; }},  // N
    {8, 4, true, [](const FlightState& s) { return s.dVdt; }},       // m/s^2
    {8, 2, true, nullptr},
    {8, 2, true, nullptr},
    {8, 5, true, nullptr},
    {12, 3, true, nullptr},
    {8, 2, true, nullptr},
    {12, 3, true, nullptr},
    {8, 5, true, nullptr},
    {8, 5, true, nullptr},
};

constexpr std::size_t CountMeasuredFields() {
  std::size_t n = 0;
  while (n < std::size(kStepFields) && kStepFields[n].Value != nullptr) ++n;
  return n;
}
constexpr bool ZeroFieldsCloseTheLine() {
  for (std::size_t i = CountMeasuredFields(); i < std::size(kStepFields); ++i) {
    if (kStepFields[i].Value != nullptr) return false;
  }
  return true;
}
static_assert(ZeroFieldsCloseTheLine(), "the always-0 fields form one constant tail of the step line");
constexpr std::size_t kMeasuredFields = CountMeasuredFields();
static_assert(1 + kMeasuredFields <= kMaxRecordWords, "a step record holds the measured fields");
using StepValues = std::array<double, kMeasuredFields>;

// A step record is a header word and, for a line, the measured values as they are: 136 bytes, the
// always-0 fields left out. Sending only the values that changed since the line before halves that
// in a long run, but measured, the comparing made the run's thread (the one that limits a run on two
// cores) 15 % slower, more than fewer bytes gained. Header: bits 0-1 the kind, bits 32-63 the row of
// a sample marker.
enum class RecordKind : uint64_t { Line, SampleMarker, ShortHeader, Opening };
constexpr int kRowShift = 32;

constexpr uint64_t Header(RecordKind kind, int32_t row = 0) {
  return static_cast<uint64_t>(kind) | uint64_t{static_cast<uint32_t>(row)} << kRowShift;
}

// Every measured field is written forwards: at most kMaxFixedWidth wide and kMaxForwardDecimals
// decimals.
static_assert(std::all_of(std::begin(kStepFields), std::begin(kStepFields) + kMeasuredFields,
                          [](const StepField& f) {
                            return f.Width <= kMaxFixedWidth && f.Decimals <= kMaxForwardDecimals;
                          }));

// Length of a field's zero: "0", or "0." and its decimals.
constexpr std::size_t ZeroLength(const StepField& f) {
  return static_cast<std::size_t>(f.Decimals > 0 ? f.Decimals + 2 : 1);
}

constexpr std::size_t StepLineTailLength() {
  std::size_t n = kSeparator.size() + kLineEnd.size();
  for (std::size_t i = kMeasuredFields; i < std::size(kStepFields); ++i) {
    const StepField& f = kStepFields[i];
    n += (f.SeparatorBefore ? kSeparator.size() : 0) +
         std::max(static_cast<std::size_t>(f.Width), ZeroLength(f));
  }
  return n;
}

// The always-0 fields, the closing separator and the line end never change: one constant.
constexpr auto kStepLineTail = [] {
  std::array<char, StepLineTailLength()> tail{};
  std::size_t at = 0;
  auto put = [&](std::string_view text) {
    for (char c : text) tail[at++] = c;
  };
  for (std::size_t i = kMeasuredFields; i < std::size(kStepFields); ++i) {
    const StepField& f = kStepFields[i];
    if (f.SeparatorBefore) put(kSeparator);
    for (std::size_t pad = ZeroLength(f); pad < static_cast<std::size_t>(f.Width); ++pad) put(" ");
    put(f.Decimals > 0 ? "0." : "0");
    for (int d = 0; d < f.Decimals; ++d) put("0");
  }
  put(kSeparator);
  put(kLineEnd);
  return tail;
}();

// One number of a sample-file line: a table column, or the row number itself.
constexpr int kRowNumber = -1;
struct SampleField {
  int Column;
  int Width;
  int Decimals;
};
constexpr SampleField kSampleFields[] = {
    {kRowNumber, 6, 2}, {kColT, 8, 2},     {kColX, 6, 2},     {kColH, 5, 1},       {kColV, 5, 1},
    {kColQkPa, 5, 1},   {kColAngle, 5, 1}, {kColMass, 10, 1}, {kColThrust, 12, 1}, {kColIsp, 5, 1},
};

constexpr std::string_view kSampleLineEnd = "  \r\n";  // the closing separator and the line end

// Where each measured field of the previous step line was written, with the value it was written
// for and the range of values that surely round alike (KeyRange): the field's text (its separator
// included) is copied from there, 16 bytes at once, while the value stays the same (mass, thrust and
// coefficients of a ballistic body for the whole flight; also values without a key, such as
// scientific texts) or stays in the range (time and position for tens of steps with short steps).
// The previous line is in the same block of text. Copying from a line written one line earlier
// also spares the load the stall of reading back bytes that are still in the store queue, which
// copying a field right after formatting it would pay.
struct FieldMemory {
  // Not a value that can reach a field: a nan raises before it is written.
  static constexpr uint64_t kNoValue = 0x7ff8dead0000beefULL;
  uint64_t Bits = kNoValue;
  // Values that surely have the text's key (KeyRange); empty while the text has no key.
  double Lo = std::numeric_limits<double>::infinity();
  double Hi = -std::numeric_limits<double>::infinity();
  const char* Text = nullptr;
  int Length = 0;
};
using StepLineMemory = std::array<FieldMemory, kMeasuredFields>;

// Field I of the step line, with its separator, written at p; returns its end.
template <std::size_t I>
[[gnu::always_inline]] inline char* PutStepField(char* p, const StepValues& v, StepLineMemory& memory) {
  constexpr StepField f = kStepFields[I];
  constexpr int separator = f.SeparatorBefore ? static_cast<int>(kSeparator.size()) : 0;
  const double value = f.InKilometres ? v[I] / 1000.0 : v[I];
  const auto bits = std::bit_cast<uint64_t>(value);
  FieldMemory& m = memory[I];
  char* end;
  if ((value >= m.Lo && value <= m.Hi) || bits == m.Bits) {
    std::memcpy(p, m.Text, kMaxFixedWidth);
    end = p + m.Length;
  } else {
    if constexpr (separator > 0) std::memcpy(p, kSeparator.data(), kSeparator.size());
    const uint64_t key = FixedKey(value, f.Decimals);
    if (key != kNoKey) [[likely]] {
      end = PutKeyedForward(p + separator, key, f.Width, f.Decimals);
    } else {  // an exact half, a large magnitude: kept by the value alone
      end = FormatFixed(p + separator, value, f.Width, f.Decimals);  // raises for inf and nan
    }
    m.Length = static_cast<int>(end - p);
    const bool kept = m.Length <= kMaxFixedWidth;  // a longer text is not copied 16 bytes at once
    m.Bits = kept ? bits : FieldMemory::kNoValue;
    if (kept && key != kNoKey) {
      KeyRange(key, f.Decimals, m.Lo, m.Hi);
    } else {
      m.Lo = std::numeric_limits<double>::infinity();
      m.Hi = -std::numeric_limits<double>::infinity();
    }
  }
  m.Text = p;
  return end;
}

// The measured fields, first to last, from p; returns the end of the last.
template <std::size_t... I>
[[gnu::always_inline]] inline char* PutMeasuredFields(char* p, const StepValues& v, StepLineMemory& memory,
                                                      std::index_sequence<I...>) {
  ((p = PutStepField<I>(p, v, memory)), ...);
  return p;
}

// The numbers of the step line.
template <std::size_t... I>
[[gnu::always_inline]] inline void TakeMeasuredValues(StepValues& v, const FlightState& s,
                                                      std::index_sequence<I...>) {
  ((v[I] = kStepFields[I].Value(s)), ...);
}

char* PutText(char* p, std::string_view text) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

char* PutTextLine(char* p, std::string_view text) {
  return PutText(PutText(p, text), kLineEnd);
}

// The text of a block of the step file. Every line is formatted afresh at its start: a field is
// taken only from a line of the same block. WriteStepLine lets no value in that cannot be written.
char* FormatStepRecords(const uint64_t* words, std::size_t count, char* out) noexcept {
  StepLineMemory memory;
  char* p = out;
  const uint64_t* w = words;
  for (std::size_t i = 0; i < count; ++i) {
    const uint64_t header = *w++;
    switch (static_cast<RecordKind>(header & 3)) {
      case RecordKind::Line: {
        StepValues values;
        std::memcpy(values.data(), w, sizeof values);
        w += kMeasuredFields;
        p = PutMeasuredFields(p, values, memory, std::make_index_sequence<kMeasuredFields>{});
        p = PutText(p, std::string_view(kStepLineTail.data(), kStepLineTail.size()));
        break;
      }
      case RecordKind::SampleMarker:
        *p++ = '(';
        p = std::to_chars(p, p + 16, static_cast<int32_t>(header >> kRowShift)).ptr;
        *p++ = ')';
        p = PutText(p, kLineEnd);
        p = PutTextLine(p, kSampleHeader);
        break;
      case RecordKind::ShortHeader:
        p = PutText(p, kBlankLine);
        p = PutTextLine(p, kShortHeader);
        p = PutText(p, kBlankLine);
        break;
      case RecordKind::Opening:
        p = PutText(p, kBlankLine);
        p = PutTextLine(p, kLongHeader);
        p = PutText(p, kBlankLine);
        break;
    }
  }
  return p;
}

// A sample-file line is built right to left in scratch room, then copied to the file's buffer.
struct LineScratch {
  std::array<char, kLineRoom> Room;
  char* End() noexcept { return Room.data() + Room.size(); }
};

void CopyLine(FileSink& file, const char* start, const char* end) {
  char* out = file.BeginLine();
  const auto length = static_cast<std::size_t>(end - start);
  std::memcpy(out, start, length);
  file.EndLine(out + length);
}

void PutLine(FileSink& file, std::string_view text) {
  file.PutText(text);
  file.PutText(kLineEnd);
}

constexpr double kShortHeaderPeriod = 10.0;  //!< [s]
constexpr double kShortHeaderWindow = 0.01;  //!< fraction of the period after each multiple

// x minus x truncated toward zero: keeps the sign of x.
inline double Frac(double x) {
  return x - std::trunc(x);
}

}  // namespace

struct StepFileWriter::Impl {
  StepPipeline file{FormatStepRecords};
  Impl() { file.GuardSpace(FileSystemSpaceOf); }
};

StepFileWriter::StepFileWriter() : impl_(new Impl) {}

StepFileWriter::~StepFileWriter() {
  delete impl_;
}

void StepFileWriter::Create(const std::filesystem::path& path) {
  impl_->file.Open(path);
  Put(Header(RecordKind::Opening));
}

void StepFileWriter::Put(uint64_t header) {
  uint64_t* out = impl_->file.Next();
  *out = header;
  impl_->file.Commit(out + 1);
}

void StepFileWriter::WriteStepLine(const FlightState& s) {
  uint64_t* out = impl_->file.Next();
  StepValues v;
  TakeMeasuredValues(v, s, std::make_index_sequence<kMeasuredFields>{});
  // A value that cannot be written (inf, nan) raises here, in the run's thread, before the line
  // is taken: the file ends with the line before it.
  for (std::size_t i = 0; i < kMeasuredFields; ++i) {
    if (!std::isfinite(v[i])) [[unlikely]] {
      std::array<char, kLineRoom> scratch;
      FormatFixed(scratch.data(), v[i], kStepFields[i].Width, kStepFields[i].Decimals);
    }
  }
  *out = Header(RecordKind::Line);
  std::memcpy(out + 1, v.data(), sizeof v);
  impl_->file.Commit(out + 1 + kMeasuredFields);
}

void StepFileWriter::WriteShortHeaderBlock() {
  Put(Header(RecordKind::ShortHeader));
}

void StepFileWriter::WriteSampleMarker(int32_t row) {
  Put(Header(RecordKind::SampleMarker, row));
}

void StepFileWriter::Close() {
  impl_->file.Close();
}

bool StepFileWriter::IsOpen() const noexcept {
  return impl_->file.IsOpen();
}

void StepFileWriter::SetSpaceProbe(SpaceProbe probe) {
  impl_->file.GuardSpace(std::move(probe));
}

void WriteSampleFile(const std::filesystem::path& path, const TrajectoryTable& table, int newMode) {
  std::array<char, kSampleBufferBytes> buffer;
  FileSink file(buffer.data(), buffer.size());
  file.Open(path, newMode);
  file.PutText(kBlankLine);
  PutLine(file, kSampleFileHeader);
  file.PutText(kBlankLine);
  LineScratch line;
  for (int row = 1; row <= table.RowsPerColumn; ++row) {
    char* p = line.End() - kSampleLineEnd.size();
    std::memcpy(p, kSampleLineEnd.data(), kSampleLineEnd.size());
    for (auto f = std::rbegin(kSampleFields); f != std::rend(kSampleFields); ++f) {
      const double value = f->Column == kRowNumber ? static_cast<double>(row) : table.Cell(f->Column, row);
      p = PutFixedBackward(p, value, f->Width, f->Decimals);
      p -= kSeparator.size();
      std::memcpy(p, kSeparator.data(), kSeparator.size());
    }
    CopyLine(file, p, line.End());
  }
  file.Close();
}

ResultFolder::ResultFolder(const std::filesystem::path& directory) {
  fd_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that may be written but not read (mode 0333) cannot be opened to lock it.
  if (fd_ < 0 && errno == EACCES)
    throw FileError("Cannot write the result files in \"" + directory.string() +
                    "\": the folder cannot be read, so it cannot be kept from another run");
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(std::exchange(fd_, -1));
    if (error == EWOULDBLOCK)
      throw FileError("Cannot write the result files in \"" + directory.string() +
                      "\": another run is writing there");
  }
  const std::filesystem::path step = directory / kStepFileName, sample = directory / kSampleFileName;
  for (const std::filesystem::path* file : {&step, &sample}) {
    if (const int error = WritableInPlace(*file); error != 0) Fail(FileErrorText("create", *file, error));
  }
  struct stat st {};
  if (::lstat(sample.c_str(), &st) != 0) return;  // none there
  if (S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid()) {
    if (::unlink(sample.c_str()) == 0) {
      sampleMode_ = static_cast<int>(st.st_mode & 07777);
      return;
    }
  }
  // Emptied in place, through a link; a device or a pipe holds nothing to empty.
  if (::stat(sample.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (::truncate(sample.c_str(), 0) != 0) Fail(FileErrorText("empty", sample, errno));
}

ResultFolder::~ResultFolder() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor of the folder ends the lock
}

void ResultFolder::Fail(std::string message) {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));  // no destructor runs after a throwing constructor
  throw FileError(std::move(message));
}

void ResultFiles::Begin() {
  folder_.emplace(directory_);  // held until the sample file is written
  writer_.Create(directory_ / kStepFileName);
}

void ResultFiles::Step(const FlightState& s) {
  writer_.WriteStepLine(s);
  if (Frac(s.t / kShortHeaderPeriod) < kShortHeaderWindow) writer_.WriteShortHeaderBlock();
}

void ResultFiles::Sampled(int32_t row) {
  writer_.WriteSampleMarker(row);
}

void ResultFiles::End(const RunResult& result) {
  writer_.Close();
  WriteSampleFile(directory_ / kSampleFileName, result.Table, folder_->SampleMode());
  folder_.reset();
}

void ResultFiles::Abandon() noexcept {
  try {
    writer_.Close();
  } catch (...) {
  }
  folder_.reset();
}

}  // namespace zarn
