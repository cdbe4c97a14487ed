// Renders both windows to PNG files for a look at the layout:  zarn-ui-screenshots <directory>
// For each language: the start form before and after the choice, the calculation form after the
// activation (a rocket record, so that every block shows) and after a run of the first preset.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "assets/pictures.h"
#include "flight/presets.h"
#include "records/flight_data.h"
#include "ui/calc_form.h"
#include "ui/start_form.h"

namespace {

void Save(QWidget& window, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  window.grab().save(path);
  std::printf("%s\n", qPrintable(path));
}

void Click(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zarn::InitPictures();
  if (argc < 2) {
    std::fprintf(stderr, "usage: zarn-ui-screenshots <directory>\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  QDir::setCurrent(dir.absolutePath());  // a run writes its result files here
  if (argc > 2 && std::strcmp(argv[2], "kept") == 0) {
    // Three kept runs of the first preset at 30, 45 and 60 degrees, then the window stays up for
    // five seconds so that a screen grab can take it as it is shown.
    auto data = std::make_unique<zarn::ui::WindowState>();
    zarn::ui::StartForm form1(*data);
    zarn::ui::CalcForm form2(*data, form1);
    form1.SetCalculationForm(&form2);
    form1.show();
    Click(form1.findChild<QGroupBox*>(QStringLiteral("RadioSprach"))->findChildren<QRadioButton*>()[2]);
    Click(form1.findChild<QGroupBox*>(QStringLiteral("WahlEN"))->findChild<QRadioButton*>());
    auto* list = form1.findChild<QListWidget*>(QStringLiteral("ListBoxProjectil"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
    form1.hide();
    for (const char* angle : {"30", "45", "60"}) {
      auto* field = form2.findChild<QLineEdit*>(QStringLiteral("EdTTO"));
      QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(field, QString::fromLatin1(angle));
      Click(form2.findChild<QPushButton*>(QStringLiteral("Button1")));
      while (form2.Running()) QTest::qWait(2);
      if (std::strcmp(angle, "60") != 0) QTest::keyClick(&form2, Qt::Key_K, Qt::ControlModifier);
    }
    Click(form2.findChild<QPushButton*>(QStringLiteral("Button2")));
    form2.move(0, 0);
    Save(form2, dir, QStringLiteral("form2_kept"));
    QTimer::singleShot(5000, &app, &QApplication::quit);
    return QApplication::exec();
  }
  if (argc > 2 && std::strcmp(argv[2], "dialogs") == 0) {
    // The plot menu's two dialogs in German and English, with a motor, a drag table and a wind
    // profile chosen.
    const auto write = [&](const char* name, const char* text) {
      QFile file(dir.filePath(QString::fromLatin1(name)));
      if (file.open(QIODevice::WriteOnly)) file.write(text);
      return std::filesystem::path(file.fileName().toStdString());
    };
    const auto motor =
        write("demo.eng", "; demo\nF32 24 124 5-10 0.0377 0.0695 Demo\n0 0\n0.05 40\n1.9 28\n2.1 0\n");
    const auto drag = write("demo-cd.csv", "Mach,Cd\n0,0.45\n0.9,0.5\n1.1,0.7\n2,0.55\n");
    const auto wind = write("demo-wind.csv", "h,w,c\n0,2,1\n3000,12,-4\n");
    for (const int lang : {1, 2}) {
      auto data = std::make_unique<zarn::ui::WindowState>();
      zarn::ui::StartForm form1(*data);
      zarn::ui::CalcForm form2(*data, form1);
      form1.SetCalculationForm(&form2);
      form1.show();
      Click(form1.findChild<QGroupBox*>(QStringLiteral("RadioSprach"))->findChildren<QRadioButton*>()[lang]);
      const char* groups[] = {"WahlRU", "RadioWahl", "WahlEN"};
      Click(form1.findChild<QGroupBox*>(QString::fromLatin1(groups[lang]))->findChild<QRadioButton*>());
      auto* list = form1.findChild<QListWidget*>(QStringLiteral("ListBoxProjectil"));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
      Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
      data->Vehicle[0] = motor;
      data->Vehicle[3] = drag;
      data->Vehicle[6] = wind;
      const QString tag = QString::fromLatin1(lang == 1 ? "de" : "en");
      const struct {
        const char* Entry;
        const char* Dialog;
        const char* Name;
      } dialogs[] = {{"Earth and launch site…", "EarthSite", "dialog_earth_"},
                     {"Vehicle files…", "VehicleFiles", "dialog_vehicle_"}};
      for (const auto& d : dialogs) {
        auto* menu = form2.findChild<QMenu*>(QStringLiteral("PlotMenu"));
        for (QAction* action : menu->actions())
          if (action->objectName() == QString::fromUtf8(d.Entry)) action->trigger();
        auto* dialog = form2.findChild<QDialog*>(QString::fromLatin1(d.Dialog));
        if (dialog == nullptr) return 1;
        QTest::qWait(300);
        Save(*dialog, dir, QString::fromLatin1(d.Name) + tag);
        dialog->reject();
      }
    }
    return 0;
  }
  const char* languages[] = {"ru", "de", "en"};
  for (int lang = 0; lang < 3; ++lang) {
    const QString tag = QString::fromLatin1(languages[lang]);
    auto data = std::make_unique<zarn::ui::WindowState>();
    zarn::ui::StartForm form1(*data);
    zarn::ui::CalcForm form2(*data, form1);
    form1.SetCalculationForm(&form2);
    form1.show();
    if (lang == 0) Save(form1, dir, QStringLiteral("form1_start"));
    Click(form1.findChild<QGroupBox*>(QStringLiteral("RadioSprach"))->findChildren<QRadioButton*>()[lang]);
    const char* groups[] = {"WahlRU", "RadioWahl", "WahlEN"};
    Click(form1.findChild<QGroupBox*>(QString::fromLatin1(groups[lang]))->findChild<QRadioButton*>());
    auto* list = form1.findChild<QListWidget*>(QStringLiteral("ListBoxProjectil"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(4)).center());
    Save(form1, dir, QStringLiteral("form1_choice_") + tag);

    // A rocket record shows the stage block, ButtonP and the rocket sketch as well.
    data->PresetRecord[zarn::kSlotTaskKind] = 8;
    for (int slot = 30; slot < 56; ++slot) data->PresetRecord[static_cast<std::size_t>(slot)] = 1000 + slot;
    Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
    Save(form2, dir, QStringLiteral("form2_rocket_") + tag);

    zarn::WritePresetRecord(0, data->PresetRecord);
    Click(form2.findChild<QPushButton*>(QStringLiteral("Button5")));
    Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
    Click(form2.findChild<QPushButton*>(QStringLiteral("Button1")));
    while (form2.Running()) QTest::qWait(2);
    Save(form2, dir, QStringLiteral("form2_graph_") + tag);
  }
  {
    // The buoyancy block and the level-flight speed: a task 5 record, then a task 3 record (the
    // activation only ever shows controls, so both stay visible), in Russian.
    auto data = std::make_unique<zarn::ui::WindowState>();
    zarn::ui::StartForm form1(*data);
    zarn::ui::CalcForm form2(*data, form1);
    form1.SetCalculationForm(&form2);
    form1.show();
    Click(form1.findChild<QGroupBox*>(QStringLiteral("RadioSprach"))->findChildren<QRadioButton*>()[0]);
    auto& rec = data->PresetRecord;
    rec = {};
    rec[zarn::kSlotTaskKind] = 5;
    rec[zarn::kSlotMass] = 1000;
    rec[zarn::kSlotS0] = 20;
    rec[zarn::kSlotCy] = 0.5;
    rec[zarn::kSlotH0] = 1000;
    Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
    Click(form2.findChild<QPushButton*>(QStringLiteral("Button5")));
    rec[zarn::kSlotTaskKind] = 3;
    rec[zarn::kSlotGasDensity] = 0.1785;
    rec[zarn::kSlotFlightAltitude] = 5000;
    Click(form1.findChild<QPushButton*>(QStringLiteral("BitBtn1")));
    Save(form2, dir, QStringLiteral("form2_buoyant_ru"));
  }
  return 0;
}
