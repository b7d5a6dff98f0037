// The tray application on the person's desktop: the composition root that picks the
// desktop backend (X11, or KWin on a Plasma Wayland session, or sway), the files under the XDG
// folders, the local-model picker, the global shortcuts, the login item, the journal's log and the
// control socket, and runs the shell on Qt's event loop until the person quits, the session ends or
// a SIGTERM/SIGINT/SIGHUP arrives. Whatever ends it, everything put away comes back first.
#include "cli/ApplicationLaunch.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <csignal>
#include <cstdlib>
#include <optional>

#include "app/paint/AppFonts.h"
#include "app/qt/FdWatcher.h"
#include "app/qt/QtMainQueue.h"
#include "app/qt/QtOffMainRunner.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/DesktopNotifier.h"
#include "app/tray/MenuBarController.h"
#include "base/AtomicFile.h"
#include "base/Log.h"
#include "base/Signal.h"
#include "base/StateFolder.h"
#include "cli/BuildIdentity.h"
#include "cli/DesktopChoice.h"
#include "companion/CompanionSocket.h"
#include "control/ControlCommands.h"
#include "gnome/GnomeGlobalShortcuts.h"
#include "gnome/GnomePlatform.h"
#include "gnome/GnomeWindows.h"
#include "kwin/KWinGlobalShortcuts.h"
#include "kwin/KWinPlatform.h"
#include "linux/ClientWindows.h"
#include "linux/GlobalHotkeys.h"
#include "linux/HiddenWindowRecord.h"
#include "linux/JournalLogSink.h"
#include "linux/LoginItem.h"
#include "linux/X11Platform.h"
#include "localmodel/OpenAIChatService.h"
#include "posix/ControlClient.h"
#include "posix/ControlFolder.h"
#include "posix/ControlServer.h"
#include "posix/InstanceLock.h"
#include "sway/SwayPlatform.h"

namespace tervane::cli {
namespace {

// The main loop dispatches `source` (the X connection or KWin's bus) when its descriptor
// is readable; a reply wait on any thread can also leave events in memory that the
// descriptor no longer shows, and then it wakes us to dispatch them on the main thread.
template <class Source>
void dispatchWhenWoken(const std::shared_ptr<Source>& source, std::shared_ptr<MainQueue> main) {
  std::weak_ptr<Source> weak = source;
  source->setWakeHandler([weak, main = std::move(main)] {
    main->post([weak] {
      if (auto alive = weak.lock()) (void)alive->dispatch();
    });
  });
}

// While a popup of ours (the card) holds the keyboard, the X server gives every key to it
// and none to the shortcuts' grabs on the root: the shortcuts are taken out of Qt's own
// events before the popup sees them.
class ShortcutsInOwnWindows final : public QAbstractNativeEventFilter {
 public:
  explicit ShortcutsInOwnWindows(x11::GlobalHotkeys& hotkeys) : hotkeys_(hotkeys) {}
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_key_press_event_t*>(message);
    const auto kind = event->response_type & 0x7f;
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
    return hotkeys_.takeKey(kind == XCB_KEY_PRESS, event->detail, event->state);
  }

 private:
  x11::GlobalHotkeys& hotkeys_;
};

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

// The bee in GNOME Shell's top bar, through the extension: each picture the tray icon takes
// is written beside the control socket and shown there; a left click toggles the card and
// any other opens the bar menu at the pointer.
gnome::GnomeShell::Signals::Connection showBeeInGnomeShell(
    const std::shared_ptr<gnome::GnomeShell>& shell, MenuBarController& menuBar,
    const std::filesystem::path& folder) {
  menuBar.onPicture = [shell, folder, &menuBar](MenuBarBee::Picture picture) {
    const auto file = folder / ("bee-" + std::to_string(static_cast<int>(picture)) + ".png");
    if (!std::filesystem::exists(file)) {
      (void)menuBar.bee().image(picture).save(QString::fromStdString(file.string()));
    }
    if (auto shown = shell->setBee(file.string()); !shown) {
      Log("tray").error("GNOME Shell does not show the bee: " + shown.error().message);
    }
  };
  menuBar.refresh();
  return shell->onSignal([&menuBar](const std::string& name, const std::string& button) {
    if (name != "BeeClicked") return;
    if (button == "primary") {
      menuBar.toggleCard();
    } else {
      menuBar.closeCard();
      menuBar.prepareBarMenu();
      menuBar.barMenu()->popup(QCursor::pos());
    }
  });
}

// A second start hands its request to the first: the card opens there.
int handOver(const posix::ControlPaths& paths, std::ostream& out, std::ostream& err) {
  auto reply =
      posix::ControlClient({paths.socket}).send(ControlRequest{.command = ControlCommand::open});
  if (!reply || !reply.value().ok) {
    err << "tervane-now: Tervane Now is already running but did not answer: "
        << (reply ? reply.value().message : reply.error().message) << "\n";
    return ControlProtocol::kExitRefused;
  }
  out << "Tervane Now is already running; its card is open.\n";
  return ControlProtocol::kExitDone;
}

}  // namespace

