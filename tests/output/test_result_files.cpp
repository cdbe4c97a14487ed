#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "output/result_files.h"
#include "records/errors.h"
#include "records/flight_data.h"
#include "tests/support/scratch.h"
#include "tests/support/threads.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

const std::string kLongHeader =
    "    t,s      X,km     H,km   V,m/s  Q,grad,  roh,kg/m3     nx,g,    ny,g    m    Schub   cya     cx"
    "    Mach Volumen   Auftrieb     VT    Wiederstand   dVx   delta";
const std::string kShortHeader =
    "    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    m,kg     Schub";
const std::string kSampleHeader =
    "    t,s      X,km     H,km  V,m/s  Q,grad, roh,kg/m3 nx,g, ny,g    Volumen,m3  Auftrieb,N,   VT"
    "   Wiederstand  dVx  dh";
const std::string kSampleFileHeader =
    "    j      t,s    X,km    H,km    V,m/s    q,kPa   Q,grad    m,kg    P,kN    Iud,m/s";

// The eight always-0 fields, the closing separator and the line end of every step line.
const std::string kStepLineTail =
    "      0.00      0.00   0.00000         0.000      0.00         0.000   0.00000   0.00000  \r\n";

std::string ReadAll(const fs::path& path) {
  EXPECT_TRUE(fs::exists(path)) << path;
  return test_support::ReadFile(path);
}

// Splits at CR LF; fails the test on a lone CR or LF or on a last line without its line end.
std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line has no CR LF";
      break;
    }
    std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray CR or LF in line " << lines.size();
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FileError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no FileError";
  return {};
}

class ResultFiles : public ::testing::Test {
 protected:
  fs::path StepFile() const { return dir_ / kStepFileName; }
  fs::path SampleFile() const { return dir_ / kSampleFileName; }

  test_support::ScratchDir scratch_{"zarn_result_files"};
  const fs::path dir_ = scratch_.path();
};

// A state whose step line exercises every rule: a negative height, a number wider than its
// field, a minus sign in a full field and the Mach number glued to Volumen.
FlightState KnownState() {
  FlightState s{};
  s.t = 0.01;
  s.X = 707.1;
  s.H = -1.2;
  s.V = 99.93;
  s.Theta = 0.785;
  s.Atm.Roh = 1.225;
  s.nx = -0.35;
  s.ny = 0.0;
  s.Mass = 1.0;
  s.Thrust = 12345.67;
  s.CyCur = 0.0;
  s.CxCur = 0.29;
  s.Mach = 0.29;
  s.Volumen = 0.0;
  s.Auftrieb = 0.0;
  s.dVdt = -9.81234;
  return s;
}

const std::string kKnownStepLine = std::string("    0.01") +  // t, s
                                   "     0.707" +             // X, km
                                   "  -0.001" +               // H, km: -1.2 m as it is
                                   "  99.930" +               // V, m/s
                                   "    45.0" +               // Theta * 57.3, degrees
                                   "  1.2250" +               // Roh: six characters in a field of 5
                                   "  -0.35" +                // nx
                                   "   0.00" +                // ny
                                   "     1.0" +               // Mass
                                   "  12345.7" +              // Thrust
                                   "     0.0" +               // CyCur
                                   "      0.3" +              // CxCur
                                   "      0.3" +              // Mach ...
                                   "    0.0000" +             // ... with Volumen straight after it
                                   "       0.0000" +          // Auftrieb
                                   "   -9.8123" +             // dVdt
                                   kStepLineTail;

TEST_F(ResultFiles, StepFileOpensWithBlankLongHeaderBlank) {
  StepFileWriter w;
  w.Create(StepFile());
  EXPECT_TRUE(w.IsOpen());
  w.Close();
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(kLongHeader.size(), 162U);
  EXPECT_EQ(ReadAll(StepFile()), " \r\n" + kLongHeader + "\r\n \r\n");
}

