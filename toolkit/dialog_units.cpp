#include "toolkit/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <cstdlib>

namespace toolkit {
namespace {

// Replacements by family, best first; the first one installed is used.
// Arial-compatible metrics first. Of the others DejaVu Sans comes closer to
// the proportions the dialogs were laid out in: its character height
// matches MS Sans Serif, where Nimbus Sans stands a fifth taller and
// stretches every dialog.
const char* const kSansFaces[] = {"Liberation Sans", "Arimo", "DejaVu Sans", "Nimbus Sans"};
const char* const kSerifFaces[] = {"Liberation Serif", "Tinos", "Nimbus Roman", "DejaVu Serif"};
const char* const kMonoFaces[] = {"Liberation Mono", "Cousine", "Nimbus Mono PS",
                                  "DejaVu Sans Mono"};

// Font databases may list a family with its foundry: "Nimbus Sans [urw]".
bool installed(const QString& face) {
  for (const QString& family : QFontDatabase::families())
    if (family.compare(face, Qt::CaseInsensitive) == 0 ||
        family.startsWith(face + QLatin1String(" ["), Qt::CaseInsensitive))
      return true;
  return false;
}

template <std::size_t N>
QString firstInstalled(const char* const (&faces)[N], QFont::StyleHint hint) {
  for (const char* face : faces)
    if (installed(QLatin1String(face))) return QLatin1String(face);
  QFont f;
  f.setStyleHint(hint);
  return f.defaultFamily();
}

QString mappedFace(const std::string& face) {
  const QString lower = QString::fromStdString(face).trimmed().toLower();
  static const QString sans = firstInstalled(kSansFaces, QFont::SansSerif);
  if (lower.contains("courier") || lower.contains("mono") || lower == "fixedsys" ||
      lower == "terminal")
    return firstInstalled(kMonoFaces, QFont::Monospace);
  if (lower.contains("times") || lower.contains("roman") ||
      (lower.contains("serif") && !lower.contains("sans")))
    return firstInstalled(kSerifFaces, QFont::Serif);
  if (lower.isEmpty() || lower.contains("sans") || lower == "arial" ||
      lower == "helvetica" || lower == "tahoma" || lower == "verdana" ||
      lower == "ms shell dlg" || lower == "ms shell dlg 2" || lower == "segoe ui" ||
      lower == "system")
    return sans;
  if (installed(QString::fromStdString(face).trimmed())) return QString::fromStdString(face).trimmed();
  return sans;
}

int verticalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int MultiplyDivide(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const long long q = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
  return static_cast<int>(negative ? -q : q);
}

QFont DialogFont(const std::string& face, int points, int weight, bool italic) {
  QFont font(mappedFace(face));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(qMax(1, MultiplyDivide(points, verticalDpi(), 72)));
  font.setWeight(static_cast<QFont::Weight>(qBound(1, weight, 1000)));
  font.setItalic(italic);
  return font;
}

BaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabet = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  BaseUnits units;
  units.x = qMax(1, (alphabet / 26 + 1) / 2);
  units.y = qMax(1, metrics.height());
  return units;
}

}  // namespace toolkit
