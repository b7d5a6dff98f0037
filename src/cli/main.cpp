// tervane-now: with no sub-command, the tray application. `preview` shows what a Start
// would do without moving anything; the control sub-commands (capture, start, pause, show,
// done, undo, answer, status, open, keep, stow) ask the running application to act (exit codes in
// cli/Control.h); `browsers` looks after the browser companion's host manifests, `desktop
// install` after GNOME Shell's extension.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "base/Log.h"
#include "cli/ApplicationLaunch.h"
#include "cli/Browsers.h"
#include "cli/BuildIdentity.h"
#include "cli/Control.h"
#include "cli/Desktop.h"
#include "cli/LivePlatform.h"
#include "cli/Preview.h"

int main(int argc, char** argv) {
  if (argc <= 1) return tervane::cli::runApplication(argc, argv, std::cout, std::cerr);

  // A command prints its own answer; only problems from below belong beside it.
  tervane::Log::setSink(std::make_shared<tervane::StderrLogSink>(tervane::LogLevel::error));

  CLI::App app{"Tervane Now: put away everything your one thing does not need."};
  app.require_subcommand(1);
  app.set_version_flag("--version", tervane::cli::versionLine(), "Say which build this is");

  tervane::cli::PreviewOptions preview;
  std::string desktop;
  auto* previewCommand =
      app.add_subcommand("preview", "Say what Start would keep and put away, moving nothing");
  previewCommand->add_option("line", preview.line, "The one thing you are doing")->required();
  previewCommand->add_option("--desktop", desktop, "A simulated desktop described in JSON");
  previewCommand->add_flag("--json", preview.json, "Print the result as JSON");
  tervane::cli::ControlCommandLine control(app);
  tervane::cli::BrowsersCommandLine browsers(app);
  tervane::cli::DesktopCommandLine desktopCommand(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    // --help and --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "tervane-now: " << e.what() << "\n";
    return 2;
  }

  if (*previewCommand) {
    if (!desktop.empty()) preview.desktopFile = desktop;
    preview.askApplication =
        [client = tervane::posix::ControlClient::forEnvironment()](
            const tervane::ControlRequest& request) -> std::optional<tervane::ControlReply> {
      auto reply = client.send(request);
      if (!reply) return std::nullopt;
      return reply.value();
    };
    return tervane::cli::runPreview(preview, tervane::cli::livePlatform, std::cout, std::cerr);
  }
  if (browsers.parsed()) {
    tervane::cli::BrowsersContext context;
    std::error_code ec;
    context.program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return tervane::cli::runBrowsers(browsers.install(), context,
                                     tervane::posix::ControlClient::forEnvironment(), std::cout,
                                     std::cerr);
  }
  if (desktopCommand.install()) {
    tervane::cli::DesktopContext context;
    std::error_code ec;
    context.program = std::filesystem::read_symlink("/proc/self/exe", ec);
    context.run = tervane::cli::runProgram;
    return tervane::cli::runDesktopInstall(context, std::cout, std::cerr);
  }
  if (auto request = control.parsed()) {
    return tervane::cli::runControl(*request, tervane::posix::ControlClient::forEnvironment(),
                                    std::cout, std::cerr);
  }
  return 2;
}
