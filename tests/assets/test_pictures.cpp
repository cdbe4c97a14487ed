// The forms' pictures come from the program's resources, decode as JPEG, have the sizes the
// forms lay out, and show a drawing rather than an empty or flat field.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <cmath>
#include <set>
#include <vector>

#include "assets/pictures.h"

namespace {

struct Expected {
  const char* Resource;
  int Width;   // px
  int Height;  // px
};

std::vector<Expected> AllPictures() {
  std::vector<Expected> all{{zarn::kBackgroundPicture, 770, 515}, {zarn::kLanguagePicture, 314, 193}};
  for (const zarn::TaskPicture& t : zarn::kTaskPictures) all.push_back({t.Resource, 270, 147});
  return all;
}

QImage Load(const char* resource) {
  return QImage(QString::fromLatin1(resource), "JPG");
}

// Standard deviation of the grey level over the picture: near 0 for a blank or flat picture.
double GreySpread(const QImage& image) {
  double sum = 0, sumSq = 0;
  const double n = static_cast<double>(image.width()) * image.height();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const double g = qGray(image.pixel(x, y));
      sum += g;
      sumSq += g * g;
    }
  const double mean = sum / n;
  return std::sqrt(sumSq / n - mean * mean);
}

double DarkShare(const QImage& image) {
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 96) ++dark;
  return dark / (static_cast<double>(image.width()) * image.height());
}

TEST(Pictures, AreCompiledInWithoutCallingInit) {
  // Linking zarn::assets registers the resources at start-up; no file on disk is involved.
  for (const Expected& e : AllPictures())
    EXPECT_TRUE(QFile::exists(QString::fromLatin1(e.Resource))) << e.Resource;
}

TEST(Pictures, ExplicitInitKeepsThemAvailable) {
  zarn::InitPictures();
  zarn::InitPictures();
  for (const Expected& e : AllPictures()) EXPECT_FALSE(Load(e.Resource).isNull()) << e.Resource;
}

TEST(Pictures, DecodeAtTheSizesTheFormsLayOut) {
  for (const Expected& e : AllPictures()) {
    const QImage image = Load(e.Resource);
    ASSERT_FALSE(image.isNull()) << e.Resource;
    EXPECT_EQ(image.width(), e.Width) << e.Resource;
    EXPECT_EQ(image.height(), e.Height) << e.Resource;
  }
}

TEST(Pictures, ShowADrawingNotAFlatField) {
  for (const Expected& e : AllPictures()) EXPECT_GT(GreySpread(Load(e.Resource)), 15.0) << e.Resource;
}

TEST(Pictures, TaskSketchesAreDarkLinesOnWhite) {
  for (const zarn::TaskPicture& t : zarn::kTaskPictures) {
    const QImage image = Load(t.Resource);
    ASSERT_FALSE(image.isNull()) << t.Resource;
    for (const QPoint corner : {QPoint(1, 1), QPoint(image.width() - 2, 1)})
      EXPECT_GT(qGray(image.pixel(corner)), 235) << t.Resource;
    const double dark = DarkShare(image);
    EXPECT_GT(dark, 0.01) << t.Resource << ": no drawing";
    EXPECT_LT(dark, 0.20) << t.Resource << ": not a line drawing";
  }
}

TEST(Pictures, EveryTaskHasItsOwnSketch) {
  std::set<QString> seen;
  std::vector<QImage> images;
  for (const zarn::TaskPicture& t : zarn::kTaskPictures) {
    EXPECT_TRUE(seen.insert(QString::fromLatin1(t.Resource)).second) << t.Resource;
    images.push_back(Load(t.Resource));
  }
  for (size_t i = 0; i < images.size(); ++i)
    for (size_t j = i + 1; j < images.size(); ++j)
      EXPECT_NE(images[i], images[j])
          << zarn::kTaskPictures[i].Resource << " and " << zarn::kTaskPictures[j].Resource;
}

}  // namespace
