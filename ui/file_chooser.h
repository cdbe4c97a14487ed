#pragma once
// Where the windows ask the user for a file name to save to or to open. Tests install their own
// choosers so that no modal file dialog blocks them.
#include <QString>
#include <filesystem>
#include <functional>

class QWidget;

namespace zarn::ui {

// Returns the chosen file name, or an empty string when the user cancelled.
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& caption,
                                              const QString& suggestedPath, const QString& filter)>;

// Installs a chooser; an empty one restores the standard save dialog, which starts at
// `suggestedPath` and adds its extension to a name typed without one. Returns the previous one.
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& suggestedPath,
                       const QString& filter);

// Returns the chosen existing file, or an empty string when the user cancelled.
using OpenFileChooser = std::function<QString(QWidget* parent, const QString& caption,
                                              const QString& directory, const QString& filter)>;

// Installs a chooser; an empty one restores the standard open dialog. Returns the previous one.
OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser);

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& directory,
                       const QString& filter);

// Returns the chosen existing folder, or an empty string when the user cancelled. An installed open
// chooser answers for it too (with an empty filter).
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& directory);

// The chosen file name as the file system spells it (the local 8-bit encoding of the name).
std::filesystem::path LocalPath(const QString& fileName);

}  // namespace zarn::ui
