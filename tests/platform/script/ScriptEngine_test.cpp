#include "script/ScriptEngine.h"

#include <thread>

#include <gtest/gtest.h>

#include "ScriptTestSupport.h"

namespace tervane::testing {
namespace {

using nlohmann::json;

std::string inChrome(const std::string& body) {
  return "tell application \"Google Chrome\"\n" + body + "\nend tell";
}
std::string inSafari(const std::string& body) {
  return "tell application \"Safari\"\n" + body + "\nend tell";
}

TEST(ScriptEngine, EachBrowserSpeaksItsOwnDictionaryAndIsMinus600WhenNotRunning) {
  Desk desk;
  desk.add("Google Chrome", kTwoWindows);
  // A browser not running is -600 even for local work; names are compared exactly.
  const auto outcome = desk.run(inSafari("return 1"));
  EXPECT_EQ(errorOf(outcome), -600);
  EXPECT_NE(std::get<ScriptFailure>(outcome).message->find("Safari"), std::string::npos);
  EXPECT_EQ(errorOf(desk.run("tell application \"google chrome\"\nend tell")), -600);

  desk.add("Safari", kTwoWindows);
  const std::string second = "set w to (first window whose id is 12)\n";
  EXPECT_EQ(answer(desk.run(inChrome(
                second + "return {index of w, id of w, minimized of w, "
                         "active tab index of w, title of tab 2 of w, URL of tab 2 of w}"))),
            json::parse(R"([2, 12, true, 1, "Weather", "https://weather.example.com/"])"));
  EXPECT_EQ(
      answer(desk.run(inSafari(second + "return {index of w, miniaturized of w, visible of w, "
                                        "index of current tab of w, name of tab 2 of w, "
                                        "index of tab 2 of w}"))),
      json::parse(R"([2, true, true, 1, "Weather", 2])"));

  // A word of the other dictionary is no property of this one, read or set; it is -1728,
  // like a reference to an object that does not exist, or no longer does.
  const std::pair<std::string (*)(const std::string&), const char*> unknown[] = {
      {inChrome, "return miniaturized of w"},      {inChrome, "return visible of w"},
      {inChrome, "return current tab of w"},       {inChrome, "return bounds of w"},
      {inChrome, "return index of tab 1 of w"},    {inChrome, "return name of tab 1 of w"},
      {inChrome, "set miniaturized of w to true"}, {inSafari, "return minimized of w"},
      {inSafari, "return active tab index of w"},  {inSafari, "return title of tab 1 of w"},
      {inSafari, "set minimized of w to true"},    {inChrome, "return title of tab 3 of w"},
      {inChrome, "return title of tab 0 of w"},    {inChrome, "set active tab index of w to 3"},
      {inChrome, "return id of (first window whose id is 99)"}};
  for (const auto& [in, statement] : unknown) {
    EXPECT_EQ(errorOf(desk.run(in(second + statement))), -1728) << statement;
  }
  EXPECT_EQ(errorOf(desk.run(inChrome("return every window whose visible is true"))), -1728);
  desk.registry->remove("Google Chrome");
  EXPECT_EQ(errorOf(desk.run(inChrome("return 1"))), -600);
}

TEST(ScriptEngine, ValuesAndErrorsBehaveAsInTheScriptingLanguage) {
  Desk desk;
  desk.add("Google Chrome", kTwoWindows);
  // Errors inside try are caught and the rest of the block is skipped.
  EXPECT_EQ(answer(desk.run(inChrome(
                "set x to 1\ntry\nset x to title of tab 9 of (first window whose id is 11)\n"
                "set x to 2\nend try\ntry\ntry\nset x to x + undefinedName\nend try\n"
                "set x to x + 10\nend try\nreturn x"))),
            11);
  // A return inside try is not an error; an error outside any try ends the script.
  EXPECT_EQ(answer(desk.run("try\nreturn 5\nend try\nreturn 6")), 5);
  EXPECT_EQ(errorOf(desk.run("try\nset a to 1\nend try\nset b to a + c\nreturn b")), -2753);
  // A browser that is not running is caught like any error.
  EXPECT_EQ(answer(desk.run("try\ntell application \"Safari\"\nend tell\nend try\nreturn 7")), 7);

  // Lists are shared by the variables that hold them; a list appended to itself is copied.
  EXPECT_EQ(
      answer(desk.run("set a to {}\nset b to a\nset end of a to 1\nset end of b to a\nreturn b")),
      json::parse("[1, [1]]"));
  EXPECT_EQ(
      answer(desk.run("set a to {1, \"x\", true}\nreturn {count of a, (a = {1, \"x\", true}), "
                      "(a = {1, \"x\"}), (1 = true), (\"1\" = 1), (a as text)}")),
      json::parse(R"([3, true, false, false, false, "1xtrue"])"));
  // The count of a repeat is taken once, so growing the list in the body ends.
  EXPECT_EQ(
      answer(desk.run("set a to {1, 2}\nrepeat with x in a\nset end of a to x + 10\nend repeat\n"
                      "return a")),
      json::parse("[1, 2, 11, 12]"));
  EXPECT_EQ(answer(desk.run("return")), nullptr);
  EXPECT_EQ(answer(desk.run("set x to 1")), nullptr);

  // Only bringing a window to the front is supported; ids and titles cannot be set. Lists
  // nested deeper than the engine walks are refused, not a stack overflow.
  const std::string w = "set w to (first window whose id is 11)\n";
  std::string nested = "set a to {}\n";
  for (int i = 0; i < 150; ++i) nested += "set a to {a}\n";
  const std::pair<std::string, int> failures[] = {
      {"return 1 + \"2\"", -1700}, {"return 9223372036854775807 + 1", -2702},
      {"return count of 3", -1700}, {"repeat with x in 3\nend repeat", -1700},
      {"set x to 3\nset end of x to 1", -10006}, {"return title of 3", -1728},
      {inChrome("return first window whose id is 11"), -1700},
      {inChrome("return (first window whose id is 11) as text"), -1700},
      {inChrome(w + "set index of w to 2"), -10006}, {inChrome(w + "set id of w to 5"), -10006},
      {inChrome(w + "set title of tab 1 of w to \"x\""), -10006},
      {inChrome(w + "set minimized of w to 1"), -10006}, {nested + "return a", -1700}};
  for (const auto& [script, number] : failures) {
    EXPECT_EQ(errorOf(desk.run(script)), number) << script;
  }
}

// Scripts that would run for ever are stopped at the work limit, which still leaves room
// for reading a thousand tabs within a hundredth of the default limit, in both dictionaries.
TEST(ScriptEngine, TheWorkLimitStopsWhatWouldRunForEverAndLeavesRoomForALargeBrowser) {
  const json tab = {{"title", "A page with an ordinary title 10"},
                    {"url", "https://www.example.com/some/long/path?query=10"}};
  json windows = json::array();
  for (int w = 0; w < 40; ++w) windows.push_back({{"id", 100 + w}, {"tabs", json(25, tab)}});
  const std::string state = json{{"windows", windows}}.dump();
  Desk desk;
  desk.add("Google Chrome", state);
  desk.add("Safari", state);
  ScriptEngine engine(desk.registry, ScriptEngine::kDefaultWorkLimit / 100);
  const auto stopped = [&](const std::string& script) {
    const auto outcome = engine.execute(script);
    const auto* failure = std::get_if<ScriptFailure>(&outcome);
    return failure && failure->number == -1712 && failure->message &&
           failure->message->find("stopped") != std::string::npos;
  };

  // Ten items walked twelve loops deep; the error inside "try" is caught every time, but
  // the limit itself is not.
  std::string loops = "set L to {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}\n";
  for (int i = 0; i < 12; ++i) loops += "repeat with x" + std::to_string(i) + " in L\n";
  loops += "try\nset y to undefinedName\nend try\n";
  for (int i = 0; i < 12; ++i) loops += "end repeat\n";
  EXPECT_TRUE(stopped("try\n" + loops + "end try\nreturn 1"));

  // A list that grows while it is walked, inside a loop over the browser's windows.
  EXPECT_TRUE(stopped(inChrome(
      "set L to {1, 2}\nrepeat with w in (every window)\nrepeat with a in L\nrepeat with b in L\n"
      "set end of L to L\nend repeat\nend repeat\nend repeat\nreturn L")));

  // Lists holding the same list twice, sixty levels deep: shallow enough to be allowed,
  // but walking them visits 2^60 items.
  std::string shared = "set a to {1}\n";
  for (int i = 0; i < 60; ++i) shared += "set a to {a, a}\n";
  EXPECT_TRUE(stopped(shared + "return a as text"));
  EXPECT_TRUE(stopped(shared + "return a"));

  // Text that doubles at every step.
  std::string doubling = "set s to \"abcdefgh\"\n";
  for (int i = 0; i < 40; ++i) doubling += "set s to {s, s} as text\n";
  EXPECT_TRUE(stopped(doubling + "return s"));

  // The limit belongs to one call: the next script starts afresh.
  for (auto kind : {BrowserKind::chrome, BrowserKind::safari}) {
    const auto reply = answer(engine.execute(adapter(kind)->readScript()));
    ASSERT_EQ(reply.size(), 6u);
    EXPECT_EQ(reply[0].size(), 40u);
    EXPECT_EQ(reply[4].size(), 1000u);
  }
}

// One browser held, another slow to connect (an hour, so only release ends it): each
// blocks only its own script.
TEST(ScriptEngine, AHungBrowserBlocksOnlyItsOwnScript) {
  Desk desk;
  auto chrome = desk.add("Google Chrome", kTwoWindows);
  auto edge = desk.add("Microsoft Edge", kTwoWindows);
  desk.add("Safari", kTwoWindows);
  chrome->hold();
  edge->setConnectDelay(std::chrono::hours(1));
  const std::string count = "\nreturn count of (every window)\nend tell";
  ScriptOutcome held, delayed;
  std::thread a([&] { held = desk.run("tell application \"Google Chrome\"" + count); });
  std::thread b([&] { delayed = desk.run("tell application \"Microsoft Edge\"" + count); });
  chrome->awaitHeldCalls(1);
  edge->awaitHeldCalls(1);
  // Meanwhile the other browser answers and the held one can still be inspected.
  EXPECT_EQ(answer(desk.run(inSafari("return count of (every window)"))), 2);
  EXPECT_EQ(chrome->state().windows.size(), 2u);
  EXPECT_EQ(chrome->calls(), 0);
  chrome->release();
  edge->release();
  a.join();
  b.join();
  EXPECT_EQ(answer(held), 2);
  EXPECT_EQ(answer(delayed), 2);
}

}  // namespace
}  // namespace tervane::testing
