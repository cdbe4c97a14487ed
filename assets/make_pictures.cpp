// Draws the forms' pictures and saves them as JPEG files:
//   zarn-make-pictures OUTPUT_DIRECTORY
// The JPEGs are checked in under assets/ and compiled into the program as resources; run this
// tool again only to change them. It needs no display (it falls back to the offscreen platform).
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <QtMath>
#include <array>
#include <cmath>

namespace {

constexpr int kJpegQuality = 90;

QFont Font(int pixels, bool bold = false) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// A point at distance r from c in the direction of deg, counted anticlockwise from the right
// (screen y grows downwards, hence the minus).
QPointF Polar(QPointF c, double r, double deg) {
  return c + QPointF(r * std::cos(qDegreesToRadians(deg)), -r * std::sin(qDegreesToRadians(deg)));
}

// A filled arrowhead at tip, pointing away from from.
void ArrowHead(QPainter& p, QPointF from, QPointF tip, double size = 7.0) {
  const QPointF d = tip - from;
  const double len = std::hypot(d.x(), d.y());
  if (len <= 0.0) return;
  const QPointF u = d / len;
  const QPointF n(-u.y(), u.x());
  const std::array<QPointF, 3> head{tip, tip - u * size + n * (size * 0.38),
                                    tip - u * size - n * (size * 0.38)};
  p.save();
  p.setBrush(p.pen().color());
  p.setPen(Qt::NoPen);
  p.drawPolygon(head.data(), static_cast<int>(head.size()));
  p.restore();
}

// The arrowhead at the end of a path, along its last direction.
void ArrowAtEnd(QPainter& p, const QPainterPath& path, double size = 7.0) {
  ArrowHead(p, path.pointAtPercent(0.985), path.pointAtPercent(1.0), size);
}

// An angle mark: an arc of radius r about vertex from fromDeg to toDeg and its label just outside
// it, in the middle of the angle unless labelDeg says where.
void AngleMark(QPainter& p, QPointF vertex, double r, double fromDeg, double toDeg, const QString& label,
               double labelDeg = qQNaN()) {
  const QRectF box(vertex.x() - r, vertex.y() - r, 2 * r, 2 * r);
  p.drawArc(box, qRound(fromDeg * 16), qRound((toDeg - fromDeg) * 16));
  const QPointF at = Polar(vertex, r + 8, std::isnan(labelDeg) ? (fromDeg + toDeg) / 2 : labelDeg);
  p.drawText(QRectF(at.x() - 10, at.y() - 8, 20, 16), Qt::AlignCenter, label);
}

// A small dot with a number beside it, for the marks of the height profiles.
void NumberedMark(QPainter& p, QPointF at, const QString& number, QPointF labelOffset) {
  p.save();
  p.setBrush(Qt::black);
  p.drawEllipse(at, 2.5, 2.5);
  p.restore();
  const QPointF c = at + labelOffset;
  p.drawText(QRectF(c.x() - 8, c.y() - 8, 16, 16), Qt::AlignCenter, number);
}

// A trajectory with quadratic air drag from (0, 0), in metres, Euler steps of dt.
QPainterPath DragTrajectory(QPointF origin, double scale, double v0, double angleDeg, double k,
                            double groundY) {
  constexpr double kG = 9.8;    // m/s2
  constexpr double kDt = 0.02;  // s
  double x = 0, y = 0;
  double vx = v0 * std::cos(qDegreesToRadians(angleDeg));
  double vy = v0 * std::sin(qDegreesToRadians(angleDeg));
  QPainterPath path(origin);
  for (int i = 0; i < 100000; ++i) {
    const double v = std::hypot(vx, vy);
    vx -= k * v * vx * kDt;
    vy -= (kG + k * v * vy) * kDt;
    x += vx * kDt;
    y += vy * kDt;
    const QPointF at(origin.x() + x * scale, origin.y() - y * scale);
    path.lineTo(at);
    if (at.y() >= groundY) break;
  }
  return path;
}

// ---- Background: sky, ground, dashed trajectories, a climbing rocket and the title ----

void DrawRocket(QPainter& p, QPointF nose, double headingDeg) {
  p.save();
  p.translate(nose);
  p.rotate(90 - headingDeg);  // the rocket is drawn pointing up (towards -y)
  // Exhaust flame
  QRadialGradient flame(QPointF(0, 46), 14);
  flame.setColorAt(0, QColor(255, 246, 200));
  flame.setColorAt(0.5, QColor(255, 170, 40, 220));
  flame.setColorAt(1, QColor(255, 90, 20, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(flame);
  p.drawEllipse(QPointF(0, 46), 7, 15);
  // Fins
  p.setBrush(QColor(178, 34, 34));
  const std::array<QPointF, 3> left{QPointF(-5, 24), QPointF(-12, 38), QPointF(-5, 34)};
  const std::array<QPointF, 3> right{QPointF(5, 24), QPointF(12, 38), QPointF(5, 34)};
  p.drawPolygon(left.data(), 3);
  p.drawPolygon(right.data(), 3);
  // Body and nose cone
  QLinearGradient metal(-5, 0, 5, 0);
  metal.setColorAt(0, QColor(190, 196, 204));
  metal.setColorAt(0.45, QColor(250, 250, 252));
  metal.setColorAt(1, QColor(150, 156, 166));
  p.setBrush(metal);
  p.setPen(QPen(QColor(70, 78, 92), 1));
  QPainterPath body;
  body.moveTo(0, 0);
  body.cubicTo(4, 4, 5, 9, 5, 13);
  body.lineTo(5, 36);
  body.lineTo(-5, 36);
  body.lineTo(-5, 13);
  body.cubicTo(-5, 9, -4, 4, 0, 0);
  p.drawPath(body);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(178, 34, 34));
  QPainterPath cone;
  cone.moveTo(0, 0);
  cone.cubicTo(4, 4, 5, 7, 5, 10);
  cone.lineTo(-5, 10);
  cone.cubicTo(-5, 7, -4, 4, 0, 0);
  p.drawPath(cone);
  p.restore();
}

void DrawCloud(QPainter& p, QPointF c, double s) {
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 170));
  p.drawEllipse(c, 34 * s, 13 * s);
  p.drawEllipse(c + QPointF(-20 * s, 2 * s), 20 * s, 10 * s);
  p.drawEllipse(c + QPointF(22 * s, 3 * s), 22 * s, 9 * s);
  p.drawEllipse(c + QPointF(-2 * s, -9 * s), 18 * s, 12 * s);
  p.restore();
}