TEST_F(ResultFiles, ShortHeaderBlockAndSampleMarkerAreLinesOfTheirOwn) {
  StepFileWriter w;
  w.Create(StepFile());
  w.WriteShortHeaderBlock();
  w.WriteSampleMarker(1);
  w.WriteSampleMarker(500);
  w.Close();
  const std::vector<std::string> lines = CrLfLines(ReadAll(StepFile()));
  const std::vector<std::string> expected = {" ", kLongHeader, " ",           " ",     kShortHeader,
                                             " ", "(1)",       kSampleHeader, "(500)", kSampleHeader};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(kShortHeader.size(), 81U);
  EXPECT_EQ(kSampleHeader.size(), 118U);
}

TEST_F(ResultFiles, StepLineOfAKnownStateByteForByte) {
  StepFileWriter w;
  w.Create(StepFile());
  w.WriteStepLine(KnownState());
  w.Close();
  const std::string text = ReadAll(StepFile());
  const std::string opening = " \r\n" + kLongHeader + "\r\n \r\n";
  ASSERT_EQ(text.substr(0, opening.size()), opening);
  EXPECT_EQ(text.substr(opening.size()), kKnownStepLine);
}

TEST_F(ResultFiles, MachIsGluedToVolumenAndANegativeHeightKeepsItsSign) {
  FlightState s{};
  s.Mach = 0.29;
  s.Volumen = 0.0;
  s.H = -1.2;
  StepFileWriter w;
  w.Create(StepFile());
  w.WriteStepLine(s);
  w.Close();
  const std::vector<std::string> lines = CrLfLines(ReadAll(StepFile()));
  ASSERT_EQ(lines.size(), 4U);
  const std::string& line = lines[3];
  EXPECT_EQ(line.substr(18, 8), "  -0.001");              // separator and H in km
  EXPECT_EQ(line.substr(98, 19), "      0.3    0.0000");  // separator, Mach, Volumen
  // Every field fits its width except Roh, whose four decimals always take six characters.
  EXPECT_EQ(line.size() + 2, 232U);
}

// A long file, formatted in blocks by both threads: every line arrives, in order and identical in
// layout, and sample markers and short header blocks stand where they were written, also where
// they fall at the edge of a block (the stretches between them vary in length).
TEST_F(ResultFiles, LongStepFileComesOutWholeAndInOrder) {
  constexpr int kLines = 40000;  // about 9 MB
  StepFileWriter w;
  w.Create(StepFile());
  std::vector<std::string> expected = {" ", kLongHeader, " "};
  const std::string rest = kKnownStepLine.substr(8, kKnownStepLine.size() - 10);
  FlightState s = KnownState();
  int32_t row = 0;
  for (int i = 1; i <= kLines; ++i) {
    s.t = i;
    w.WriteStepLine(s);
    char t[16];
    std::snprintf(t, sizeof t, "  %6.2f", static_cast<double>(i));
    expected.push_back(t + rest);
    if (i % 97 == 0 || i % 255 == 0) {
      w.WriteSampleMarker(++row);
      std::string marker = "(";
      marker += std::to_string(row);
      marker += ')';
      expected.insert(expected.end(), {marker, kSampleHeader});
    }
    if (i % 1000 < 3) {
      w.WriteShortHeaderBlock();
      expected.insert(expected.end(), {" ", kShortHeader, " "});
    }
  }
  w.Close();
  const std::vector<std::string> lines = CrLfLines(ReadAll(StepFile()));
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], expected[i]) << "line " << i;
}

// A flight whose numbers change at different paces: every line, every few lines, back to an earlier
// value, never. Its step line is formatted here field by field with printf, apart from the writer.
FlightState PacedState(int i) {
  FlightState s{};
  s.t = 0.01 * i;
  s.X = 3.7 * i;
  s.H = 1000.0 + 10.0 * (i / 7);
  s.V = 300.0 - 0.001 * i;
  s.Theta = 0.5 - 0.001 * (i / 100);
  s.Atm.Roh = 1.225;
  s.nx = i % 6 < 3 ? 0.5 : -0.25;
  s.Mass = 500.0 - 0.1 * (i / 500);
  s.Thrust = i < 20000 ? 4000.0 : 0.0;
  s.CxCur = 0.3;
  s.Mach = s.V / 340.0;
  s.Volumen = 0.125;
  s.dVdt = i % 2 == 0 ? -9.81 : -9.8125;
  return s;
}

