// tervane-script: runs one browser script, read from standard input, the way the
// application would send it, and prints the reply as JSON. For diagnosing browser control:
//
//   tervane-script --app "Google Chrome" --state state.json [--print-state] < script
//   tervane-script --app "Google Chrome" < script      (the live desktop's browser)
//
// Exit status: 0 with the reply; 1 with {"error":NUMBER,"message":"…"} when the script
// failed (number 0 and "could not compile" for text outside the language, with the reason
// on standard error); 2 when the arguments or the state file are wrong.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "base/AtomicFile.h"
#include "script/BrowserRegistry.h"
#include "script/ScriptEngine.h"
#include "script/SimulatedBrowser.h"
#include "script/tool/LiveBrowsers.h"

namespace {

using tervane::ScriptDictionary;

int usageError(const std::string& message) {
  std::cerr << "tervane-script: " << message << "\n";
  return 2;
}

std::string dump(const nlohmann::json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Runs a browser script from standard input and prints the reply as JSON.",
               "tervane-script"};
  std::string appName;
  std::string statePath;
  bool printState = false;
  double delaySeconds = 0;
  std::optional<int> failNumber;
  app.add_option("--app", appName,
                 "The browser the script addresses: Safari, Google Chrome, Brave Browser, "
                 "Microsoft Edge or Firefox")
      ->required();
  app.add_option("--state", statePath, "A simulated browser's state (JSON) to run against")
      ->check(CLI::ExistingFile);
  app.add_flag("--print-state", printState, "Print the browser state after the script ran");
  app.add_option("--delay", delaySeconds,
                 "Seconds the simulated browser takes before it answers each script")
      ->check(CLI::Range(0.0, 3600.0));
  app.add_option("--fail", failNumber,
                 "Make the simulated browser answer every call with "
                 "this error number");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    return usageError(e.what());
  }

  const auto dictionary = tervane::dictionaryForApp(appName);
  if (!dictionary) {
    return usageError("unknown browser \"" + appName +
                      "\"; use Safari, Google Chrome, Brave Browser, Microsoft Edge or Firefox");
  }
  const std::string script{std::istreambuf_iterator<char>(std::cin),
                           std::istreambuf_iterator<char>()};
  std::shared_ptr<tervane::BrowserLookup> browsers;
  std::shared_ptr<tervane::SimulatedBrowser> simulated;
  if (statePath.empty()) {
    if (printState || delaySeconds > 0 || failNumber) {
      return usageError("--print-state, --delay and --fail need a simulated browser (--state)");
    }
    auto live = tervane::liveBrowsers();
    if (!live) return usageError(live.error().message);
    browsers = std::move(live).value();
  } else {
    auto text = tervane::readFile(statePath);
    if (!text) return usageError("cannot read " + statePath + ": " + text.error().message);
    auto state = tervane::SimulatedState::parse(text.value());
    if (!state) return usageError(statePath + ": " + state.error().message);
    simulated = std::make_shared<tervane::SimulatedBrowser>(*dictionary, std::move(state).value());
    if (delaySeconds > 0) {
      simulated->setConnectDelay(std::chrono::milliseconds(static_cast<long>(delaySeconds * 1000)));
    }
    if (failNumber) simulated->failWith(*failNumber);
    auto registry = std::make_shared<tervane::BrowserRegistry>();
    registry->add(appName, simulated);
    browsers = std::move(registry);
  }

  tervane::ScriptEngine engine(browsers);
  const auto outcome = engine.execute(script);

  int status = 0;
  if (const auto* reply = std::get_if<tervane::ReplyDescriptor>(&outcome)) {
    std::cout << dump(reply->toJson()) << "\n";
  } else {
    const auto& failure = std::get<tervane::ScriptFailure>(outcome);
    nlohmann::json error;
    if (failure.compileFailure) {
      error = {{"error", 0}, {"message", "could not compile"}};
      const auto why = tervane::ScriptEngine::check(script);
      if (!why) std::cerr << "tervane-script: " << why.error().message << "\n";
    } else {
      error = {{"error", failure.number.value_or(0)},
               {"message", failure.message.value_or("unknown")}};
    }
    std::cout << dump(error) << "\n";
    status = 1;
  }
  if (printState && simulated) std::cout << dump(simulated->stateJson()) << "\n";
  return status;
}
