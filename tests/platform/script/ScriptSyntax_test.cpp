#include "script/ScriptSyntax.h"

#include <gtest/gtest.h>

#include "AdapterScripts.h"
#include "ScriptTestSupport.h"

namespace tervane::testing {
namespace {

// The Chromium read script again, as a person might write it: other indents and cases,
// tabs, CRLF line ends, both kinds of comment, "¬" continuations in odd places, and
// parentheses added or left out.
std::string rewrittenRead() {
  return "(* reads (* every *) window *)\r\n"
         "TELL application \"Google Chrome\" -- the front browser\r\n"
         "\tset wIds to {}\r\n"
         "  Set wMin to {  }\r\n"
         "set wCounts to {}\n"
         "set tTitles to {} (* inline *)\n"
         "set tUrls to {}\n"
         "\n"
         "   set tActive to {}\n"
         "repeat with w in every window\n"
         "set theTabs to every tab of w\n"
         "set end of wIds to id of w\n"
         "set end of wMin to ((minimized of (w)))\n"
         "set end of wCounts to count of theTabs\n"
         "set activeIdx to 0\n"
         "try\n"
         "set activeIdx to active tab index of w -- may fail\n"
         "END TRY\n"
         "set i to 0\n"
         "repeat with t in theTabs\n"
         "set i to \xC2\xAC -- continued\n"
         "  (i + 1)\n"
         "set end of tTitles to (title of t)\n"
         "set end of ¬\n"
         "    tUrls to URL of t\n"
         "set end of tActive to i = activeIdx\n"
         "end repeat\n"
         "End Repeat\n"
         "return {wIds,wMin,wCounts ,  tTitles, ¬\n"
         "  tUrls, tActive}\n"
         "end tell\n";
}

TEST(ScriptSyntax, SpacingCommentsContinuationsAndParenthesesDoNotChangeTheMeaning) {
  Desk desk;
  desk.add("Google Chrome", kTwoWindows);
  const auto canonical = answer(desk.run(readScript(BrowserKind::chrome)));
  ASSERT_EQ(canonical.size(), 6u);
  EXPECT_EQ(answer(desk.run(rewrittenRead())), canonical);

  // Continuations and comments inside strings are text; escapes are read.
  EXPECT_EQ(answer(desk.run("return \"a ¬ -- b (* c *)\\t\\\"\"")), "a ¬ -- b (* c *)\t\"");
  // "+" binds tighter than "as" and "=".
  EXPECT_EQ(answer(desk.run("return {1 + 2 as text, 1 + 2 = 3}")),
            nlohmann::json::parse(R"(["3", true])"));
}

TEST(ScriptSyntax, TextOutsideTheLanguageIsRefusedBeforeAnythingRuns) {
  const char* refused[] = {
      "if x then\nreturn 1\nend if",
      "set x to 1 - 1",
      "set x to 1; set y to 2",
      "set x to 1.5",
      "set x to 2 * 3",
      "repeat 3 times\nend repeat",
      "repeat with i from 1 to 3\nend repeat",
      "try\nset x to 1\non error\nend try",
      "tell application \"Google Chrome\" to activate",
      "tell application \"Google Chrome\"\nactivate\nend tell",
      "tell application \"Google Chrome\"\nreturn window 1\nend tell",
      "tell application \"Google Chrome\"\nreturn first window\nend tell",
      "tell application \"Google Chrome\"\nreturn every window whose visible is true and id is 3\n"
      "end tell",
      "tell application \"Google Chrome\"\nreturn count of windows\nend tell",
      "tell application \"Google Chrome\"\nreturn 1",
      "tell application \"Google Chrome\"\nend repeat",
      "return every window",
      "set x to missing value",
      "set name to 3",
      "set x to it",
      "# a comment",
      "set x to \"open",
      "(* open",
      "set x to 1 \xC2\xAC 2",
      "set x to \xE2\x80\x9Cquoted\xE2\x80\x9D",
      "set x to \"\\q\"",
      "set x to 99999999999999999999",
      "set x to {1, 2",
      "return (1",
      "set end of x",
  };
  for (const char* text : refused) {
    Desk desk;
    auto browser = desk.add("Google Chrome", kTwoWindows);
    const auto outcome = desk.run(text);
    EXPECT_EQ(std::get_if<ScriptFailure>(&outcome) ? *std::get_if<ScriptFailure>(&outcome)
                                                   : ScriptFailure{},
              ScriptFailure::couldNotCompile())
        << text;
    EXPECT_EQ(browser->calls(), 0) << text;
  }
  // Nesting deep enough to exhaust a recursive parser is refused too.
  EXPECT_FALSE(script::parse("return " + std::string(5000, '(') + "1").ok());
  std::string longSum = "return 1";
  for (int i = 0; i < 5000; ++i) longSum += " + 1";
  EXPECT_FALSE(script::parse(longSum).ok());
  EXPECT_TRUE(script::parse("return 1 + 1 + 1 as text as text").ok());
}

TEST(ScriptSyntax, RefusalsSayWhereAndWhat) {
  const auto result = script::parse("set x to 1\nset y to 2 * 3");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().message, "line 2: unexpected character \"*\"");
  const auto unclosed = script::parse("tell application \"Safari\"\n  set x to 1\n");
  ASSERT_FALSE(unclosed.ok());
  EXPECT_EQ(unclosed.error().message,
            "line 3: expected \"end tell\" but found the end of the script");
}

}  // namespace
}  // namespace tervane::testing
