#include "app/paint/DarkLook.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

#include "app/paint/Tone.h"

namespace tervane::DarkLook {

QPalette palette(TervaneTint tint) {
  const QColor background = qColor(TervaneTints::deepBg);
  const QColor raised = qColor(surfaceContainerHigh(tint));
  const QColor ink = qColor(TervaneTints::ink);
  const QColor dimmed = Tone::dimmed().resolve(tint);
  QPalette p;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const QColor text = group == QPalette::Disabled ? dimmed : ink;
    p.setColor(group, QPalette::Window, background);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, background);
    p.setColor(group, QPalette::AlternateBase, raised);
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::PlaceholderText, dimmed);
    p.setColor(group, QPalette::Button, raised);
    p.setColor(group, QPalette::ButtonText, text);
    p.setColor(group, QPalette::BrightText, ink);
    p.setColor(group, QPalette::ToolTipBase, raised);
    p.setColor(group, QPalette::ToolTipText, ink);
    p.setColor(group, QPalette::Highlight, Tone::accent(0.35).resolve(tint));
    p.setColor(group, QPalette::HighlightedText, ink);
    p.setColor(group, QPalette::Light, raised.lighter(130));
    p.setColor(group, QPalette::Midlight, raised.lighter(115));
    p.setColor(group, QPalette::Mid, raised);
    p.setColor(group, QPalette::Dark, background.darker(150));
    p.setColor(group, QPalette::Shadow, Qt::black);
    p.setColor(group, QPalette::Link, Tone::accent().resolve(tint));
  }
  return p;
}

void apply(TervaneTint tint) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
    QApplication::setStyle(fusion);
  }
  const QPalette dark = palette(tint);
  QApplication::setPalette(dark);
  QToolTip::setPalette(dark);
}

}  // namespace tervane::DarkLook
