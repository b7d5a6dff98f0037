// tervane-grab: a picture of the whole X screen, for showing the application on the
// demonstration desktop.
//
//   tervane-grab OUT.png
//
// Grabs the root window of the primary screen of $DISPLAY and writes it as PNG. Without a
// display, or when the picture cannot be written, it says why and exits with 1.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "tervane-grab: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0' || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: tervane-grab OUT.png\n");
    return 2;
  }
  const std::string out = argv[1];

  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return fail("no display: DISPLAY is not set");
  // Qt ends the process outright when it cannot reach the server, so ask first. The probe
  // stays connected until the end: a server that resets when its last client leaves
  // (Xvfb without -noreset) would otherwise refuse Qt's connection during the reset.
  std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> probe(
      xcb_connect(nullptr, nullptr), xcb_disconnect);
  if (xcb_connection_has_error(probe.get()) != 0) {
    return fail(std::string("cannot open display ") + display);
  }

  // The X screen itself, whatever platform the environment asks other Qt programs for.
  qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return fail(std::string("display ") + display + " has no screen");
  const QPixmap picture = screen->grabWindow(0);
  if (picture.isNull()) return fail(std::string("cannot read the screen of ") + display);
  if (!picture.save(QString::fromStdString(out), "PNG")) return fail("cannot write " + out);
  return 0;
}
