// The start form: language, task and preset choice, START and QUIT.
#include <QApplication>
#include <QTimer>
#include <array>

#include "flight/presets.h"
#include "windows_fixture.h"

namespace zarn::ui {
namespace {

TEST_F(WindowsTest, StartFormOpensWithOnlyTheLanguageChoice) {
  EXPECT_EQ(form1_->windowTitle(), " Zarn vers.1.1 (Beta)");
  EXPECT_EQ(form1_->size(), QSize(764, 507));
  EXPECT_EQ(form1_->pos(), QPoint(319, 131));
  EXPECT_TRUE(Start<QGroupBox>("RadioSprach")->isVisible());
  EXPECT_TRUE(Start<QLabel>("Image1")->isVisible());
  for (const char* hidden : {"RadioWahl", "WahlRU", "WahlEN", "ListBoxProjectil"})
    EXPECT_FALSE(Start<QWidget>(hidden)->isVisible()) << hidden;
  EXPECT_FALSE(form2_->isVisible());
  EXPECT_EQ(data_->LangCode, 0);
  EXPECT_EQ(data_->TaskChoice, 0);
}

struct LanguageCase {
  Language Item;
  int32_t LangCode;
  const char* TaskGroup;
  const char* GroupCaption;  // UTF-8
  const char* TaskItem;      // UTF-8
};

class LanguageChoice : public WindowsTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(LanguageChoice, ReplacesTheLanguageGroupByThatLanguagesTaskGroupForGood) {
  const LanguageCase& c = GetParam();
  ChooseLanguage(c.Item);
  EXPECT_EQ(data_->LangCode, c.LangCode);
  EXPECT_FALSE(Start<QGroupBox>("RadioSprach")->isVisible());
  EXPECT_FALSE(Start<QLabel>("Image1")->isVisible());
  for (const char* group : {"RadioWahl", "WahlRU", "WahlEN"})
    EXPECT_EQ(Start<QGroupBox>(group)->isVisible(), std::string_view(group) == c.TaskGroup) << group;
  EXPECT_EQ(Start<QGroupBox>(c.TaskGroup)->title(), QString::fromUtf8(c.GroupCaption));
  EXPECT_EQ(Item(c.TaskGroup, 0)->text(), QString::fromUtf8(c.TaskItem));
  EXPECT_FALSE(Start<QWidget>("ListBoxProjectil")->isVisible());

  ChooseTask();
  EXPECT_EQ(data_->TaskChoice, 1);
  EXPECT_TRUE(Start<QWidget>("ListBoxProjectil")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, LanguageChoice,
                         ::testing::Values(LanguageCase{kRussian, 1, "WahlRU", "Выбор", "Снаряд"},
                                           LanguageCase{kGerman, 2, "RadioWahl", "Wahl",
                                                        "Ballistik (Projectil, Kugel, Tropfen etc.)"},
                                           LanguageCase{kEnglish, 3, "WahlEN", "Choice", "Projectile"}));

TEST_F(WindowsTest, PresetListHoldsTheFiveGermanLabelsAndAnEmptySixthItem) {
  ChooseLanguage(kEnglish);
  ChooseTask();
  auto* list = Start<QListWidget>("ListBoxProjectil");
  ASSERT_EQ(list->count(), 6);
  EXPECT_EQ(list->item(0)->text(), "Projectil, Q= 45 Grad,  V= 100 m/s, H= 0 m");
  EXPECT_EQ(list->item(1)->text(), "Projectil, Q= -88 Grad,  V= 0 m/s, H= 10 km");
  EXPECT_EQ(list->item(2)->text(), QString::fromUtf8("Fußball (m=450 g, Umfang = 70 cm)"));
  EXPECT_EQ(list->item(3)->text(),
            QString::fromUtf8("Tamsker - 1865 De la Terre à la Lune (= Von der Erde zum Mond)"));
  EXPECT_TRUE(list->item(4)->text().startsWith("Railgun ("));
  EXPECT_EQ(list->item(5)->text(), "");
  // Every item can be seen whole: six rows of 13 px fit in the 97 px box.
  for (int i = 0; i < list->count(); ++i)
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(i)))) << i;
}