std::string PacedLine(int i) {
  const FlightState s = PacedState(i);
  struct Field {
    double Value;
    int Width, Decimals;
    bool Separator;
  };
  const Field fields[] = {
      {s.t, 6, 2, true},      {s.X / 1000, 8, 3, true},     {s.H / 1000, 6, 3, true},
      {s.V, 6, 3, true},      {s.Theta * 57.3, 6, 1, true}, {s.Atm.Roh, 5, 4, true},
      {s.nx, 5, 2, true},     {s.ny, 5, 2, true},           {s.Mass, 6, 1, true},
      {s.Thrust, 7, 1, true}, {s.CyCur, 6, 1, true},        {s.CxCur, 7, 1, true},
      {s.Mach, 7, 1, true},   {s.Volumen, 10, 4, false},    {s.Auftrieb, 11, 4, true},
      {s.dVdt, 8, 4, true},
  };
  std::string line;
  for (const Field& f : fields) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%*.*f", f.Separator ? "  " : "", f.Width, f.Decimals, f.Value);
    line += text;
  }
  return line + kStepLineTail;
}

// Long enough for the writer to try both ways of formatting (on this thread, and by the writer
// thread) and to switch between them several times; pinned to one core it keeps to this thread.
// Either way every line is what printf makes of its numbers, whose fields change at different
// paces, and every block follows the one before.
TEST_F(ResultFiles, StepFileIsTheSameOnOneCoreAndOnTwoWhicheverWayEachBlockWent) {
  constexpr int kLines = 120000;  // about 28 MB
  std::string expected = " \r\n" + kLongHeader + "\r\n \r\n";
  for (int i = 0; i < kLines; ++i) {
    expected += PacedLine(i);
    if (i % 3001 == 0) {
      char marker[32];
      std::snprintf(marker, sizeof marker, "(%d)\r\n", i / 3001 + 1);
      expected.append(marker).append(kSampleHeader).append("\r\n");
    }
  }
  auto write = [&](const fs::path& path) {
    StepFileWriter w;
    w.Create(path);
    for (int i = 0; i < kLines; ++i) {
      w.WriteStepLine(PacedState(i));
      if (i % 3001 == 0) w.WriteSampleMarker(i / 3001 + 1);
    }
    w.Close();
  };
  write(dir_ / "two.txt");
  {
    test_support::OnOneCore pinned;
    write(dir_ / "one.txt");
  }
  for (const char* name : {"two.txt", "one.txt"}) {
    const std::string text = ReadAll(dir_ / name);
    ASSERT_EQ(text.size(), expected.size()) << name;
    const auto [got, want] = std::mismatch(text.begin(), text.end(), expected.begin());
    EXPECT_TRUE(got == text.end()) << name << " differs at byte " << (got - text.begin()) << ": "
                                   << std::string(got, got + std::min<std::ptrdiff_t>(40, text.end() - got));
  }
}

