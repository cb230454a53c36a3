// Sizes and fonts of dialogs: dialog units become pixels through the base
// units of the dialog's font, and the faces the templates name are mapped
// to fonts this machine has. Internal to the toolkit.
#ifndef TIDECHARTER_TOOLKIT_DIALOG_UNITS_H
#define TIDECHARTER_TOOLKIT_DIALOG_UNITS_H

#include <QFont>
#include <string>

namespace toolkit {

// points x dpi / 72 rounded to nearest, halves away from zero.
int MultiplyDivide(int value, int numerator, int denominator);

// The font for a face and size from a template or extended data: the pixel
// height is points x vertical dpi / 72.
QFont DialogFont(const std::string& face, int points, int weight = 400, bool italic = false);

struct BaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character height in pixels
};
BaseUnits BaseUnitsOf(const QFont& font);

}  // namespace toolkit

#endif
