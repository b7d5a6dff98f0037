// A registry with simulated browsers and an engine over it, for the engine's tests.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "script/BrowserRegistry.h"
#include "script/ScriptEngine.h"
#include "script/SimulatedBrowser.h"
#include "surfaces/BrowserAdapters.h"

namespace tervane::testing {

// Two windows of 3 and 2 tabs, the first in front with its second tab active.
inline constexpr const char* kTwoWindows = R"({"windows":[
  {"id":11,"minimized":false,"visible":true,"activeTabIndex":2,"tabs":[
    {"title":"Inbox","url":"https://mail.example.com/"},
    {"title":"Report","url":"https://docs.example.com/report"},
    {"title":"Inbox","url":"https://mail.example.com/"}]},
  {"id":12,"minimized":true,"visible":true,"activeTabIndex":1,"tabs":[
    {"title":"News","url":"https://news.example.com/"},
    {"title":"Weather","url":"https://weather.example.com/"}]}]})";

// The adapter whose scripts the application sends to `kind`: what it says is what these
// tests hold to account.
inline std::unique_ptr<BrowserAdapter> adapter(BrowserKind kind) {
  if (kind == BrowserKind::safari) return std::make_unique<SafariAdapter>();
  return std::make_unique<ChromiumAdapter>(kind);
}

struct Desk {
  std::shared_ptr<BrowserRegistry> registry = std::make_shared<BrowserRegistry>();
  ScriptEngine engine{registry};

  std::shared_ptr<SimulatedBrowser> add(const std::string& appName, const std::string& json) {
    auto browser = std::make_shared<SimulatedBrowser>(*dictionaryForApp(appName),
                                                      SimulatedState::parse(json).value());
    registry->add(appName, browser);
    return browser;
  }

  ScriptOutcome run(const std::string& script) { return engine.execute(script); }
};

// The error number a script ended with; 0 when it replied or did not compile.
inline int errorOf(const ScriptOutcome& outcome) {
  const auto* failure = std::get_if<ScriptFailure>(&outcome);
  return failure ? failure->number.value_or(0) : 0;
}

inline nlohmann::json answer(const ScriptOutcome& outcome) {
  if (const auto* failure = std::get_if<ScriptFailure>(&outcome)) {
    ADD_FAILURE() << "script failed: " << errorOf(outcome) << " " << failure->message.value_or("");
    return {};
  }
  return std::get<ReplyDescriptor>(outcome).toJson();
}

}  // namespace tervane::testing
