#pragma once
// The one place where the windows' event handlers catch errors. A fault ends the handler where it
// arose; the user sees the error's exact text and the program goes on with what was done before.
#include <QChar>
#include <QString>
#include <exception>
#include <functional>
#include <string>
#include <utility>

class QWidget;

namespace zarn::ui {

// Shows an error to the user. Tests install their own to read the text without a modal box.
using ErrorReporter = std::function<void(QWidget* parent, const QString& text)>;

// Installs a reporter; an empty one restores the default message box. Returns the previous one.
ErrorReporter SetErrorReporter(ErrorReporter reporter);

void ReportError(QWidget* parent, const QString& text);

// Runs one event handler and reports whatever it throws.
template <class Handler>
void Guard(QWidget* parent, Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::exception& e) {
    ReportError(parent, QString::fromUtf8(e.what()));
  } catch (...) {
    ReportError(parent, QStringLiteral("Unknown error"));
  }
}

// The first character of the locale's decimal point (the fields show and read numbers with it);
// '.' when the locale's separator is not a single ASCII character.
char DecimalSeparator();
// The locale's decimal point where one UTF-16 unit holds it (U+066B too), for the graphs' labels;
// '.' otherwise.
QChar DecimalPoint();

// A number text written with DecimalSeparator() as the locale writes it: where the locale's
// separator is no single ASCII character (U+066B of Arabic, two bytes in UTF-8), it stands for '.'.
QString LocalNumber(const std::string& text);
// A typed number in the locale's writing, for ParseNumber with DecimalSeparator(); a '.' typed
// where the locale writes U+066B gives an empty text, which reads as no number.
std::string ReadableNumber(const QString& typed);

}  // namespace zarn::ui