int runApplication(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Log::setSink(x11::makeSystemLogSink());
  auto paths = posix::prepareControlFolder();
  if (!paths) {
    err << "tervane-now: " << paths.error().message << "\n";
    return 1;
  }
  auto lock = posix::InstanceLock::acquire(paths.value().lock);
  if (!lock) {
    if (lock.error().code == EWOULDBLOCK) return handOver(paths.value(), out, err);
    err << "tervane-now: " << lock.error().message << "\n";
    return 1;
  }

  QuitSignals signals;
  if (signals.fd() < 0) {
    err << "tervane-now: cannot watch for the quit signals\n";
    return 1;
  }

  const auto backend = chooseSessionDesktop();
  if (!backend) {
    err << "tervane-now: " << backend.error().message << "\n";
    return kExitNoDesktop;
  }
  const bool onX11 = backend.value() == DesktopBackend::x11;
  auto stateFolder = defaultStageJournalFolder();
  auto configFolder = defaultConfigFolder();
  if (!stateFolder || !configFolder) {
    err << "tervane-now: no home folder to keep the stage in (set HOME)\n";
    return 1;
  }

  // The instance lock is ours, so no other run is writing these files: what a run that was
  // killed mid-write left beside them can go.
  for (const auto& file :
       {stateFolder.value() / StageJournal::kFileName,
        stateFolder.value() / x11::HiddenWindowRecord::kFileName,
        stateFolder.value() / kwin::KWinWindowDoor::kRecordFileName,
        stateFolder.value() / gnome::GnomeWindowDoor::kRecordFileName,
        configFolder.value() / "standard.json", configFolder.value() / "shared.json"}) {
    removeAbandonedTemporaries(file);
  }

  std::shared_ptr<x11::XConnection> x;
  if (onX11) {
    auto connection = x11::XConnection::open();
    if (!connection) {
      err << "tervane-now: cannot reach the X display " << std::getenv("DISPLAY") << ": "
          << connection.error().message << "\n";
      return 1;
    }
    x = connection.value();
  }

  QApplication::setApplicationName(QStringLiteral("tervane-now"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tervane Now"));
  const AppIdentity identity = buildIdentity();
  QApplication::setApplicationVersion(QString::fromStdString(identity.shortVersion));
  QApplication::setDesktopFileName(QStringLiteral("org.tervane.now"));
  QApplication app(argc, argv);
  // A tray agent: closing a panel never ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  AppFonts::load();

  auto main = std::make_shared<QtMainQueue>();
  auto standard = std::make_shared<FileDefaults>(configFolder.value() / "standard.json");
  auto shared = std::make_shared<FileDefaults>(configFolder.value() / "shared.json");

  // The browsers' companions connect here; without it every browser is seen by its windows.
  // Links open and close on the server's thread and are heard of on the main thread.
  std::shared_ptr<const companion::CompanionServer> companionServer;
  auto companionLinks = std::make_shared<Signal<>>();
  companion::CompanionServerOptions companionOptions;
  companionOptions.linksChanged = [main, companionLinks](std::size_t) {
    main->post([companionLinks] { companionLinks->emit(); });
  };
  auto companions = companion::CompanionServer::start(
      paths.value().folder / companion::kSocketName, companionOptions);
  if (companions) {
    companionServer = std::move(companions).value();
  } else {
    Log("companion").error("the companion socket is not available: " + companions.error().message);
  }
  std::shared_ptr<PlatformFactory> platform;
  std::shared_ptr<GuardObserving> monitor;
  std::shared_ptr<kwin::KWinBus> kwinBus;
  std::shared_ptr<sway::SwayPlatform> sway;
  std::shared_ptr<gnome::GnomeShell> gnomeShell;
  std::shared_ptr<kwin::WaylandIdle> idle;
  if (onX11) {
    dispatchWhenWoken(x, main);
    x11::X11Platform::Options platformOptions;
    platformOptions.stateFolder = stateFolder.value();
    platformOptions.companions = companionServer;
    auto x11Platform = std::make_shared<x11::X11Platform>(x, platformOptions);
    monitor = x11Platform->guardMonitor();
    platform = x11Platform;
    // GNOME on X11: the windows are the X server's, but there is no tray; the extension,
    // when on, shows the bee.
    if (kwin::KWinBus::nameOnSessionBus(gnome::GnomeShell::kService)) {
      if (auto shell = gnome::GnomeShell::open()) {
        gnomeShell = std::move(shell).value();
        dispatchWhenWoken(gnomeShell, main);
      }
    }
  } else if (backend.value() == DesktopBackend::gnome) {
    gnome::GnomePlatform::Options platformOptions;
    platformOptions.stateFolder = stateFolder.value();
    platformOptions.companions = companionServer;
    platformOptions.ownPid = ::getpid();
    auto gnomePlatform = gnome::GnomePlatform::open(platformOptions);
    if (!gnomePlatform) {
      err << "tervane-now: " << gnomePlatform.error().message
          << ". Run \"tervane-now desktop install\", then log out and in again: GNOME loads a "
             "new extension at the next login.\n";
      return kExitNoDesktop;
    }
    gnomeShell = gnomePlatform.value()->shell();
    dispatchWhenWoken(gnomeShell, main);
    monitor = gnomePlatform.value()->guardMonitor();
    platform = gnomePlatform.value();
  } else if (backend.value() == DesktopBackend::sway) {
    sway::SwayPlatform::Options platformOptions;
    platformOptions.socketPath = std::getenv("SWAYSOCK");
    platformOptions.companions = companionServer;
    platformOptions.ownPid = ::getpid();
    auto swayPlatform = sway::SwayPlatform::open(platformOptions);
    if (!swayPlatform) {
      err << "tervane-now: " << swayPlatform.error().message << "\n";
      return 1;
    }
    sway = swayPlatform.value();
    idle = sway->idle();
    monitor = sway->guardMonitor();
    platform = sway;
  } else {
    kwin::KWinPlatform::Options platformOptions;
    platformOptions.stateFolder = stateFolder.value();
    platformOptions.companions = companionServer;
    platformOptions.ownPid = ::getpid();
    auto kwinPlatform = kwin::KWinPlatform::open(platformOptions);
    if (!kwinPlatform) {
      err << "tervane-now: KWin did not take this program's script: "
          << kwinPlatform.error().message << "\n";
      return 1;
    }
    kwinBus = kwinPlatform.value()->bus();
    idle = kwinPlatform.value()->idle();
    dispatchWhenWoken(kwinBus, main);
    monitor = kwinPlatform.value()->guardMonitor();
    platform = kwinPlatform.value();
  }

  ShellEnvironment e;
  e.main = main;
  e.clock = std::make_shared<SystemClock>();
  e.offMain = std::make_shared<QtOffMainRunner>(main);
  e.platform = platform;
  e.monitor = monitor;
  e.standardDefaults = standard;
  e.sharedDefaults = shared;
  e.journalFolder = stateFolder.value();
  e.picker = std::make_shared<ActPicker>(
      std::make_shared<OpenAIChatService>(LocalModelSettings::read(*standard)),
      ActPicker::kDefaultTimeout);
  if (x) {
    e.keepFocus = [x]() -> std::function<void()> {
      const auto before = x11::activeWindow(*x);
      if (!before) return {};
      return [x, window = *before] {
        x11::requestActivation(*x, window);
        x->flush();
      };
    };
  }
  auto login = std::make_shared<x11::LoginItem>();
  e.isLoginItemOn = [login] { return login->isOn(); };
  e.setLoginItem = [login](bool on) { return login->set(on); };
  // The desktop's global shortcuts: grabs on the X server, KDE's shortcut service, or GNOME
  // Shell's through its extension. Sway has none for other programs: its configuration
  // binds keys to the sub-commands.
  struct GlobalShortcuts {
    std::unique_ptr<x11::GlobalHotkeys> x11;
    std::unique_ptr<kwin::KWinGlobalShortcuts> kde;
    std::unique_ptr<gnome::GnomeGlobalShortcuts> gnome;
  };
  // Filled in below, once the shortcuts they register exist; used only while launching.
  GlobalShortcuts* shortcutsSlot = nullptr;
  e.onKeyUp = [&shortcutsSlot](const ShortcutName& name, std::function<void()> action) {
    if (!shortcutsSlot) return;
    if (shortcutsSlot->x11) shortcutsSlot->x11->onKeyUp(name, action);
    if (shortcutsSlot->kde) shortcutsSlot->kde->onKeyUp(name, action);
    if (shortcutsSlot->gnome) shortcutsSlot->gnome->onKeyUp(name, std::move(action));
  };
  e.quit = [] { QApplication::quit(); };
  // The control server exists once the model does; it stops before the model quits.
  std::function<void()> stopServer;
  e.willTerminate = [&stopServer] {
    if (stopServer) stopServer();
  };
  e.notify = [](const std::string& text) {
    return DesktopNotifier::notify(QDBusConnection::sessionBus(), QStringLiteral("Tervane Now"),
                                   QString::fromStdString(text));
  };
  e.menu.app = identity;
  e.help.app = e.menu.app;
  e.help.system = readSystemIdentity();
  e.help.system.desktop = displayName(backend.value());
  // GNOME Shell has no tray: the extension shows the bee in the top bar.
  if (gnomeShell) e.trayProbe = [] { return true; };

  AppDelegate delegate(std::move(e));
  // Declared after the delegate, so they go before the shortcuts they read.
  GlobalShortcuts globalShortcuts;
  std::optional<ShortcutsInOwnWindows> shortcutsInOwnWindows;
  if (x) {
    globalShortcuts.x11 = std::make_unique<x11::GlobalHotkeys>(x, delegate.shortcuts());
    app.installNativeEventFilter(&shortcutsInOwnWindows.emplace(*globalShortcuts.x11));
  }
  if (kwinBus) {
    globalShortcuts.kde =
        std::make_unique<kwin::KWinGlobalShortcuts>(kwinBus, main, delegate.shortcuts());
  }
  if (gnomeShell && !x) {
    globalShortcuts.gnome =
        std::make_unique<gnome::GnomeGlobalShortcuts>(gnomeShell, main, delegate.shortcuts());
  }
  shortcutsSlot = &globalShortcuts;

  std::unique_ptr<FdWatcher> desktopEvents;
  if (x) {
    desktopEvents = std::make_unique<FdWatcher>(
        x->fileDescriptor(),
        [x, &desktopEvents] {
          // A server that went away leaves the descriptor readable for ever.
          if (!x->dispatch()) desktopEvents->setEnabled(false);
        },
        [x] { (void)x->dispatch(); });
  } else if (sway) {
    desktopEvents = std::make_unique<FdWatcher>(sway->fileDescriptor(), [sway, &desktopEvents] {
      if (!sway->dispatch()) desktopEvents->setEnabled(false);
    });
  } else if (kwinBus) {
    desktopEvents = std::make_unique<FdWatcher>(
        kwinBus->fileDescriptor(),
        [kwinBus, &desktopEvents] {
          if (!kwinBus->dispatch()) desktopEvents->setEnabled(false);
        },
        [kwinBus] { (void)kwinBus->dispatch(); });
  }
  // GNOME Shell's signals (focus, the bee's clicks, shortcuts), beside the X server's on X11.
  std::unique_ptr<FdWatcher> shellEvents;
  if (gnomeShell) {
    shellEvents = std::make_unique<FdWatcher>(
        gnomeShell->fileDescriptor(),
        [gnomeShell, &shellEvents] {
          if (!gnomeShell->dispatch()) shellEvents->setEnabled(false);
        },
        [gnomeShell] { (void)gnomeShell->dispatch(); });
  }
  // The compositor's idle notification is stamped as it arrives.
  std::unique_ptr<FdWatcher> idleEvents;
  if (idle) {
    idleEvents = std::make_unique<FdWatcher>(idle->fileDescriptor(), [idle, &idleEvents] {
      if (!idle->dispatch()) idleEvents->setEnabled(false);
    });
  }
  FdWatcher quitSignals(signals.fd(), [&signals, &delegate] {
    if (signals.drain()) delegate.quit();
  });
  // The session ending, or anything else that ends the loop, brings everything back too.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                   [&delegate] { delegate.applicationWillTerminate(); });

  delegate.applicationDidFinishLaunching();
  shortcutsSlot = nullptr;
  gnome::GnomeShell::Signals::Connection beeClicks;
  if (gnomeShell)
    beeClicks = showBeeInGnomeShell(gnomeShell, delegate.menuBar(), paths.value().folder);

  auto commands = std::make_shared<ControlCommands>(delegate.model(), main,
                                                    [&delegate] { delegate.menuBar().openCard(); });
  commands->setBrowserReading(platform->browserSurface(), std::make_shared<QtOffMainRunner>(main));
  commands->setDesktop(rawValue(backend.value()));
  Signal<>::Connection companionsHeard;
  if (auto companions = companionServer) {
    commands->setCompanionReport([companions] {
      auto list = nlohmann::json::array();
      for (const auto& link : companions->links()) {
        list.push_back({{"browser", link->browser()}, {"profile", link->profile()}});
      }
      return list;
    });
    companionsHeard =
        companionLinks->connect([c = commands.get()] { c->companionsChanged(); });
  }
  auto server = posix::ControlServer::start(std::move(lock).value(), paths.value(), main,
                                            posix::controlHandler(commands));
  if (!server) {
    // The application still works from the tray and the shortcuts.
    Log("control").error("the control socket is not available: " + server.error().message);
  }
  stopServer = [&server] {
    if (server) server.value()->stop();
  };

  const int status = QApplication::exec();
  delegate.applicationWillTerminate();
  if (gnomeShell) (void)gnomeShell->setBee("");
  return status;
}

}  // namespace tervane::cli
