#include "toolkit/program_icon.h"

#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>
#include <QString>

#include "toolkit/pictures.h"

namespace toolkit {
namespace {

QString number(double value) { return QString::number(value, 'f', 2); }

QString colour(const QColor& c) { return c.name(QColor::HexRgb); }

// The path as SVG path data: moves, lines and cubic curves, each subpath
// that ends where it began closed, so that an outline has no seam.
QString pathData(const QPainterPath& path) {
  QString d;
  QPointF start, at;
  auto close = [&] {
    if (!d.isEmpty() && (at - start).manhattanLength() < 0.01) d += "Z";
  };
  auto point = [&at](double x, double y) {
    at = QPointF(x, y);
    return number(x) + " " + number(y);
  };
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (e.type == QPainterPath::MoveToElement) {
      close();
      d += "M" + point(e.x, e.y);
      start = at;
    } else if (e.type == QPainterPath::LineToElement) {
      d += "L" + point(e.x, e.y);
    } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
      const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
      d += "C" + point(e.x, e.y);
      d += " " + point(c2.x, c2.y);
      d += " " + point(end.x, end.y);
      i += 2;
    }
  }
  close();
  return d;
}

}  // namespace

bool WriteProgramIconPng(const std::string& path, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const PictureLayer& layer : ProgramIconLayers(QRectF(0, 0, size, size))) {
      p.setPen(layer.pen);
      p.setBrush(layer.brush);
      p.drawPath(layer.path);
    }
  }
  return image.save(QString::fromStdString(path), "PNG");
}

bool WriteProgramIconSvg(const std::string& path, int size) {
  QString defs, shapes;
  int gradients = 0;
  for (const PictureLayer& layer : ProgramIconLayers(QRectF(0, 0, size, size))) {
    QString fill = "none";
    const QBrush& b = layer.brush;
    if (b.style() == Qt::SolidPattern) {
      fill = colour(b.color());
    } else if (b.style() == Qt::LinearGradientPattern) {
      const auto* g = static_cast<const QLinearGradient*>(b.gradient());
      const QString id = "g" + QString::number(gradients++);
      defs += "    <linearGradient id=\"" + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"" +
              number(g->start().x()) + "\" y1=\"" + number(g->start().y()) + "\" x2=\"" +
              number(g->finalStop().x()) + "\" y2=\"" + number(g->finalStop().y()) + "\">\n";
      for (const QGradientStop& stop : g->stops())
        defs += "      <stop offset=\"" + number(stop.first) + "\" stop-color=\"" + colour(stop.second) +
                "\"/>\n";
      defs += "    </linearGradient>\n";
      fill = "url(#" + id + ")";
    }
    QString stroke = "none";
    if (layer.pen.style() != Qt::NoPen)
      stroke = colour(layer.pen.color()) + "\" stroke-width=\"" + number(layer.pen.widthF());
    const QString rule = layer.path.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero";
    shapes += "  <path fill=\"" + fill + "\" fill-rule=\"" + rule + "\" stroke=\"" + stroke + "\" d=\"" +
              pathData(layer.path) + "\"/>\n";
  }
  const QString n = QString::number(size);
  const QString svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + n + "\" height=\"" + n +
                      "\" viewBox=\"0 0 " + n + " " + n + "\">\n  <defs>\n" + defs + "  </defs>\n" + shapes +
                      "</svg>\n";
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(svg.toUtf8());
  return file.commit();
}

}  // namespace toolkit