// The writer reuses a field's text while its value stays the same; a changed value, an exact
// half or a scientific text in between must never bring back a stale text.
TEST_F(ResultFiles, RepeatedAndChangedValuesWriteWhatAFreshWriterWrites) {
  const FlightState a = KnownState();
  FlightState b = a;
  b.Mass = 2.0;
  b.Thrust = 1.5e16;
  b.nx = 0.35;
  FlightState c = a;
  c.Mass = 0.25;  // an exact half at one decimal: "0.2"
  c.Theta = -0.0;
  const std::vector<FlightState> sequence = {a, a, a, b, b, a, b, b, c, c, c, a, a};

  auto lineOf = [&](const FlightState& s) {
    const fs::path path = dir_ / "single.txt";
    StepFileWriter fresh;
    fresh.Create(path);
    fresh.WriteStepLine(s);
    fresh.Close();
    return CrLfLines(ReadAll(path)).at(3);
  };
  StepFileWriter w;
  w.Create(StepFile());
  for (const FlightState& s : sequence) w.WriteStepLine(s);
  w.Close();
  const std::vector<std::string> lines = CrLfLines(ReadAll(StepFile()));
  ASSERT_EQ(lines.size(), 3 + sequence.size());
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    EXPECT_EQ(lines[3 + i], lineOf(sequence[i])) << "line " << i;
  }
  EXPECT_NE(lines[3 + 3].find("  1.5e+16"), std::string::npos) << lines[3 + 3];
  EXPECT_NE(lines[3 + 10].find("     0.2  "), std::string::npos) << lines[3 + 10];
}

TEST_F(ResultFiles, DestroyingAnOpenWriterKeepsWhatWasWritten) {
  {
    StepFileWriter w;
    w.Create(StepFile());
    w.WriteStepLine(KnownState());
  }
  EXPECT_EQ(CrLfLines(ReadAll(StepFile())).size(), 4U);
}

TEST_F(ResultFiles, CreateReplacesAnEarlierFile) {
  StepFileWriter w;
  w.Create(StepFile());
  for (int i = 0; i < 1000; ++i) w.WriteStepLine(KnownState());
  w.Close();
  w.Create(StepFile());
  w.Close();
  EXPECT_EQ(ReadAll(StepFile()), " \r\n" + kLongHeader + "\r\n \r\n");
}

TEST_F(ResultFiles, NonFiniteValueStopsBeforeTheLineIsWritten) {
  StepFileWriter w;
  w.Create(StepFile());
  w.WriteStepLine(KnownState());
  FlightState bad = KnownState();
  bad.dVdt = std::numeric_limits<double>::infinity();
  EXPECT_THROW(w.WriteStepLine(bad), FloatingPointError);
  // The half-built line leaves no text behind for the next: a wider time, the rest as before.
  FlightState later = KnownState();
  later.t = 1000.0;
  w.WriteStepLine(later);
  w.Close();
  const std::vector<std::string> lines = CrLfLines(ReadAll(StepFile()));
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[3] + "\r\n", kKnownStepLine);
  EXPECT_EQ(lines[4] + "\r\n", "  1000.00" + kKnownStepLine.substr(8));
}

// 400 kB: kept on the heap.
std::unique_ptr<TrajectoryTable> ExampleTable() {
  auto table = std::make_unique<TrajectoryTable>();
  table->RowsPerColumn = 500;
  // Row 1: the first stored step of a thrown ball.
  table->Cell(kColT, 1) = 0.01;
  table->Cell(kColX, 1) = 0.71;
  table->Cell(kColH, 1) = 0.71;
  table->Cell(kColV, 1) = 99.9;
  table->Cell(kColQkPa, 1) = 6.11;
  table->Cell(kColAngle, 1) = 45.0;
  table->Cell(kColMass, 1) = 1.0;
  table->Cell(kColThrust, 1) = 0.0;
  table->Cell(kColIsp, 1) = 0.0;
  // Row 500: a rocket's last sample in converted units (minutes, km, t, kN).
  table->Cell(kColT, 500) = 12.5;
  table->Cell(kColX, 500) = 1234.5678;
  table->Cell(kColH, 500) = 0.0;
  table->Cell(kColV, 500) = 2345.67;
  table->Cell(kColQkPa, 500) = 0.04;
  table->Cell(kColAngle, 500) = -33.33;
  table->Cell(kColMass, 500) = 12.6;
  table->Cell(kColThrust, 500) = 270.3;
  table->Cell(kColIsp, 500) = 2540.0;
  return table;
}

