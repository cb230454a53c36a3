// The pictures and icons of the dialogs, drawn rather than shipped: the
// template names a picture and the toolkit paints an ocean motif for it.
#ifndef TIDECHARTER_TOOLKIT_PICTURES_H
#define TIDECHARTER_TOOLKIT_PICTURES_H

#include <QPixmap>
#include <QSize>
#include <string>

namespace toolkit {

QPixmap DialogPicture(const std::string& name, QSize size, bool icon);

}  // namespace toolkit

#endif