void DrawBackground(QPainter& p, QSize size) {
  const double w = size.width(), h = size.height();
  constexpr double kGround = 470;  // y of the horizon line, px

  QLinearGradient sky(0, 0, 0, kGround);
  sky.setColorAt(0, QColor(158, 196, 232));
  sky.setColorAt(0.55, QColor(204, 225, 243));
  sky.setColorAt(1, QColor(243, 247, 251));
  p.fillRect(QRectF(0, 0, w, kGround), sky);

  DrawCloud(p, QPointF(600, 210), 1.1);
  DrawCloud(p, QPointF(385, 245), 0.8);
  DrawCloud(p, QPointF(150, 400), 0.9);

  QLinearGradient ground(0, kGround, 0, h);
  ground.setColorAt(0, QColor(139, 154, 96));
  ground.setColorAt(1, QColor(92, 104, 60));
  p.fillRect(QRectF(0, kGround, w, h - kGround), ground);
  p.setPen(QPen(QColor(74, 84, 48), 2));
  p.drawLine(QPointF(0, kGround), QPointF(w, kGround));

  // Three shells from one gun: steeper descent than ascent, as with air drag.
  const QPointF gun(48, kGround);
  p.setPen(QPen(QColor(44, 72, 108), 2, Qt::DashLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  struct Shot {
    double AngleDeg;
  };
  for (const Shot s : {Shot{28}, Shot{45}, Shot{62}}) {
    const QPainterPath path = DragTrajectory(gun, 0.9, 100, s.AngleDeg, 0.0009, kGround);
    p.drawPath(path);
    p.save();
    p.setPen(QPen(QColor(44, 72, 108), 2));
    ArrowAtEnd(p, path, 10);
    p.restore();
  }
  // The gun: a small dark barrel on a mound.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 66, 52));
  p.drawChord(QRectF(gun.x() - 22, kGround - 12, 44, 24), 0, 180 * 16);
  p.save();
  p.translate(gun + QPointF(0, -6));
  p.rotate(-45);
  p.drawRoundedRect(QRectF(0, -3.5, 30, 7), 2, 2);
  p.restore();

  // The rocket: a smoke trail bending over from the launch pad.
  const QPointF pad(640, kGround);
  QPainterPath climb(pad);
  climb.cubicTo(pad + QPointF(0, -140), pad + QPointF(12, -230), pad + QPointF(52, -285));
  const int puffs = 26;
  p.setPen(Qt::NoPen);
  for (int i = 0; i < puffs; ++i) {
    const double t = 0.04 + 0.84 * i / (puffs - 1);
    const double r = 3 + 14 * (1 - t);
    p.setBrush(QColor(255, 255, 255, qRound(60 + 150 * t)));
    p.drawEllipse(climb.pointAtPercent(t), r, r * 0.85);
  }
  p.setPen(QPen(QColor(120, 128, 140), 1.2, Qt::DotLine));
  p.setBrush(Qt::NoBrush);
  p.drawPath(climb);
  const double heading = climb.angleAtPercent(1.0);
  DrawRocket(p,
             climb.pointAtPercent(1.0) +
                 QPointF(std::cos(qDegreesToRadians(heading)), -std::sin(qDegreesToRadians(heading))) * 40,
             heading);
  // Launch tower
  p.setPen(QPen(QColor(70, 76, 70), 2));
  p.drawLine(pad + QPointF(-14, 0), pad + QPointF(-14, -40));
  p.drawLine(pad + QPointF(-14, -40), pad + QPointF(-4, -40));
  p.drawLine(pad + QPointF(-14, -20), pad + QPointF(-4, -20));

  // Title in the free band at the top, between the task choice and the START/QUIT buttons.
  const QRectF titleBox(290, 6, 400, 74);
  const QRectF versionBox(290, 80, 400, 26);
  QFont title = Font(66, true);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 14);
  p.setFont(title);
  p.setPen(QColor(255, 255, 255, 170));
  p.drawText(titleBox.translated(2, 2), Qt::AlignCenter, QStringLiteral("ZARN"));
  p.setPen(QColor(29, 53, 87));
  p.drawText(titleBox, Qt::AlignCenter, QStringLiteral("ZARN"));
  p.setPen(QPen(QColor(178, 34, 34), 2));
  p.drawLine(QPointF(390, 81), QPointF(590, 81));
  p.setFont(Font(18));
  p.setPen(QColor(29, 53, 87));
  p.drawText(versionBox, Qt::AlignCenter, QStringLiteral("vers. 1.1 (Beta)"));
}

// ---- Language picture: three flags with the language names, level with the R/D/E items ----

void DrawUnionFlag(QPainter& p, const QRectF& r) {
  p.save();
  p.setClipRect(r);
  p.fillRect(r, QColor(1, 33, 105));
  const double t = r.height() / 6;  // width of the white diagonals
  p.setPen(QPen(Qt::white, t));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.bottomLeft(), r.topRight());
  p.setPen(QPen(QColor(200, 16, 46), t / 2.5));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.bottomLeft(), r.topRight());
  const QPointF c = r.center();
  const double cross = r.height() / 3;
  p.fillRect(QRectF(r.left(), c.y() - cross / 2, r.width(), cross), Qt::white);
  p.fillRect(QRectF(c.x() - cross / 2, r.top(), cross, r.height()), Qt::white);
  const double red = r.height() / 5;
  p.fillRect(QRectF(r.left(), c.y() - red / 2, r.width(), red), QColor(200, 16, 46));
  p.fillRect(QRectF(c.x() - red / 2, r.top(), red, r.height()), QColor(200, 16, 46));
  p.restore();
}