TEST_F(ResultFiles, SampleFileHasExactly503LinesAndTheExampleRow) {
  WriteSampleFile(SampleFile(), *ExampleTable());
  const std::vector<std::string> lines = CrLfLines(ReadAll(SampleFile()));
  ASSERT_EQ(lines.size(), 503U);
  EXPECT_EQ(lines[0], " ");
  EXPECT_EQ(lines[1], kSampleFileHeader);
  EXPECT_EQ(kSampleFileHeader.size(), 84U);
  EXPECT_EQ(lines[2], " ");
  const std::string example =
      "    1.00      0.01    0.71    0.7   99.9    6.1   45.0         1.0           0.0    0.0  ";
  EXPECT_EQ(example.size(), 89U);
  EXPECT_EQ(lines[3], example);
  // A row the run never stored is written all the same, from the table's zeros.
  EXPECT_EQ(lines[4],
            "    2.00      0.00    0.00    0.0    0.0    0.0    0.0         0.0           0.0    0.0  ");
  EXPECT_EQ(lines[502],
            "  500.00     12.50  1234.57    0.0  2345.7    0.0  -33.3        12.6         270.3  2540.0  ");
}

// Tests run as root, whom file modes do not stop: sysfs refuses new files to everyone.
fs::path ReadOnlyDirectory(const fs::path& own) {
  if (::geteuid() != 0) {
    fs::permissions(own, fs::perms::owner_read | fs::perms::owner_exec);
    return own;
  }
  return "/sys";
}

// The platform's message for creating a file in `dir`, learnt from the platform itself.
std::string PlatformCreateMessage(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(file.c_str());
    return {};
  }
  return std::strerror(errno);
}

TEST_F(ResultFiles, CreateInAReadOnlyDirectoryGivesThePlatformsMessage) {
  const fs::path dir = ReadOnlyDirectory(dir_);
  const std::string platform = PlatformCreateMessage(dir / "probe.txt");
  if (platform.empty()) GTEST_SKIP() << dir << " accepts new files here";
  EXPECT_TRUE(platform == "Permission denied" || platform == "Read-only file system") << platform;

  StepFileWriter w;
  EXPECT_EQ(MessageOf([&] { w.Create(dir / kStepFileName); }),
            "Cannot create \"" + (dir / kStepFileName).string() + "\": " + platform);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(MessageOf([&] { WriteSampleFile(dir / kSampleFileName, *ExampleTable()); }),
            "Cannot create \"" + (dir / kSampleFileName).string() + "\": " + platform);
}

TEST_F(ResultFiles, CreateInAMissingDirectoryGivesThePlatformsMessage) {
  const fs::path path = dir_ / "no such directory" / kStepFileName;
  StepFileWriter w;
  EXPECT_EQ(MessageOf([&] { w.Create(path); }),
            "Cannot create \"" + path.string() + "\": No such file or directory");
}

TEST_F(ResultFiles, FullDeviceFailsTheWriteThatReachesItAndEverythingAfter) {
  // Without the device, creating the file would leave a plain file in its place.
  if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "/dev/full is not the full device here";
  const std::string full = "Cannot write \"/dev/full\": No space left on device";
  StepFileWriter w;
  w.Create("/dev/full");
  // The lines wait in a block until it is full; a later line reports the failure.
  std::string first;
  for (int i = 0; i < 100000 && first.empty(); ++i) {
    try {
      w.WriteStepLine(KnownState());
    } catch (const FileError& e) {
      first = e.what();
      EXPECT_GT(i, 100);
    }
  }
  EXPECT_EQ(first, full);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(MessageOf([&] { w.WriteStepLine(KnownState()); }), full);
  EXPECT_EQ(MessageOf([&] { w.Close(); }), full);

  // A short file fails when it is closed.
  w.Create("/dev/full");
  w.WriteShortHeaderBlock();
  EXPECT_EQ(MessageOf([&] { w.Close(); }), full);

  EXPECT_EQ(MessageOf([&] { WriteSampleFile("/dev/full", *ExampleTable()); }),
            "Cannot write \"/dev/full\": No space left on device");
}

