#include "ui/file_chooser.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <utility>

namespace zarn::ui {
namespace {

SaveFileChooser& CurrentChooser() {
  static SaveFileChooser chooser;
  return chooser;
}

OpenFileChooser& CurrentOpenChooser() {
  static OpenFileChooser chooser;
  return chooser;
}

}  // namespace

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
  return std::exchange(CurrentChooser(), std::move(chooser));
}

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& suggestedPath,
                       const QString& filter) {
  if (const SaveFileChooser& chooser = CurrentChooser())
    return chooser(parent, caption, suggestedPath, filter);
  // The standard dialog asks before it replaces an existing file; a name typed without an
  // extension gets the suggested file's.
  QFileDialog dialog(parent, caption, suggestedPath, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QFileInfo(suggestedPath).suffix());
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

OpenFileChooser SetOpenFileChooser(OpenFileChooser chooser) {
  return std::exchange(CurrentOpenChooser(), std::move(chooser));
}

QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& directory,
                       const QString& filter) {
  if (const OpenFileChooser& chooser = CurrentOpenChooser())
    return chooser(parent, caption, directory, filter);
  return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& directory) {
  if (const OpenFileChooser& chooser = CurrentOpenChooser()) return chooser(parent, caption, directory, {});
  return QFileDialog::getExistingDirectory(parent, caption, directory);
}

std::filesystem::path LocalPath(const QString& fileName) {
  return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

}  // namespace zarn::ui