TEST_F(WindowsTest, PresetChoiceWritesOnlyTheRecordAndLeavesNothingOfTheLastPreset) {
  ChooseLanguage(kGerman);
  ChooseTask();
  ChoosePreset(0);
  EXPECT_EQ(data_->PresetRecord[kSlotTTO], 45.0);
  ChoosePreset(4);
  const auto& rec = data_->PresetRecord;
  EXPECT_EQ(rec[kSlotTaskKind], 1.0);
  EXPECT_EQ(rec[kSlotMass], 200.0);
  EXPECT_EQ(rec[kSlotCy], 0.05);
  EXPECT_EQ(rec[kSlotTTO], 0.0);
  EXPECT_EQ(rec[kSlotDt0], 0.0015);
  for (int slot = 30; slot < kPresetSlots; ++slot)
    EXPECT_EQ(rec[static_cast<std::size_t>(slot)], 0.0) << slot;
  // Nothing reaches the parameters or the fields before START.
  EXPECT_EQ(Params().MassaStart, 0.0);
  EXPECT_EQ(Text("edMassaStart"), "");

  const PresetRecordSlots before = rec;
  ChoosePreset(5);
  EXPECT_EQ(rec, before);
}

TEST_F(WindowsTest, StartBeforeAnyChoiceOpensAnAllZeroGermanForm) {
  PressStartOfStartForm();
  ASSERT_TRUE(form2_->isVisible());
  EXPECT_TRUE(form1_->isVisible());  // stays open behind
  EXPECT_EQ(form2_->windowTitle(), "Zarn 1.1. (Beta)");
  EXPECT_EQ(form2_->size(), QSize(1216, 696));
  EXPECT_EQ(form2_->pos(), QPoint(177, 49));
  for (const char* field : {"edMassaStart", "EdS0", "EdCx", "EdCy", "edVwind", "eddt0", "EdTTO", "edH0",
                            "edV0", "edTk", "edHkk", "edVk"})
    EXPECT_EQ(Text(field), "0") << field;
  EXPECT_EQ(Calc<QComboBox>("AeroBox1")->currentText(), "Constant");
  for (const char* picture : {"Image2", "Image3", "Image4", "Image5", "Image6"})
    EXPECT_FALSE(Calc<QWidget>(picture)->isVisible()) << picture;
  EXPECT_FALSE(Calc<QWidget>("Button14")->isVisible());
  EXPECT_FALSE(Calc<QWidget>("Volumen_Start")->isVisible());
  EXPECT_EQ(Text("Volumen_Start"), "100000");
  EXPECT_EQ(Caption("Label10"), "Integrationsschritt, s");
  EXPECT_EQ(Caption("Button12"), "Fw=f(t)");
}

// The names of the controls that Tab visits, in order; a radio item counts as its group.
std::vector<QString> TabOrder(QWidget* window) {
  std::vector<QString> names;
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
    if (!(w->focusPolicy() & Qt::TabFocus)) continue;
    QString name = qobject_cast<QRadioButton*>(w) ? w->parentWidget()->objectName() : w->objectName();
    if (w->parentWidget() != window && !qobject_cast<QRadioButton*>(w)) continue;  // parts of a control
    if (names.empty() || names.back() != name) names.push_back(name);
  }
  return names;
}

TEST_F(WindowsTest, TabVisitsTheStartFormsControlsInTheirOrder) {
  const std::vector<QString> expected{"RadioSprach",      "RadioWahl", "WahlRU", "WahlEN",
                                      "ListBoxProjectil", "BitBtn1",   "Button1"};
  EXPECT_EQ(TabOrder(form1_.get()), expected);
  EXPECT_EQ(TabOrder(form2_.get()).front(), "Button1");  // START first on the calculation form
}

TEST_F(WindowsTest, QuitEndsTheProgram) {
  ChooseLanguage(kGerman);
  QTimer::singleShot(0, [this] { QTest::mouseClick(Start<QPushButton>("Button1"), Qt::LeftButton); });
  // Should QUIT not end the event loop, this ends it with another code.
  QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(form1_->isVisible());
}

}  // namespace
}  // namespace zarn::ui