// --- The writer thread, replacing files, the disk guard ----------------------------------------

// Step lines of a flight that moves on every line, so that any lost, doubled or stale byte shows.
FlightState MovingState(int i) {
  FlightState s = KnownState();
  s.t = 0.01 * i;
  s.X = 707.1 + 0.37 * i;
  s.V = 99.93 - 0.001 * i;
  s.Mass = 1000.0 - 0.01 * i;
  return s;
}

// Writes lines until the writer fails or `lines` are written and closes; returns the failure's
// message and sets `written` to the bytes of the lines that the writer took.
std::string WriteLines(StepFileWriter& w, int lines, std::size_t* written = nullptr) {
  const std::size_t lineBytes = kKnownStepLine.size();  // the fields of MovingState keep their width
  if (written != nullptr) *written = 0;
  try {
    for (int i = 0; i < lines; ++i) {
      w.WriteStepLine(MovingState(i));
      if (written != nullptr) *written += lineBytes;
    }
    w.Close();
  } catch (const FileError& e) {
    return e.what();
  }
  return {};
}

// A write that fails while the writer thread writes (the file size limit of the process, which
// no privilege lifts) stops the writing at the next hand-over with the platform's message: the
// file holds everything up to the failure and nothing after it, and no thread is left.
TEST_F(ResultFiles, WriteThatFailsInTheWriterThreadStopsTheFileThereWithThePlatformsMessage) {
  constexpr int kLines = 60000;  // about 14 MB
  StepFileWriter w;
  w.Create(dir_ / "whole.txt");
  ASSERT_EQ(WriteLines(w, kLines), "");
  const std::string whole = ReadAll(dir_ / "whole.txt");
  ASSERT_EQ(whole.size(), kLongHeader.size() + 8 + kLines * kKnownStepLine.size());

  // Past the 7 MB that the caller's thread writes before the writer thread's first blocks.
  constexpr rlim_t kLimit = (rlim_t{8} << 20) + 1000;
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const rlimit limited{kLimit, old.rlim_max};
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);  // the failed write is enough
  const int threads = test_support::ThreadsNow();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  w.Create(StepFile());
  std::size_t written = 0;
  const std::string message = WriteLines(w, kLines, &written);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  // Reported by a line that needed a hand-over, within the buffers that wait for the writer.
  EXPECT_GT(written + (std::size_t{1} << 20), kLimit);
  EXPECT_LT(written, kLimit + (std::size_t{5} << 20));

  EXPECT_EQ(message, "Cannot write \"" + StepFile().string() + "\": " + std::strerror(EFBIG));
  EXPECT_LE(test_support::ThreadsSettlingTo(threads), threads);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(MessageOf([&] { w.Close(); }), message);
  const std::string kept = ReadAll(StepFile());
  EXPECT_EQ(kept.size(), kLimit);
  EXPECT_TRUE(kept == whole.substr(0, kLimit)) << "the kept bytes are not the file's first ones";
}

