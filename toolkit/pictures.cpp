#include "toolkit/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace toolkit {
namespace {

const QColor kDeep(12, 52, 97);
const QColor kSea(33, 110, 168);
const QColor kShallow(120, 190, 220);
const QColor kSand(236, 214, 160);
const QColor kWarm(230, 110, 60);

QPainterPath wave(const QRectF& r, double level, double amplitude, double cycles,
                  double phase) {
  QPainterPath path;
  const int steps = 64;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const QPointF p(r.left() + t * r.width(),
                    r.top() + level * r.height() +
                        amplitude * r.height() * std::sin(2 * M_PI * (cycles * t + phase)));
    if (i == 0)
      path.moveTo(p);
    else
      path.lineTo(p);
  }
  return path;
}

void seaBackground(QPainter& p, const QRectF& r) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, kShallow);
  g.setColorAt(1, kDeep);
  p.fillRect(r, g);
}

void drawMap(QPainter& p, const QRectF& r) {
  seaBackground(p, r);
  // A warm pool with isotherms, and a coast on the left.
  for (int i = 4; i >= 1; --i) {
    QColor c = kWarm;
    c.setAlpha(40 + 35 * (4 - i));
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(r.center().x() - r.width() * 0.1, r.center().y()),
                  r.width() * 0.09 * i, r.height() * 0.08 * i);
  }
  p.setBrush(kSand);
  QPainterPath coast;
  coast.moveTo(r.topLeft());
  coast.lineTo(r.left() + r.width() * 0.16, r.top());
  coast.cubicTo(r.left() + r.width() * 0.05, r.top() + r.height() * 0.4,
                r.left() + r.width() * 0.22, r.top() + r.height() * 0.7,
                r.left() + r.width() * 0.1, r.bottom());
  coast.lineTo(r.bottomLeft());
  p.drawPath(coast);
}

void drawSection(QPainter& p, const QRectF& r) {
  // Warm water over cold, layers bent by a thermocline wave.
  const QColor layers[] = {kWarm, QColor(240, 170, 80), kShallow, kSea, kDeep};
  p.fillRect(r, layers[0]);
  p.setPen(Qt::NoPen);
  for (int i = 1; i < 5; ++i) {
    QPainterPath below = wave(r, 0.2 * i, 0.03, 1.5, 0.1 * i);
    below.lineTo(r.bottomRight());
    below.lineTo(r.bottomLeft());
    below.closeSubpath();
    p.setBrush(layers[i]);
    p.drawPath(below);
  }
}

void drawAxes(QPainter& p, const QRectF& r) {
  p.fillRect(r, QColor(250, 250, 245));
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.drawLine(QPointF(r.left() + 4, r.bottom() - 4), QPointF(r.right() - 2, r.bottom() - 4));
  p.drawLine(QPointF(r.left() + 4, r.bottom() - 4), QPointF(r.left() + 4, r.top() + 2));
}

void drawSeries(QPainter& p, const QRectF& r, bool twoCurves) {
  drawAxes(p, r);
  const QRectF plot = r.adjusted(6, 4, -4, -8);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kSea, 1.6));
  p.drawPath(wave(plot, 0.5, 0.3, twoCurves ? 1.0 : 3.0, 0.0));
  if (twoCurves) {
    p.setPen(QPen(kWarm, 1.6));
    p.drawPath(wave(plot, 0.5, 0.25, 1.0, 0.3));
  }
}

void drawBars(QPainter& p, const QRectF& r) {
  drawAxes(p, r);
  const double heights[] = {0.35, 0.55, 0.8, 0.6, 0.4, 0.7};
  const double w = (r.width() - 12) / 6.0;
  for (int i = 0; i < 6; ++i) {
    const double h = heights[i] * (r.height() - 10);
    p.fillRect(QRectF(r.left() + 7 + i * w, r.bottom() - 5 - h, w * 0.7, h),
               i % 2 ? kSea : kWarm);
  }
}

void paintLayers(QPainter& p, const std::vector<PictureLayer>& layers) {
  for (const PictureLayer& layer : layers) {
    p.setPen(layer.pen);
    p.setBrush(layer.brush);
    p.drawPath(layer.path);
  }
}

void drawWaves(QPainter& p, const QRectF& r) {
  QPainterPath whole;
  whole.addRect(r);
  paintLayers(p, WavesLayers(r, whole));
}

}  // namespace

// Sky, sun and three waves; every shape is cut to `within`, so that the
// same layers serve a painter and a vector file alike.
std::vector<PictureLayer> WavesLayers(const QRectF& r, const QPainterPath& within) {
  std::vector<PictureLayer> layers;
  QLinearGradient sky(r.topLeft(), r.bottomLeft());
  sky.setColorAt(0, QColor(250, 226, 170));
  sky.setColorAt(1, QColor(250, 250, 235));
  layers.push_back({within, QBrush(sky), Qt::NoPen});
  QPainterPath sun;
  sun.addEllipse(QPointF(r.right() - r.height() * 0.4, r.top() + r.height() * 0.35),
                 r.height() * 0.18, r.height() * 0.18);
  layers.push_back({sun.intersected(within), QBrush(kWarm), Qt::NoPen});
  const QColor colours[] = {kShallow, kSea, kDeep};
  for (int i = 0; i < 3; ++i) {
    QPainterPath w = wave(r, 0.5 + 0.15 * i, 0.06, 2.5, 0.2 * i);
    w.lineTo(r.bottomRight());
    w.lineTo(r.bottomLeft());
    w.closeSubpath();
    layers.push_back({w.intersected(within), QBrush(colours[i]), Qt::NoPen});
  }
  return layers;
}

std::vector<PictureLayer> ProgramIconLayers(const QRectF& r) {
  // The rim keeps its share of the picture at every size, and all of it
  // stays inside the picture.
  const double size = qMin(r.width(), r.height());
  const double rim = qMax(1.0, size * 0.025);
  const double d = size - rim - 1;
  const QRectF box(r.center().x() - d / 2, r.center().y() - d / 2, d, d);
  QPainterPath circle;
  circle.addEllipse(box);
  std::vector<PictureLayer> layers = WavesLayers(box, circle);
  layers.push_back({circle, Qt::NoBrush, QPen(kDeep, rim)});
  return layers;
}

namespace {

void drawIcon(QPainter& p, const QRectF& r) { paintLayers(p, ProgramIconLayers(r)); }

}  // namespace

QPixmap DialogPicture(const std::string& name, QSize size, bool icon) {
  QPixmap pixmap(size.expandedTo(QSize(1, 1)));
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0, 0, pixmap.width(), pixmap.height());
  if (icon) {
    drawIcon(p, r);
    return pixmap;
  }
  if (name == "mapview")
    drawMap(p, r);
  else if (name == "section")
    drawSection(p, r);
  else if (name == "timeseries")
    drawSeries(p, r, false);
  else if (name == "linedrawing")
    drawSeries(p, r, true);
  else if (name == "products")
    drawBars(p, r);
  else
    drawWaves(p, r);
  if (name != "banner") {
    p.setPen(QPen(kDeep, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
  }
  return pixmap;
}

}  // namespace toolkit
