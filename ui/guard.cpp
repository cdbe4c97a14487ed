#include "ui/guard.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>

namespace zarn::ui {
namespace {

ErrorReporter& CurrentReporter() {
  static ErrorReporter reporter;
  return reporter;
}

void ShowMessageBox(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QCoreApplication::applicationName(), text);
}

}  // namespace

ErrorReporter SetErrorReporter(ErrorReporter reporter) {
  return std::exchange(CurrentReporter(), std::move(reporter));
}

void ReportError(QWidget* parent, const QString& text) {
  if (const ErrorReporter& reporter = CurrentReporter()) {
    reporter(parent, text);
  } else {
    ShowMessageBox(parent, text);
  }
}

namespace {

// The locale's separator where one char cannot hold it; empty otherwise.
QString WideSeparator() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point[0].unicode() <= 0x7f ? QString() : point;
}

}  // namespace

QString LocalNumber(const std::string& text) {
  QString shown = QString::fromStdString(text);
  if (const QString wide = WideSeparator(); !wide.isEmpty()) shown.replace(QLatin1Char('.'), wide);
  return shown;
}

std::string ReadableNumber(const QString& typed) {
  const QString wide = WideSeparator();
  if (wide.isEmpty()) return typed.toStdString();
  if (typed.contains(QLatin1Char('.'))) return {};  // no number there, as a ',' is none where '.' is one
  return QString(typed).replace(wide, QStringLiteral(".")).toStdString();
}

QChar DecimalPoint() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 ? point[0] : QLatin1Char('.');
}

char DecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  if (point.size() != 1 || point[0].unicode() > 0x7f) return '.';
  return static_cast<char>(point[0].unicode());
}

}  // namespace zarn::ui