// A plain file with a single link is replaced by a new one; anything else is truncated in place
// and stays what it was: a symbolic link keeps naming its target (/dev/null takes the lines), and
// every link of a file with two shows the new contents.
TEST_F(ResultFiles, ReplacingANewFileOnlyForAPlainFileWithASingleLink) {
  const std::string fresh = " \r\n" + kLongHeader + "\r\n \r\n";
  auto inode = [](const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_ino;
  };
  auto write = [&](const fs::path& path) {
    StepFileWriter w;
    w.Create(path);
    w.Close();
  };

  // A plain file large enough that its contents are freed while the new file is written; that
  // work is done when the writer is.
  const fs::path plain = dir_ / "plain.txt";
  std::ofstream(plain) << std::string(std::size_t{9} << 20, 'x');
  const auto plainBefore = inode(plain);
  // Kept open, so that the file system cannot give the new file the old inode's number.
  const int held = ::open(plain.c_str(), O_RDONLY);
  const int threads = test_support::ThreadsNow();
  write(plain);
  EXPECT_LE(test_support::ThreadsSettlingTo(threads), threads);
  EXPECT_NE(inode(plain), plainBefore);
  EXPECT_EQ(ReadAll(plain), fresh);
  ::close(held);

  const fs::path toNull = dir_ / "to-null.txt";
  fs::create_symlink("/dev/null", toNull);
  write(toNull);
  EXPECT_TRUE(fs::is_symlink(toNull));
  EXPECT_EQ(fs::read_symlink(toNull), "/dev/null");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  const fs::path linked = dir_ / "linked.txt", other = dir_ / "other-link.txt";
  std::ofstream(linked) << "earlier run";
  fs::create_hard_link(linked, other);
  const auto linkedBefore = inode(linked);
  write(linked);
  EXPECT_EQ(inode(linked), linkedBefore);
  EXPECT_EQ(fs::hard_link_count(linked), 2U);
  EXPECT_EQ(ReadAll(other), fresh);
}

// The disk guard with the free space of a file system of 100 GB (a reserve of 1 GB) from which
// the file takes what it writes: the writing stops with its message before the file would eat
// into the reserve and keeps every byte written before.
TEST_F(ResultFiles, DiskGuardStopsBeforeTheReserveWithItsMessageAndKeepsWhatWasWritten) {
  constexpr uint64_t kSize = 100'000'000'000, kReserve = 1'000'000'000;
  constexpr uint64_t kFree = kReserve + 9'000'000;  // room for 9 MB of the file
  StepFileWriter w;
  w.Create(dir_ / "whole.txt");
  ASSERT_EQ(WriteLines(w, 60000), "");
  const std::string whole = ReadAll(dir_ / "whole.txt");

  std::vector<uint64_t> figures;  // what the guard was told
  w.SetSpaceProbe([&](int fd, FileSystemSpace& space) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    space.Size = kSize;
    space.Available = kFree - static_cast<uint64_t>(st.st_size);
    figures.push_back(space.Available);
    return true;
  });
  const int threads = test_support::ThreadsNow();
  w.Create(StepFile());
  const std::string message = WriteLines(w, 60000);
  ASSERT_FALSE(figures.empty());
  EXPECT_EQ(message, "Stopped writing \"" + StepFile().string() + "\": only " +
                         std::to_string(figures.back() / 1'000'000) +
                         " MB left on its file system (the run stops before less than 1000 MB remain)");
  EXPECT_LE(test_support::ThreadsSettlingTo(threads), threads);
  const std::string kept = ReadAll(StepFile());
  EXPECT_LE(kept.size(), kFree - kReserve);                           // the reserve stays untouched
  EXPECT_GE(kept.size(), kFree - kReserve - (std::size_t{5} << 20));  // within the buffers in flight
  EXPECT_TRUE(kept == whole.substr(0, kept.size())) << "the kept bytes are not the file's first ones";
  EXPECT_GE(figures.size(), 3U);  // it looked again as the room shrank
}

// A file system that had less than the reserve free from the start (a small one, or one nearly
// full): a short file is still written whole, and a long one may take half of what was free.
TEST_F(ResultFiles, DiskGuardOnAFileSystemAlreadyWithinItsReserveLetsAFileTakeHalfOfWhatWasFree) {
  constexpr uint64_t kFree = 40'000'000;  // of 100 MB, well below the 256 MB reserve
  const auto probe = [&](int fd, FileSystemSpace& space) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    space.Size = 100'000'000;
    space.Available = kFree - static_cast<uint64_t>(st.st_size);
    return true;
  };
  StepFileWriter shortRun;
  shortRun.SetSpaceProbe(probe);
  shortRun.Create(StepFile());
  EXPECT_EQ(WriteLines(shortRun, 1000), "");
  StepFileWriter longRun;
  longRun.SetSpaceProbe(probe);
  longRun.Create(dir_ / "long.txt");
  const std::string message = WriteLines(longRun, 200000);
  EXPECT_NE(message.find("(the run stops before less than 20 MB remain)"), std::string::npos) << message;
  EXPECT_LE(ReadAll(dir_ / "long.txt").size(), kFree / 2);
}

