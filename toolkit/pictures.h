// The pictures and icons of the dialogs, drawn rather than shipped: the
// template names a picture and the toolkit paints an ocean motif for it.
#ifndef TIDECHARTER_TOOLKIT_PICTURES_H
#define TIDECHARTER_TOOLKIT_PICTURES_H

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QSize>
#include <string>
#include <vector>

namespace toolkit {

QPixmap DialogPicture(const std::string& name, QSize size, bool icon);

// One filled or outlined shape of a picture, painted in order.
struct PictureLayer {
  QPainterPath path;
  QBrush brush;
  QPen pen;
};

// The main menu's sun over the waves, filling `r`, cut to `within`.
std::vector<PictureLayer> WavesLayers(const QRectF& r, const QPainterPath& within);
// The program's icon: those waves in a circle with a rim, centred in `r`.
std::vector<PictureLayer> ProgramIconLayers(const QRectF& r);

}  // namespace toolkit

#endif
