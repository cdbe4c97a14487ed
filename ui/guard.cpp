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

char DecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  if (point.size() != 1 || point[0].unicode() > 0x7f) return '.';
  return static_cast<char>(point[0].unicode());
}

}  // namespace zarn::ui