void DrawTricolour(QPainter& p, const QRectF& r, const std::array<QColor, 3>& stripes) {
  const double band = r.height() / 3;
  for (int i = 0; i < 3; ++i)
    p.fillRect(QRectF(r.left(), r.top() + i * band, r.width(), band), stripes[static_cast<size_t>(i)]);
}

void DrawLanguage(QPainter& p, QSize size) {
  const double w = size.width(), h = size.height();
  QLinearGradient bg(0, 0, 0, h);
  bg.setColorAt(0, QColor(250, 251, 253));
  bg.setColorAt(1, QColor(226, 233, 242));
  p.fillRect(QRectF(0, 0, w, h), bg);
  p.setPen(QPen(QColor(120, 138, 160), 1));
  p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));

  p.setFont(Font(11));
  p.setPen(QColor(70, 86, 110));
  p.drawText(QRectF(0, 8, w, 20), Qt::AlignCenter, QString::fromUtf8("ЯЗЫК  ·  SPRACHE  ·  LANGUAGE"));

  enum class Flag { Russia, Germany, Union };
  struct Row {
    double CentreY;  // px, level with the radio item of the language
    Flag Kind;
    const char* Name;
  };
  // The radio group spans picture rows 40..161. Spread evenly its items sit at 60, 100 and 141;
  // in a Qt layout with the group's margins at 69, 100 and 131: the rows sit between the two.
  const std::array<Row, 3> rows{
      {{65.0, Flag::Russia, "РУССКИЙ"}, {100.5, Flag::Germany, "DEUTSCH"}, {136.0, Flag::Union, "ENGLISH"}}};
  constexpr double kFlagW = 42, kFlagH = 26, kFlagX = 102, kNameX = 158;
  for (const Row& row : rows) {
    const QRectF flag(kFlagX, row.CentreY - kFlagH / 2, kFlagW, kFlagH);
    // A soft shadow lifts the flag off the light ground.
    p.fillRect(flag.translated(2, 2), QColor(0, 0, 0, 40));
    switch (row.Kind) {
      case Flag::Russia:
        DrawTricolour(p, flag, {QColor(255, 255, 255), QColor(0, 57, 166), QColor(213, 43, 30)});
        break;
      case Flag::Germany:
        DrawTricolour(p, flag, {QColor(0, 0, 0), QColor(221, 0, 0), QColor(255, 206, 0)});
        break;
      case Flag::Union:
        DrawUnionFlag(p, flag);
        break;
    }
    p.setPen(QPen(QColor(90, 100, 115), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(flag.adjusted(-0.5, -0.5, 0.5, 0.5));
    p.setFont(Font(17, true));
    p.setPen(QColor(29, 53, 87));
    p.drawText(QRectF(kNameX, row.CentreY - 12, w - kNameX - 6, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(row.Name));
  }
}

// ---- Task sketches: black line drawings on white ----

void Ground(QPainter& p, double y, double x0, double x1) {
  p.drawLine(QPointF(x0, y), QPointF(x1, y));
  p.save();
  p.setPen(QPen(Qt::black, 0.8));
  for (double x = x0 + 4; x < x1; x += 8) p.drawLine(QPointF(x, y), QPointF(x - 5, y + 5));
  p.restore();
}

QPen DashedPen() {
  return QPen(Qt::black, 1, Qt::DashLine);
}

// Task 1: three arcs from one launch point, two with the launch angle marked.
void DrawTaskBallistic(QPainter& p, QSize size) {
  const double w = size.width();
  constexpr double kGround = 130;
  const QPointF start(44, 98);
  Ground(p, kGround, 6, w - 6);
  p.setPen(DashedPen());
  p.drawLine(start, start + QPointF(72, 0));
  p.drawLine(start, QPointF(start.x(), kGround));
  p.setPen(QPen(Qt::black, 1.4));
  struct Arc {
    double AngleDeg;
    double RangePx;     // where the arc comes back to the launch height
    double MarkRadius;  // 0: no angle mark
    double LabelDeg;    // where the mark's label sits, between the arcs
  };
  for (const Arc a : {Arc{68, 110, 30, 53}, Arc{42, 170, 0, 0}, Arc{18, 190, 56, 9}}) {
    const double tanA = std::tan(qDegreesToRadians(a.AngleDeg));
    QPainterPath arc(start);
    for (double x = 1; x < 400; x += 1) {
      const double y = x * tanA * (1 - x / a.RangePx);
      const QPointF at(start.x() + x, start.y() - y);
      if (at.y() > kGround - 1 || at.x() > w - 8) break;
      arc.lineTo(at);
    }
    p.drawPath(arc);
    ArrowAtEnd(p, arc);
    if (a.MarkRadius > 0) {
      p.save();
      p.setPen(QPen(Qt::black, 1));
      p.setFont(Font(11, true));
      AngleMark(p, start, a.MarkRadius, 0, a.AngleDeg, QStringLiteral("Q"), a.LabelDeg);
      p.restore();
    }
  }
  p.save();
  p.setBrush(Qt::black);
  p.drawEllipse(start, 2.5, 2.5);
  p.restore();
  p.setFont(Font(11, true));
  p.drawText(QRectF(2, start.y() - 26, 40, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Vo"));
  p.drawText(QRectF(2, start.y() + 6, 38, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Ho"));
}

// The height axis on the left with its arrow and name.
void HeightAxis(QPainter& p, double x, double top, double bottom) {
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(QPointF(x, bottom), QPointF(x, top));
  ArrowHead(p, QPointF(x, bottom), QPointF(x, top), 6);
  p.setFont(Font(11, true));
  p.drawText(QRectF(x + 4, top - 2, 14, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("H"));
}

// Task 3: two profiles that climb from Ho, level off near H and come down through H = Ho.
void DrawTaskBuoyant(QPainter& p, QSize size) {
  const double w = size.width();
  constexpr double kAxis = 22, kLevel = 36, kStart = 108;
  HeightAxis(p, kAxis, 8, 138);
  p.setPen(DashedPen());
  p.drawLine(QPointF(kAxis, kLevel), QPointF(w - 40, kLevel));
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(QPointF(kAxis, kStart), QPointF(w - 8, kStart));
  p.setFont(Font(11, true));
  p.drawText(QRectF(w - 38, kLevel - 8, 34, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("H"));
  p.drawText(QRectF(w - 62, kStart + 2, 58, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("H = Ho"));

  const QPointF start(kAxis + 14, kStart);
  p.setPen(QPen(Qt::black, 1.4));
  QPainterPath high(start);
  high.cubicTo(start + QPointF(22, -50), QPointF(70, kLevel + 2), QPointF(96, kLevel + 2));
  high.lineTo(QPointF(150, kLevel + 2));
  high.cubicTo(QPointF(180, kLevel + 2), QPointF(206, 80), QPointF(222, 134));
  QPainterPath low(start);
  low.cubicTo(start + QPointF(30, -40), QPointF(80, kLevel + 16), QPointF(104, kLevel + 16));
  low.lineTo(QPointF(132, kLevel + 16));
  low.cubicTo(QPointF(160, kLevel + 16), QPointF(184, 80), QPointF(196, 134));
  p.drawPath(high);
  p.drawPath(low);
  ArrowAtEnd(p, high);
  ArrowAtEnd(p, low);

  p.setPen(QPen(Qt::black, 1));
  p.setFont(Font(11, true));
  NumberedMark(p, start, QStringLiteral("1"), QPointF(-8, -10));
  NumberedMark(p, QPointF(124, kLevel + 2), QStringLiteral("2"), QPointF(0, -11));
  // Where the higher profile crosses H = Ho on its way down.
  const double crossT = [&] {
    double t = 0.5;
    for (double s = 0.5; s <= 1.0; s += 0.001)
      if (high.pointAtPercent(s).y() >= kStart) return s;
    return t;
  }();
  NumberedMark(p, high.pointAtPercent(crossT), QStringLiteral("3"), QPointF(10, -8));
}

// Task 7: three paths leaving Ho at the angle Q and bending differently with K.
void DrawTaskDescent(QPainter& p, QSize size) {
  const double w = size.width();
  constexpr double kGround = 132;
  const QPointF start(34, 34);
  constexpr double kAngle = 24;  // deg below the horizontal
  Ground(p, kGround, 6, w - 6);
  p.setPen(DashedPen());
  p.drawLine(start, start + QPointF(90, 0));
  p.drawLine(start, QPointF(start.x(), kGround));
  p.setFont(Font(11, true));
  p.setPen(Qt::black);
  p.drawText(QRectF(start.x() - 30, start.y() - 8, 26, 16), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("Ho"));

  const double slope = std::tan(qDegreesToRadians(kAngle));
  struct Path {
    double Bend;  // px of downward (+) or upward (-) bend per px squared
    const char* Label;
  };
  p.setPen(QPen(Qt::black, 1.4));
  for (const Path c : {Path{-0.0009, "K < 0"}, Path{0.0, "K = 0"}, Path{0.0042, "K > 0"}}) {
    QPainterPath path(start);
    QPointF last = start;
    for (double x = 1; x < 260; x += 1) {
      const QPointF at(start.x() + x, start.y() + x * slope + c.Bend * x * x);
      if (at.y() > kGround - 1 || at.x() > w - 50) break;
      path.lineTo(at);
      last = at;
    }
    p.drawPath(path);
    ArrowAtEnd(p, path);
    p.drawText(QRectF(last.x() + 4, last.y() - 16, 44, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromLatin1(c.Label));
  }
  p.save();
  p.setBrush(Qt::black);
  p.drawEllipse(start, 2.5, 2.5);
  p.restore();
  p.setPen(QPen(Qt::black, 1));
  AngleMark(p, start, 60, -kAngle, 0, QStringLiteral("Q"), -10);
}

// Task 6: a drawing like task 3's, with marks 1, 2 and 3 at the ends of two profiles.
void DrawTaskProfile(QPainter& p, QSize size) {
  const double w = size.width();
  constexpr double kAxis = 22, kLevel = 36, kStart = 116;
  HeightAxis(p, kAxis, 8, 138);
  p.setPen(DashedPen());
  p.drawLine(QPointF(kAxis, kLevel), QPointF(w - 26, kLevel));
  p.drawLine(QPointF(kAxis, kStart), QPointF(w - 8, kStart));
  p.setPen(Qt::black);
  p.setFont(Font(11, true));
  p.drawText(QRectF(w - 24, kLevel - 8, 20, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("H"));
  p.drawText(QRectF(w - 30, kStart + 2, 26, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Ho"));

  const QPointF start(kAxis + 16, kStart);
  const QPointF endLevel(226, kLevel);
  const QPointF endDown(200, kStart);
  p.setPen(QPen(Qt::black, 1.4));
  QPainterPath level(start);
  level.cubicTo(start + QPointF(26, -66), QPointF(90, kLevel), QPointF(130, kLevel));
  level.lineTo(endLevel);
  QPainterPath down(start);
  down.cubicTo(start + QPointF(34, -50), QPointF(84, kLevel + 18), QPointF(112, kLevel + 18));
  down.cubicTo(QPointF(150, kLevel + 18), QPointF(178, 70), endDown);
  p.drawPath(level);
  p.drawPath(down);

  p.setPen(QPen(Qt::black, 1));
  p.setFont(Font(11, true));
  NumberedMark(p, start, QStringLiteral("1"), QPointF(-9, -10));
  NumberedMark(p, endLevel, QStringLiteral("2"), QPointF(0, 11));
  NumberedMark(p, endDown, QStringLiteral("3"), QPointF(10, -9));
}

// Task 8: one powered path rising from Ho, with the angle Q at its start.
void DrawTaskRocket(QPainter& p, QSize size) {
  const double w = size.width();
  constexpr double kGround = 130;
  const QPointF start(40, kGround);
  constexpr double kAngle = 64;  // deg above the horizontal at the start
  Ground(p, kGround, 6, w - 6);
  p.setPen(DashedPen());
  p.drawLine(start, Polar(start, 84, kAngle));

  p.setPen(QPen(Qt::black, 1.4));
  const QPointF tangent = Polar(start, 50, kAngle);
  QPainterPath climb(start);
  climb.cubicTo(tangent, QPointF(110, 18), QPointF(w - 20, 14));
  p.drawPath(climb);
  ArrowAtEnd(p, climb);

  p.setPen(QPen(Qt::black, 1));
  p.setFont(Font(11, true));
  AngleMark(p, start, 30, 0, kAngle, QStringLiteral("Q"));
  p.save();
  p.setBrush(Qt::black);
  p.drawEllipse(start, 2.5, 2.5);
  p.restore();
  p.drawText(QRectF(start.x() - 34, kGround - 20, 28, 16), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("Ho"));
}

struct Picture {
  const char* File;
  int Width;   // px
  int Height;  // px
  void (*Draw)(QPainter&, QSize);
};

const std::array<Picture, 7> kPictures{{
    {"background.jpg", 770, 515, DrawBackground},
    {"language.jpg", 314, 193, DrawLanguage},
    {"task_ballistic.jpg", 270, 147, DrawTaskBallistic},
    {"task_buoyant.jpg", 270, 147, DrawTaskBuoyant},
    {"task_descent.jpg", 270, 147, DrawTaskDescent},
    {"task_profile.jpg", 270, 147, DrawTaskProfile},
    {"task_rocket.jpg", 270, 147, DrawTaskRocket},
}};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  if (argc != 2) {
    err << "usage: zarn-make-pictures OUTPUT_DIRECTORY\n";
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    err << "cannot create " << out.path() << '\n';
    return 1;
  }
  for (const Picture& pic : kPictures) {
    QImage image(pic.Width, pic.Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      pic.Draw(p, image.size());
    }
    const QString path = out.filePath(QString::fromLatin1(pic.File));
    if (!image.save(path, "JPG", kJpegQuality)) {
      err << "cannot write " << path << '\n';
      return 1;
    }
  }
  return 0;
}
