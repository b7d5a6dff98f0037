// The script engine on arbitrary text, run against two simulated browsers (one of each
// scripting dictionary) with a few windows and tabs. Whatever the text, the engine gives
// a reply, a script error or a compile failure, agrees with its own syntax check, is
// repeatable, and a script can only minimize, reorder or select: no window or tab is ever
// made or lost.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "FuzzCheck.h"
#include "script/BrowserRegistry.h"
#include "script/ScriptEngine.h"
#include "script/SimulatedBrowser.h"

using namespace tervane;

namespace {

const char* const kChromeState = R"({"windows":[
  {"id":11,"activeTabIndex":2,"tabs":[{"title":"Inbox","url":"https://mail.example.com/"},
                                      {"title":"Plan","url":"https://docs.example.org/plan"}]},
  {"id":12,"minimized":true,"activeTabIndex":0,"tabs":[{"title":"Loading","url":null}]},
  {"id":13,"tabs":[]}]})";
const char* const kSafariState = R"({"windows":[
  {"id":21,"tabs":[{"title":"News","url":"http://WWW.News.example/"},
                   {"title":"News","url":"http://WWW.News.example/"}]},
  {"id":22,"visible":false,"tabs":[{"title":"Hidden","url":"https://h.example/"}]}]})";

// What a script must never change: which windows exist and what their tabs are.
bool sameShape(const SimulatedState& before, const SimulatedState& after) {
  if (before.windows.size() != after.windows.size()) return false;
  for (const auto& w : before.windows) {
    bool found = false;
    for (const auto& v : after.windows) {
      if (v.id == w.id) found = v.tabs == w.tabs && v.visible == w.visible;
    }
    if (!found) return false;
  }
  return true;
}

struct Run {
  ScriptOutcome outcome;
  SimulatedState chrome;
  SimulatedState safari;
};

Run runOnce(const std::string& script) {
  static const auto chromeState = SimulatedState::parse(kChromeState).value();
  static const auto safariState = SimulatedState::parse(kSafariState).value();
  auto chrome = std::make_shared<SimulatedBrowser>(ScriptDictionary::chromium, chromeState);
  auto safari = std::make_shared<SimulatedBrowser>(ScriptDictionary::safari, safariState);
  auto registry = std::make_shared<BrowserRegistry>();
  registry->add("Google Chrome", chrome);
  registry->add("Safari", safari);
  // A small limit keeps every run quick; the limit itself is part of what is fuzzed.
  ScriptEngine engine(registry, 1'000'000);
  auto outcome = engine.execute(script);
  return Run{std::move(outcome), chrome->state(), safari->state()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  const Run first = runOnce(script);

  const auto* failure = std::get_if<ScriptFailure>(&first.outcome);
  const bool compiled = !(failure && failure->compileFailure);
  fuzz::require(ScriptEngine::check(script).ok() == compiled,
                "the engine runs exactly the texts its syntax check accepts");
  if (failure && !failure->compileFailure) {
    fuzz::require(failure->number.has_value() && failure->message && !failure->message->empty(),
                  "a script error has a number and a message");
  }
  if (!compiled) return 0;

  fuzz::require(sameShape(SimulatedState::parse(kChromeState).value(), first.chrome) &&
                    sameShape(SimulatedState::parse(kSafariState).value(), first.safari),
                "a script never makes or loses a window or a tab");

  const Run second = runOnce(script);
  fuzz::require(second.outcome == first.outcome && second.chrome == first.chrome &&
                    second.safari == first.safari,
                "the same script on the same browsers does the same thing");
  return 0;
}
