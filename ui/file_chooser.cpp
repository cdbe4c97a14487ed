#include "ui/file_chooser.h"

#include <QFileDialog>
#include <utility>

namespace zarn::ui {
namespace {

SaveFileChooser& CurrentChooser() {
  static SaveFileChooser chooser;
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
  // The standard dialog asks before it replaces an existing file.
  return QFileDialog::getSaveFileName(parent, caption, suggestedPath, filter);
}

}  // namespace zarn::ui
