#include "flight/step_check.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "flight/number_text.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

double RichardsonFactor(Method m) {
  // The adaptive method's error follows its tolerance: a tenth of the tolerance, a tenth of it.
  const double ratio = m == Method::kDormandPrince ? 10.0 : std::pow(2.0, MethodOrder(m));
  return ratio / (ratio - 1.0);
}

FlightParameters FinerOf(const FlightParameters& p) {
  FlightParameters finer = p;
  if (MethodOf(p) == Method::kDormandPrince) {
    finer.Rtol = RtolOf(p) / 10;
  } else {
    finer.dt0 = p.dt0 / 2;
  }
  return finer;
}

void ValidateStepCheck(const FlightParameters& p, char decimalSeparator) {
  ValidateRun(p, decimalSeparator);
  try {
    ValidateRun(FinerOf(p), decimalSeparator);
  } catch (const Error& e) {
    throw Error(std::string("The step check's finer run cannot be flown: ") + e.what());
  }
}

StepCheck CheckStep(const FlightParameters& p, const RunResult& first, const RunOptions& options) {
  StepCheck c{};
  c.Of = MethodOf(p);
  c.Estimated = !(c.Of == Method::kEuler && p.TaskKind == kTaskRocket);
  const FlightParameters finer = FinerOf(p);
  c.Finer = c.Of == Method::kDormandPrince ? finer.Rtol : finer.dt0;
  RunOptions quiet = options;
  quiet.Sink = nullptr;
  const std::unique_ptr<RunResult> second = ComputeTrajectory(finer, quiet);
  // A flight still in the air at Tk is compared there, not at last steps that pass Tk by different
  // fractions of their steps.
  const auto located = [](const FlightParameters& q, const RunResult& run) {
    KeyFigures f = KeyFiguresOf(q, run);
    if (run.AtEndTime && !f.ImpactTime)
      f.FlightTime = run.AtEndTime->t, f.Range = run.AtEndTime->X, f.EndSpeed = run.AtEndTime->V;
    return f;
  };
  const KeyFigures a = located(p, first);
  const KeyFigures b = located(finer, *second);
  const double factor = RichardsonFactor(c.Of);
  auto figure = [&](FigureId id, std::optional<double> va, std::optional<double> vb) {
    const FigureRow& r = kFigures[id];
    if (!va || !vb) return CheckedFigure{id, r.Key, r.Label, r.Unit, 0.0, 0.0, 0.0, false};
    return CheckedFigure{id, r.Key, r.Label, r.Unit, *va, *vb, Checked((*va - *vb) * factor), true};
  };
  c.Figures = {figure(kFigTime, a.FlightTime, b.FlightTime), figure(kFigRange, a.Range, b.Range),
               figure(kFigApex, a.ApexH, b.ApexH), figure(kFigEndV, a.EndSpeed, b.EndSpeed),
               figure(kFigMaxQ, first.LocatedMaxQ / 1000, second->LocatedMaxQ / 1000)};
  for (const CheckedFigure& f : {c.Figures[1], c.Figures[2]})
    if (c.Estimated && f.Present && std::fabs(f.Error) > kCoarseShare * std::fabs(f.Value)) c.Coarse = true;
  return c;
}

namespace {

std::string Number(double v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string Share(double error, double value) {
  if (value == 0.0) return "";
  return " (" + FormatGeneral(std::fabs(error / value) * 100, 2, '.') + " %)";
}

}  // namespace

std::string StepCheckText(const StepCheck& c) {
  const bool adaptive = c.Of == Method::kDormandPrince;
  std::string text = "Step check (";
  text.append(MethodName(c.Of)).append(", against ");
  if (adaptive) {
    text.append("Rtol = ").append(FormatGeneral(c.Finer, 6, '.'));
  } else {
    text.append("half the step, ").append(FormatGeneral(c.Finer, 10, '.')).append(" s");
  }
  text.append("):\n");
  for (const CheckedFigure& f : c.Figures) {
    if (!f.Present) continue;
    std::string unit;
    if (!f.Unit.empty()) unit.append(" ").append(f.Unit);
    text.append("  ").append(f.Label).append(": ").append(FormatGeneral(f.Value, 10, '.')).append(unit);
    text.append(", finer ").append(FormatGeneral(f.HalfStep, 10, '.')).append(unit);
    if (c.Estimated) {
      text.append(", estimated error ").append(FormatGeneral(f.Error, 2, '.')).append(unit);
      text.append(Share(f.Error, f.Value));
    }
    text.append("\n");
  }
  if (!c.Estimated)
    text.append(
        "Note: Euler ends a rocket's stages at the ends of its steps, so that their error does not follow "
        "the step and two runs cannot estimate it; Integrator 1 or 2 ends them exactly.\n");
  if (c.Coarse) {
    text.append("Note: the range's or apex's estimated error exceeds 0.1 %; ");
    text.append(adaptive ? "a smaller Rtol" : "a smaller step dt0 or a higher-order Integrator");
    text.append(" would do better.\n");
  }
  return text;
}

std::string StepCheckJson(const StepCheck& c) {
  std::string text =
      "{\"method\": " + std::to_string(static_cast<int>(c.Of)) + ", \"finer\": " + Number(c.Finer);
  for (const CheckedFigure& f : c.Figures)
    if (f.Present)
      text += ", \"" + std::string(f.Key) + "\": {\"value\": " + Number(f.Value) +
              ", \"half_step\": " + Number(f.HalfStep) +
              (c.Estimated ? ", \"error\": " + Number(f.Error) : std::string()) + "}";
  return text + ", \"coarse\": " + (c.Coarse ? "true" : "false") + "}";
}

}  // namespace zarn
