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
  zarn::ui::Form1 form1(state);
  zarn::ui::Form2 form2(state, form1);
  form1.SetCalculationForm(&form2);
  form1.show();
  const QStringList files = QApplication::arguments().mid(1);  // the toolkit took its own options
  if (files.size() > 1) {
    zarn::ui::ReportError(&form1, QStringLiteral("Usage: zarn [FILE.zarn]"));
  } else if (files.size() == 1) {
    zarn::ui::Guard(&form1, [&] { form1.ChooseParamFile(files.front()); });
  }
  return QApplication::exec();
}
