// Placeholder window until the start and calculation forms exist.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(" Zarn vers.1.1 (Beta)");
  label.resize(764, 507);
  label.show();
  return QApplication::exec();
}
