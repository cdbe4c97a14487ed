// Program entry: the start form (the main window), the calculation form (hidden), the event loop.
// "zarn FILE.zarn" starts with that parameter file chosen as the preset.
#include <QApplication>
#include <QStringList>

#include "assets/pictures.h"
#include "ui/calc_form.h"
#include "ui/guard.h"
#include "ui/start_form.h"
#include "ui/window_state.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  zarn::InitPictures();
  zarn::ui::WindowState state;  // no choice yet, alive until the program ends
  zarn::ui::StartForm startForm(state);
  zarn::ui::CalcForm calcForm(state, startForm);
  startForm.SetCalculationForm(&calcForm);
  startForm.show();
  const QStringList files = QApplication::arguments().mid(1);  // the toolkit took its own options
  if (files.size() > 1) {
    zarn::ui::ReportError(&startForm, QStringLiteral("Usage: zarn [FILE.zarn]"));
  } else if (files.size() == 1) {
    zarn::ui::Guard(&startForm, [&] { startForm.ChooseParamFile(files.front()); });
  }
  return QApplication::exec();
}
