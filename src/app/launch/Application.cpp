// The tray application on the person's X11 desktop: the composition root that picks the
// X11 platform, the files under the XDG folders, the local-model picker, the global
// shortcuts, the login item, the journal's log and the control socket, and runs the shell
// on Qt's event loop until the person quits, the session ends or a SIGTERM/SIGINT/SIGHUP
// arrives. Whatever ends it, everything put away comes back first.
#include "cli/ApplicationLaunch.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <csignal>
#include <cstdlib>

#include "app/paint/AppFonts.h"
#include "app/qt/FdWatcher.h"
#include "app/qt/QtMainQueue.h"
#include "app/qt/QtOffMainRunner.h"
#include "app/shell/AppDelegate.h"
#include "base/Log.h"
#include "base/StateFolder.h"
#include "linux/ClientWindows.h"
#include "linux/X11Platform.h"
#include "localmodel/OpenAIChatService.h"

namespace tervane::cli {
namespace {

constexpr const char* kVersion = TERVANE_VERSION;

// The signals that end the application arrive as reads on a descriptor, on the main
// thread, so quitting runs the same path as the menu's Quit. They are blocked before any
// thread exists, so no other thread takes them.
class QuitSignals {
 public:
  QuitSignals() {
    sigemptyset(&mask_);
    sigaddset(&mask_, SIGTERM);
    sigaddset(&mask_, SIGINT);
    sigaddset(&mask_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &mask_, nullptr);
    fd_ = signalfd(-1, &mask_, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  ~QuitSignals() {
    if (fd_ >= 0) ::close(fd_);
  }
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  int fd() const { return fd_; }
  // Empties the descriptor; true when a signal was read.
  bool drain() {
    signalfd_siginfo info{};
    bool any = false;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
    return any;
  }

 private:
  sigset_t mask_{};
  int fd_ = -1;
};

}  // namespace

int runApplication(int argc, char** argv, std::ostream& out, std::ostream& err) {
  (void)out;
  QuitSignals signals;
  if (signals.fd() < 0) {
    err << "tervane-now: cannot watch for the quit signals\n";
    return 1;
  }

  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    err << "tervane-now: no X display (DISPLAY is not set). Start it from your desktop "
           "session, or run scripts/run.sh for a demonstration desktop.\n";
    return 1;
  }
  auto stateFolder = defaultStageJournalFolder();
  auto configFolder = defaultConfigFolder();
  if (!stateFolder || !configFolder) {
    err << "tervane-now: no home folder to keep the stage in (set HOME)\n";
    return 1;
  }

  auto connection = x11::XConnection::open();
  if (!connection) {
    err << "tervane-now: cannot reach the X display " << display << ": "
        << connection.error().message << "\n";
    return 1;
  }

  QApplication::setApplicationName(QStringLiteral("tervane-now"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tervane Now"));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
  QApplication::setDesktopFileName(QStringLiteral("org.tervane.now"));
  QApplication app(argc, argv);
  // A tray agent: closing a panel never ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  AppFonts::load();

  auto main = std::make_shared<QtMainQueue>();
  auto x = connection.value();
  x11::X11Platform::attach(x, main);
  auto standard = std::make_shared<FileDefaults>(configFolder.value() / "standard.json");
  auto shared = std::make_shared<FileDefaults>(configFolder.value() / "shared.json");

  x11::X11Platform::Options platformOptions;
  platformOptions.stateFolder = stateFolder.value();
  auto platform = std::make_shared<x11::X11Platform>(x, platformOptions);

  ShellEnvironment e;
  e.main = main;
  e.clock = std::make_shared<SystemClock>();
  e.offMain = std::make_shared<QtOffMainRunner>(main);
  e.platform = platform;
  e.monitor = platform->guardMonitor();
  e.standardDefaults = standard;
  e.sharedDefaults = shared;
  e.journalFolder = stateFolder.value();
  e.picker = std::make_shared<ActPicker>(
      std::make_shared<OpenAIChatService>(LocalModelSettings::read(*standard)),
      ActPicker::kDefaultTimeout);
  e.keepFocus = [x]() -> std::function<void()> {
    const auto before = x11::activeWindow(*x);
    if (!before) return {};
    return [x, window = *before] {
      x11::requestActivation(*x, window);
      x->flush();
    };
  };
  e.quit = [] { QApplication::quit(); };
  e.menu.app = AppIdentity{"Linux", kVersion, ""};
  e.help.app = e.menu.app;
  e.help.system = readSystemIdentity();

  AppDelegate delegate(std::move(e));

  FdWatcher xEvents(
      x->fileDescriptor(),
      [x, &xEvents] {
        // A server that went away leaves the descriptor readable for ever.
        if (!x->dispatch()) xEvents.setEnabled(false);
      },
      [x] { (void)x->dispatch(); });
  FdWatcher quitSignals(signals.fd(), [&signals, &delegate] {
    if (signals.drain()) delegate.quit();
  });
  // The session ending, or anything else that ends the loop, brings everything back too.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                   [&delegate] { delegate.applicationWillTerminate(); });

  delegate.applicationDidFinishLaunching();
  const int status = QApplication::exec();
  delegate.applicationWillTerminate();
  return status;
}

}  // namespace tervane::cli
