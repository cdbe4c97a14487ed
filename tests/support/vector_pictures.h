#pragma once
// What a vector picture file must be to open anywhere: an SVG that an XML reader takes whole, with
// <svg> as its root and no embedded bitmap, and a PDF of exactly one page without one.
#include <QString>
#include <QXmlStreamReader>
#include <string>

namespace zarn::test_support {

// The root element's name, or "error: ..." when the XML does not read to its end; `images` counts
// the <image> elements (a bitmap pasted into the drawing), `shapes` the drawn ones.
struct SvgSummary {
  QString Root;
  int Images = 0;
  int Shapes = 0;
  int Texts = 0;
};

inline SvgSummary ReadSvg(const std::string& bytes) {
  SvgSummary s;
  QXmlStreamReader xml(QByteArray::fromStdString(bytes));
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QString name = xml.name().toString();
    if (s.Root.isEmpty()) s.Root = name;
    if (name == QLatin1String("image")) ++s.Images;
    if (name == QLatin1String("path") || name == QLatin1String("polyline") || name == QLatin1String("rect"))
      ++s.Shapes;
    if (name == QLatin1String("text")) ++s.Texts;
  }
  if (xml.hasError()) s.Root = QStringLiteral("error: ") + xml.errorString();
  return s;
}

// "/Type /Page" objects, not the "/Type /Pages" tree above them.
inline int PdfPages(const std::string& bytes) {
  int pages = 0;
  const std::string key = "/Type /Page";
  for (std::size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1))
    if (at + key.size() >= bytes.size() || bytes[at + key.size()] != 's') ++pages;
  return pages;
}

inline bool PdfHasImage(const std::string& bytes) {
  return bytes.find("/Subtype /Image") != std::string::npos;
}

}  // namespace zarn::test_support
