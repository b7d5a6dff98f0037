#include "app/paint/AppFonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QSet>

namespace tervane::AppFonts {
namespace {

QSet<QString>& embedded() {
  static QSet<QString> families;
  return families;
}

QFont make(const QString& family, double points, QFont::Weight weight) {
  QFont font;
  // An embedded family wins; without it the application's default face is used as it is.
  if (hasEmbedded(family)) font.setFamilies({family});
  font.setPixelSize(static_cast<int>(points));
  font.setWeight(weight);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

}  // namespace

QStringList load() {
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    const QDir folder(QStringLiteral(":/fonts"));
    for (const QString& file : folder.entryList({QStringLiteral("*.ttf")}, QDir::Files)) {
      const int id = QFontDatabase::addApplicationFont(folder.filePath(file));
      if (id < 0) continue;
      for (const QString& family : QFontDatabase::applicationFontFamilies(id)) {
        embedded().insert(family);
      }
    }
  }
  QStringList families(embedded().begin(), embedded().end());
  families.sort();
  return families;
}

bool hasEmbedded(const QString& family) {
  return embedded().contains(family);
}

QFont figtree(double points, Weight weight) {
  return make(QStringLiteral("Figtree"), points,
              weight == Weight::medium ? QFont::Medium : QFont::Normal);
}

QFont spaceGrotesk(double points) {
  return make(QStringLiteral("Space Grotesk"), points, QFont::Light);
}

QFont sectionLabel() {
  QFont font = figtree(10, Weight::medium);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
  return font;
}

}  // namespace tervane::AppFonts
