#include "ui/method_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <string>
#include <utility>

#include "flight/number_text.h"
#include "records/errors.h"
#include "records/language.h"
#include "ui/guard.h"
#include "ui/run_figures.h"
#include "ui/window_texts.h"

namespace zarn::ui {
namespace {

QString InLanguage(const Phrase& w, int32_t LangCode) {
  return QString::fromUtf8(w.In(LanguageOf(LangCode)));
}

// clang-format off
constexpr Phrase kHeadHalfStep{"Prüfung des Schritts (%1, gegen den halben Schritt %2 s):",
                              "Проверка шага (%1, против половинного шага %2 с):",
                              "Step check (%1, against half the step, %2 s):"};
constexpr Phrase kHeadTolerance{"Prüfung des Schritts (%1, gegen Rtol = %2):",
                               "Проверка шага (%1, против Rtol = %2):",
                               "Step check (%1, against Rtol = %2):"};
constexpr Phrase kFiner{"feiner", "точнее", "finer"};
constexpr Phrase kError{"geschätzter Fehler", "оценка ошибки", "estimated error"};
constexpr Phrase kCoarseNote{
    "Hinweis: Der geschätzte Fehler der Reichweite oder der Gipfelhöhe übersteigt 0,1 %; %1 wäre besser.",
    "Примечание: оценка ошибки дальности или высоты превышает 0,1 %; %1 дал бы лучше.",
    "Note: the range's or apex's estimated error exceeds 0.1 %; %1 would do better."};
constexpr Phrase kNoEstimate{
    "Hinweis: Euler beendet die Stufen einer Rakete am Ende seiner Schritte; ihr Fehler folgt dem Schritt nicht und lässt sich aus zwei Läufen nicht schätzen. Verfahren 1 oder 2 beenden sie genau.",
    "Примечание: метод Эйлера завершает ступени ракеты в конце шага; их ошибка не следует шагу и не оценивается по двум расчётам. Методы 1 и 2 завершают их точно.",
    "Note: Euler ends a rocket's stages at the ends of its steps, so that their error does not follow the step and two runs cannot estimate it; Integrator 1 or 2 ends them exactly."};
constexpr Phrase kSmallerRtol{"ein kleineres Rtol", "меньший Rtol", "a smaller Rtol"};
constexpr Phrase kSmallerStep{"ein kleinerer Schritt dt0 oder ein Verfahren höherer Ordnung",
                             "меньший шаг dt0 или метод более высокого порядка",
                             "a smaller step dt0 or a higher-order method"};
constexpr Phrase kMethod{"Verfahren", "Метод", "Method"};
constexpr Phrase kPhysicalWind{"Wind relativ zur Luft", "ветер относительно воздуха", "physical wind"};
constexpr Phrase kTitle{"Prüfung des Schritts", "Проверка шага", "Step check"};
// clang-format on

// The menu's entries, with the Integrator each sets.
struct MethodEntry {
  Text Caption;
  Method Of;
};
constexpr MethodEntry kMethodEntries[] = {
    {Text::kEuler, Method::kEuler},
    {Text::kRungeKutta4, Method::kRungeKutta4},
    {Text::kDormandPrince, Method::kDormandPrince},
};

// An entry named by its English text, whatever the language it shows.
QAction* Named(QAction* action, Text text) {
  action->setObjectName(Words(text, 3));
  return action;
}

QString Number(double v, int digits, char sep) {
  return QString::fromStdString(FormatGeneral(v, digits, sep));
}

}  // namespace

QString StepCheckView(const StepCheck& c, int32_t LangCode, char sep) {
  const bool adaptive = c.Of == Method::kDormandPrince;
  QString text =
      InLanguage(adaptive ? kHeadTolerance : kHeadHalfStep, LangCode)
          .arg(QString::fromUtf8(MethodName(c.Of).data(), static_cast<qsizetype>(MethodName(c.Of).size())),
               Number(c.Finer, adaptive ? 6 : 10, sep));
  for (const CheckedFigure& f : c.Figures) {
    if (!f.Present) continue;
    // In English the check says what zarn-batch --check-step says; else the form's captions.
    const FigureRow& row = kFigures[f.Figure];
    const Language language = LanguageOf(LangCode);
    const QString caption = language == Language::English
                                ? QString::fromUtf8(f.Label.data(), static_cast<qsizetype>(f.Label.size()))
                                : QString::fromUtf8(row.Caption.In(language));
    const QString unit = QLatin1Char(' ') + UnitIn(row.Unit, language);
    text += QStringLiteral("\n  ") + caption + QStringLiteral(": ") + Number(f.Value, 10, sep) + unit +
            QStringLiteral(", ") + InLanguage(kFiner, LangCode) + QLatin1Char(' ') +
            Number(f.HalfStep, 10, sep) + unit;
    if (!c.Estimated) continue;
    text += QStringLiteral(", ") + InLanguage(kError, LangCode) + QLatin1Char(' ') + Number(f.Error, 2, sep) +
            unit;
    if (f.Value != 0.0)
      text +=
          QStringLiteral(" (") + Number(std::fabs(f.Error / f.Value) * 100, 2, sep) + QStringLiteral(" %)");
  }
  if (!c.Estimated) text += QLatin1Char('\n') + InLanguage(kNoEstimate, LangCode);
  if (c.Coarse)
    text +=
        QLatin1Char('\n') +
        InLanguage(kCoarseNote, LangCode).arg(InLanguage(adaptive ? kSmallerRtol : kSmallerStep, LangCode));
  return text;
}

QString MethodNote(const FlightParameters& p, int32_t LangCode) {
  const Method m = MethodOf(p);
  const bool wind = p.WindModel == 1.0;
  if (m == Method::kEuler && !wind) return {};
  const std::string_view name = MethodName(m);
  QString text = InLanguage(kMethod, LangCode) + QStringLiteral(": ") +
                 QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  if (wind) text += QStringLiteral(", ") + InLanguage(kPhysicalWind, LangCode);
  return text;
}

AccuracyEntries::AccuracyEntries(QMenu& menu, FlightParameters& inputs, const int32_t& LangCode,
                                 QWidget& form, std::function<void()> beforeCheck)
    : inputs_(inputs),
      LangCode_(LangCode),
      form_(form),
      beforeCheck_(std::move(beforeCheck)),
      methods_(new QActionGroup(this)) {
  menu.addSeparator();
  methods_->setExclusive(true);
  for (const MethodEntry& entry : kMethodEntries) {
    QAction* action = Named(menu.addAction(Words(entry.Caption, kLangEnglish)), entry.Caption);
    action->setCheckable(true);
    action->setData(static_cast<int>(entry.Of));
    methods_->addAction(action);
  }
  connect(methods_, &QActionGroup::triggered, this,
          [this](QAction* action) { inputs_.Integrator = action->data().toInt(); });
  wind_ = Named(menu.addAction(Words(Text::kPhysicalWind, kLangEnglish)), Text::kPhysicalWind);
  wind_->setCheckable(true);
  connect(wind_, &QAction::triggered, this, [this](bool on) { inputs_.WindModel = on ? 1.0 : 0.0; });
  check_ = Named(menu.addAction(Words(Text::kCheckStep, kLangEnglish), this,
                                [this] { Guard(&form_, [&] { CheckClick(); }); }),
                 Text::kCheckStep);
  // The marks follow the parameters whatever changed them since the menu was last open.
  connect(&menu, &QMenu::aboutToShow, this, &AccuracyEntries::Sync);
  Sync();
}

AccuracyEntries::~AccuracyEntries() {
  worker_.reset();  // before the result its thread writes
}

void AccuracyEntries::Sync() {
  const QList<QAction*> methods = methods_->actions();
  for (std::size_t i = 0; i < std::size(kMethodEntries); ++i)
    methods[static_cast<qsizetype>(i)]->setText(Words(kMethodEntries[i].Caption, LangCode_));
  wind_->setText(Words(Text::kPhysicalWind, LangCode_));
  check_->setText(Words(Text::kCheckStep, LangCode_));
  for (QAction* action : methods)
    action->setChecked(action->data().toInt() == static_cast<int>(inputs_.Integrator));
  wind_->setChecked(inputs_.WindModel == 1.0);
  check_->setEnabled(worker_ == nullptr);
}

void AccuracyEntries::CheckClick() {
  if (worker_ != nullptr) return;
  // Refused parameters are refused here, as START refuses them, before any thread.
  if (beforeCheck_) beforeCheck_();
  ValidateRun(inputs_, DecimalSeparator());
  const FlightParameters p = inputs_;  // the fields as they stand; the user may go on typing
  result_.reset();
  worker_ = std::make_unique<WorkerThread>(
      *this,
      [this, p](const std::atomic<bool>& cancelled) {
        RunOptions options;
        options.ProgressEvery = kProgressEvery;
        options.Progress = [&cancelled](const RunProgress&) {
          return !cancelled.load(std::memory_order_relaxed);
        };
        const std::unique_ptr<RunResult> first = ComputeTrajectory(p, options);
        result_ = std::make_unique<StepCheck>(CheckStep(p, *first, options));
      },
      [this](const QString& error) { Guard(&form_, [&] { CheckDone(error); }); });
  check_->setEnabled(false);
}

void AccuracyEntries::CheckDone(const QString& error) {
  worker_.reset();
  check_->setEnabled(true);
  if (!result_) throw Error(error.toStdString());
  if (dialog_ == nullptr) {
    dialog_ = new QDialog(&form_);
    dialog_->setObjectName(QStringLiteral("StepCheck"));
    text_ = new QLabel(dialog_);
    text_->setObjectName(QStringLiteral("StepCheckText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Close, dialog_);
    connect(buttons_, &QDialogButtonBox::rejected, dialog_, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog_);
    layout->addWidget(text_);
    layout->addWidget(buttons_);
  }
  buttons_->button(QDialogButtonBox::Close)->setText(Words(Text::kClose, LangCode_));
  dialog_->setWindowTitle(InLanguage(kTitle, LangCode_));
  text_->setText(StepCheckView(*result_, LangCode_, DecimalSeparator()));
  dialog_->show();
  dialog_->raise();
}

}  // namespace zarn::ui