// Below a megabyte the message counts kilobytes: "only 0 MB left" would say nothing.
TEST_F(ResultFiles, DiskGuardNamesSpaceBelowAMegabyteInKilobytes) {
  constexpr uint64_t kFree = 900'000;  // half of it is the reserve: 450 kB
  StepFileWriter w;
  w.SetSpaceProbe([&](int fd, FileSystemSpace& space) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    space.Size = 100'000'000;
    space.Available = kFree - static_cast<uint64_t>(st.st_size);
    return true;
  });
  w.Create(StepFile());
  const std::string message = WriteLines(w, 20000);
  const std::string start = "Stopped writing \"" + StepFile().string() + "\": only ";
  const std::string end = " kB left on its file system (the run stops before less than 450 kB remain)";
  ASSERT_EQ(message.rfind(start, 0), 0u) << message;
  ASSERT_GT(message.size(), start.size() + end.size()) << message;
  EXPECT_EQ(message.substr(message.size() - end.size()), end) << message;
  const int left = std::stoi(message.substr(start.size()));
  EXPECT_GE(left, 450);
  EXPECT_LT(left, 900);
}

// Files side by side under one SharedSpaceGuard (a sweep's cases): one reserve, fixed at the first
// look, for all of them together; what one file may still write counts as taken for the others,
// so that together they never eat into it; the first refusal stays on record.
TEST_F(ResultFiles, SharedDiskGuardKeepsOneReserveForAllItsFiles) {
  constexpr uint64_t kFree = 40'000'000;  // of 100 MB: within the 256 MB reserve, so 20 MB may go
  const fs::path files[] = {dir_ / "a.txt", dir_ / "b.txt", dir_ / "c.txt"};
  auto written = [&] {
    uint64_t bytes = 0;
    for (const fs::path& f : files) bytes += fs::exists(f) ? fs::file_size(f) : 0;
    return bytes;
  };
  SharedSpaceGuard shared([&](int, FileSystemSpace& space) {
    space.Size = 100'000'000;
    space.Available = kFree - written();
    return true;
  });
  EXPECT_EQ(shared.Refusal(), "");
  StepFileWriter w[3];
  for (int i = 0; i < 3; ++i) {
    w[i].SetSpaceProbe(shared.Probe());
    w[i].Create(files[i]);
  }
  // In turns, as threads of a sweep would: each takes its share until the guard refuses.
  std::string messages[3];
  for (int round = 0; round < 400; ++round)
    for (int i = 0; i < 3; ++i) {
      if (!messages[i].empty()) continue;
      try {
        for (int line = 0; line < 2000; ++line) w[i].WriteStepLine(MovingState(line));
      } catch (const FileError& e) {
        messages[i] = e.what();
      }
    }
  for (int i = 0; i < 3; ++i) {
    try {
      w[i].Close();
    } catch (const FileError& e) {
      if (messages[i].empty()) messages[i] = e.what();
    }
    EXPECT_NE(messages[i].find("(the run stops before less than 20 MB remain)"), std::string::npos)
        << i << ": " << messages[i];
  }
  EXPECT_LE(written(), kFree / 2);                        // the reserve stays whole
  EXPECT_GE(written(), kFree / 2 - (uint64_t{6} << 20));  // within the buffers in flight
  EXPECT_NE(shared.Refusal().find("Stopped writing"), std::string::npos);
}

TEST_F(ResultFiles, WritingAfterCloseIsAnErrorNotASilentLoss) {
  StepFileWriter w;
  w.Create(StepFile());
  w.Close();
  EXPECT_THROW(w.WriteStepLine(KnownState()), FileError);
  EXPECT_NO_THROW(w.Close());  // closing twice is harmless
}

}  // namespace
}  // namespace zarn
