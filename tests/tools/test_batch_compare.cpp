// The runner's comparisons: a sweep drawn as one picture, a run compared with measured values.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <string>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

int CountColour(const QImage& image, QRgb colour, QRect where) {
  int n = 0;
  for (int y = where.top(); y <= where.bottom(); ++y)
    for (int x = where.left(); x <= where.right(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == colour) ++n;
  return n;
}

// The keys and values of the numbers of a JSON object (the events' list left out).
std::map<std::string, double> JsonNumbers(std::string json) {
  if (const std::size_t events = json.find(", \"events\": ["); events != std::string::npos) {
    const std::size_t end = json.find("]", events);
    json.erase(events, end + 1 - events);
  }
  std::map<std::string, double> fields;
  for (std::size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at)) {
    const std::size_t keyEnd = json.find('"', at + 1);
    if (json[keyEnd + 3] == '"') {  // a text
      at = json.find('"', json.find_first_of(",}", json.find('"', keyEnd + 4)));
      continue;
    }
    fields[json.substr(at + 1, keyEnd - at - 1)] = std::stod(json.substr(keyEnd + 3));
    at = json.find_first_of(",}", keyEnd);
    if (at != std::string::npos) at = json.find('"', at);
  }
  return fields;
}

TEST_F(BatchProgram, SweepPictureHoldsOneCurveOfItsOwnColourPerCase) {
  const Outcome r = Batch({"--preset", "0", "--sweep", "TTO=20:60:20", "--plot", "sweep.png", "--graph",
                           "Button2", "--summary", "s.csv"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const QImage image =
      QImage(QString::fromStdString((work_ / "sweep.png").string())).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(image.size(), QSize(800, 600));
  const QRect legend(0, 0, 800, 24), plot(60, 60, 680, 480);
  // Three cases, three colours: in the legend and along their curves; no fourth one.
  for (const QRgb colour : {0x0072B2u, 0xD55E00u, 0x009E73u}) {
    EXPECT_GT(CountColour(image, colour, legend), 20) << std::hex << colour;
    EXPECT_GT(CountColour(image, colour, plot), 200) << std::hex << colour;
  }
  EXPECT_EQ(CountColour(image, 0xCC79A7, image.rect()), 0);

  // Exactly as many cases as the legend holds: ten, each in a colour of its own, none on the scale.
  const Outcome ten = Batch({"--preset", "0", "--sweep", "TTO=10:55:5", "--plot", "ten.png", "--graph",
                             "Button2", "--summary", "t.csv"});
  ASSERT_EQ(ten.Exit, 0) << ten.Err;
  const QImage tenImage =
      QImage(QString::fromStdString((work_ / "ten.png").string())).convertToFormat(QImage::Format_RGB32);
  const QRect twoLines(0, 0, 800, 48);  // ten entries and the curves' two take a second line
  for (const QRgb colour : {0x0072B2u, 0xD55E00u, 0x009E73u, 0xCC79A7u, 0xB08000u, 0x56B4E9u, 0xE69F00u,
                            0x7F3C8Du, 0x8C564Bu, 0x808080u}) {
    EXPECT_GT(CountColour(tenImage, colour, twoLines), 20) << std::hex << colour;
    EXPECT_GT(CountColour(tenImage, colour, plot), 100) << std::hex << colour;
  }

  // Many cases: a colour scale from the first to the last instead of a legend entry each.
  const Outcome many =
      Batch({"--preset", "0", "--sweep", "TTO=5:85:5", "--png", "many.png", "--summary", "m.csv"});
  ASSERT_EQ(many.Exit, 0) << many.Err;
  const QImage scale =
      QImage(QString::fromStdString((work_ / "many.png").string())).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(CountColour(scale, 0x0072B2, scale.rect()), 0);
  int darkEnd = 0;  // the scale's dark violet end, 0x440154
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 800; ++x) {
      const QColor c = scale.pixelColor(x, y);
      if (std::abs(c.red() - 0x44) < 12 && std::abs(c.green() - 0x01) < 12 && std::abs(c.blue() - 0x54) < 12)
        ++darkEnd;
    }
  EXPECT_GT(darkEnd, 5);
}

TEST_F(BatchProgram, CompareReportsTheDeviationFromMeasuredValues) {
  // Measured: every 50th stored row of the run itself with H raised by 2 m, and one time after the
  // flight. At stored times the run's value is exact, so RMS and largest difference are 2 m.
  Outcome r = Batch({"--preset", "0", "--csv", "t.csv", "--quiet"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::vector<std::vector<std::string>> rows = CsvRows(ReadFile(work_ / "t.csv"));
  const auto column = [&](const char* name) {
    return std::find(rows[0].begin(), rows[0].end(), name) - rows[0].begin();
  };
  double highest = 0;
  int written = 0;
  for (std::size_t i = 1; i < rows.size(); i += 50, ++written)
    highest = std::max(highest, std::stod(rows[i][column("H_m")]) + 2.0);
  std::ofstream(work_ / "m.csv") << "t_s,H_m\n"
                                 <<
      [&] {
        std::string body;
        for (std::size_t i = 1; i < rows.size(); i += 50) {
          char line[128];
          std::snprintf(line, sizeof line, "%s,%.17g\n", rows[i][column("t_s")].c_str(),
                        std::stod(rows[i][column("H_m")]) + 2.0);
          body += line;
        }
        return body + "99,5\n";
      }();

  r = Batch({"--preset", "0", "--compare", "m.csv", "--json"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::map<std::string, double> json = JsonNumbers(r.Out);
  EXPECT_NEAR(json.at("rms_H_m"), 2.0, 1e-9);
  EXPECT_NEAR(json.at("max_diff_H_m"), 2.0, 1e-9);
  EXPECT_EQ(json.at("compared_H_m"), written);
  EXPECT_EQ(json.at("skipped_H_m"), 1.0);
  EXPECT_NEAR(json.at("diff_apex_H_m"), highest - json.at("apex_H_m"), 1e-9);
  EXPECT_EQ(json.count("diff_X_m"), 0u);  // no X measured

  std::ofstream(work_ / "bad.csv") << "t_s,H_m\n1,2\n2,x\n";
  r = Batch({"--preset", "0", "--compare", "bad.csv"});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Err.substr(0, r.Err.find('\n')),
            "zarn-batch: bad.csv:3: column 2 (H_m): 'x' is not a number (the decimal separator is '.')");
}

// Measurements after the landing (about 14 s): the picture's scale reaches them, so the late
// point is drawn right of the curve's end, and the comparison counts it outside the flight.
TEST_F(BatchProgram, ComparedPictureDrawsAPointAfterTheFlightsEnd) {
  std::ofstream(work_ / "late.csv") << "t_s,H_m\n2,60\n27,150\n";
  const Outcome r =
      Batch({"--preset", "0", "--compare", "late.csv", "--png", "late.png", "--graph", "Button22", "--json"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(JsonNumbers(r.Out).at("skipped_H_m"), 1.0);
  const QImage image =
      QImage(QString::fromStdString((work_ / "late.png").string())).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(image.size(), QSize(800, 600));
  // The curve's right end, and dark pixels right of it in the plot area: the ring alone.
  int curveEnd = 0, ringLeft = 800, ringTop = 600;
  for (int y = 60; y < 500; ++y)
    for (int x = 100; x < 760; ++x) {
      const QRgb c = image.pixel(x, y);
      if ((c & 0xFFFFFF) == 0x0072B2) curveEnd = std::max(curveEnd, x);
    }
  for (int y = 60; y < 500; ++y)
    for (int x = curveEnd + 20; x < 735; ++x)  // left of the right axis
      if (qGray(image.pixel(x, y)) < 60) ringLeft = std::min(ringLeft, x), ringTop = std::min(ringTop, y);
  EXPECT_GT(curveEnd, 200) << "no curve";
  EXPECT_LT(ringLeft, 735) << "the point after the flight is not drawn";
  EXPECT_LT(ringTop, 300);  // 150 m on a scale up to about 250 m: in the upper part
}

}  // namespace
}  // namespace zarn::runner
