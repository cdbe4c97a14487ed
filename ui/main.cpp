// Program entry: the start form (the main window), the calculation form (hidden), the event loop.
#include <QApplication>
#include <memory>

#include "assets/pictures.h"
#include "records/flight_data.h"
#include "ui/calc_form.h"
#include "ui/start_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  zarn::InitPictures();
  auto data = std::make_unique<zarn::ZarnData>();  // every record zero, alive until the program ends
  zarn::ui::Form1 form1(*data);
  zarn::ui::Form2 form2(*data, form1);
  form1.SetCalculationForm(&form2);
  form1.show();
  return QApplication::exec();
}
