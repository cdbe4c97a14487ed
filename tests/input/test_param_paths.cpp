// The vehicle's files in parameter files: paths taken from the file's folder, quoted where they
// hold a '#', refused where they name nothing, and saved so that the saved file names the same files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "input/param_file.h"
#include "output/param_writer.h"
#include "records/errors.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using test_support::ScratchDir;

TEST(ParamFilePaths, ArePathsFromTheFilesFolderBesideTheNumbers) {
  const ParamFileContents c = ParseParamContents(
      "V0 = 12\n"
      "Motor1 = motors/k.eng\n"
      "CdTable2 = /tables/cd.csv   # absolute\n"
      "WindTable = \"wind #1.csv\" # quoted for its '#'\n"
      "PitchTable =  my pitch.csv  \n",
      "r.zarn", "rocket");
  EXPECT_EQ(c.Record[kSlotV0], 12.0);
  const VehiclePaths expected{"rocket/motors/k.eng", "", "", "", "/tables/cd.csv", "", "rocket/wind #1.csv",
                              "rocket/my pitch.csv"};
  EXPECT_EQ(c.Paths, expected);
  // The numbers alone, for callers without the files.
  EXPECT_EQ(ParseParamText("V0 = 12\nMotor1 = k.eng\n", "r.zarn"), c.Record);
}

TEST(ParamFilePaths, RefuseAPathThatNamesNothingOrIsGivenTwice) {
  const struct {
    const char* Text;
    const char* Message;
  } kCases[] = {
      {"Motor1 =\n", "r.zarn:1: Motor1 names no file"},
      {"Motor1 = # none\n", "r.zarn:1: Motor1 names no file"},
      {"CdTable = \"\"\n", "r.zarn:1: CdTable names no file"},
      {"\nCdTable = \"cd.csv\n", "r.zarn:2: the path of CdTable has no closing '\"'"},
      {"CdTable = \"cd.csv\" x\n", "r.zarn:1: after the path of CdTable: 'x'"},
      {"Motor2 = a.eng\nMotor2 = b.eng\n", "r.zarn:2: Motor2 is given twice (first on line 1)"},
      {"Moter2 = a.eng\n", "r.zarn:1: unknown parameter 'Moter2' (did you mean 'Motor2'?)"},
  };
  for (const auto& c : kCases) {
    try {
      ParseParamContents(c.Text, "r.zarn", "");
      ADD_FAILURE() << "accepted: " << c.Text;
    } catch (const ParamFileError& e) {
      EXPECT_EQ(std::string(e.what()), c.Message);
    }
  }
}

TEST(ParamFilePaths, SavedRelativeToTheSavedFileTheyNameTheSameFiles) {
  const ScratchDir dir("param_paths");
  fs::create_directories(dir.path() / "saved");
  fs::create_directories(dir.path() / "motors");
  VehiclePaths paths;
  paths[0] = dir.path() / "motors" / "k.eng";
  paths[3] = dir.path() / "saved" / "cd #2.csv";  // quoted on saving
  paths[6] = dir.path() / "wind.csv";
  PresetRecordSlots record{};
  record[kSlotV0] = 3;
  const fs::path file = dir.path() / "saved" / "r.zarn";
  WriteParamFile(file, record, paths);
  const std::string text = test_support::ReadFile(file);
  EXPECT_NE(text.find("\nMotor1 = ../motors/k.eng    # [file] motor file (RASP .eng) of stage 1\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nCdTable = \"cd #2.csv\"       # [file]"), std::string::npos) << text;
  EXPECT_NE(text.find("\nWindTable = ../wind.csv     # [file]"), std::string::npos) << text;
  const ParamFileContents back = ReadParamContents(file);
  EXPECT_EQ(back.Record, record);
  for (std::size_t i = 0; i < paths.size(); ++i)
    EXPECT_EQ(back.Paths[i].empty() ? back.Paths[i] : fs::weakly_canonical(back.Paths[i]), paths[i])
        << kVehicleFileNames[i];

  // Without files, nothing is added: the saved text ends with the last numeric parameter.
  WriteParamFile(file, record);
  EXPECT_TRUE(
      test_support::ReadFile(file).ends_with("# [m2] stage 3: area (kept, used by no computation)\n"));

  // A path that no line of a parameter file can hold is refused, not saved as another.
  paths[7] = dir.path() / "a\"b#c.csv";
  EXPECT_THROW(WriteParamFile(file, record, paths), Error);
  paths[7] = dir.path() / "a\nb.csv";
  EXPECT_THROW(WriteParamFile(file, record, paths), Error);
}

}  // namespace
}  // namespace zarn
