// The two type families of the look: Figtree (regular and medium) for everything small and
// Space Grotesk (light) for the person's line. They are embedded as application fonts when
// the build found them; otherwise the platform's default face stands in and nothing fails.
// Sizes are in points as the look names them, which Qt draws as device-independent pixels.
#pragma once

#include <QFont>
#include <QStringList>

namespace tervane::AppFonts {

enum class Weight { regular, medium, light };

// Registers every embedded face once; later calls do nothing. Call after the Qt
// application exists. Returns the families now available from the embedded files.
QStringList load();

// Whether the named family was loaded from the embedded files.
bool hasEmbedded(const QString& family);

QFont figtree(double points, Weight weight = Weight::regular);
QFont spaceGrotesk(double points);

// The section label style: Figtree 10 medium with 1.2 points of letter spacing (the text
// itself is shown upper case, in ink at 0.6).
QFont sectionLabel();

}  // namespace tervane::AppFonts
