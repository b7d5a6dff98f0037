#include "script/ScriptSyntax.h"

#include <gtest/gtest.h>

#include "ScriptTestSupport.h"

namespace tervane::testing {
namespace {

// The same script as the adapters write it and as a person might: other indents and cases,
// tabs, CRLF line ends, both kinds of comment (nested too), "¬" continuations (one
// followed by a comment) and parentheses added or left out.
TEST(ScriptSyntax, LayoutDoesNotChangeTheMeaningAndTextOutsideTheLanguageIsRefusedFirst) {
  Desk desk;
  auto browser = desk.add("Google Chrome", kTwoWindows);
  const auto plain =
      "tell application \"Google Chrome\"\nset x to {}\nrepeat with w in every window\n"
      "set end of x to {id of w, (count of every tab of w) = 3}\nend repeat\nreturn x\nend tell";
  const auto rewritten =
      "(* reads (* every *) window *)\r\nTELL application \"Google Chrome\" -- the front\r\n"
      "\tSet x to {  } (* inline *)\n\n  repeat with w in every window\n"
      "set end of \xC2\xAC -- continued\n  x to {((id of (w))) , ¬\n(count of every tab of w) = "
      "3}\nEnd Repeat\r\nreturn (x)\nEND TELL -- done\n";
  EXPECT_EQ(answer(desk.run(plain)), nlohmann::json::parse("[[11, true], [12, false]]"));
  EXPECT_EQ(answer(desk.run(rewritten)), answer(desk.run(plain)));

  // Continuations and comments inside strings are text; escapes are read.
  EXPECT_EQ(answer(desk.run("return \"a ¬ -- b (* c *)\\t\\\"\"")), "a ¬ -- b (* c *)\t\"");
  // "+" binds tighter than "as" and "=".
  EXPECT_EQ(answer(desk.run("return {1 + 2 as text, 1 + 2 = 3}")),
            nlohmann::json::parse(R"(["3", true])"));

  // Text outside the language is refused before anything runs.
  const std::string tell = "tell application \"Google Chrome\"";
  const std::string refused[] = {
      "if x then\nreturn 1\nend if", "set x to 1 - 1", "set x to 1; set y to 2", "set x to 1.5",
      "set x to 2 * 3", "repeat 3 times\nend repeat", "repeat with i from 1 to 3\nend repeat",
      "try\nset x to 1\non error\nend try", tell + " to activate", tell + "\nactivate\nend tell",
      tell + "\nreturn window 1\nend tell", tell + "\nreturn first window\nend tell",
      tell + "\nreturn count of windows\nend tell",
      tell + "\nreturn every window whose visible is true and id is 3\nend tell",
      tell + "\nreturn 1", tell + "\nend repeat", "return every window", "set x to missing value",
      "set name to 3", "set x to it", "# a comment", "set x to \"open", "(* open",
      "set x to 1 \xC2\xAC 2", "set x to \xE2\x80\x9Cquoted\xE2\x80\x9D", "set x to \"\\q\"",
      "set x to 99999999999999999999", "set x to {1, 2", "return (1", "set end of x"};
  const auto calls = browser->calls();
  for (const auto& text : refused) {
    const auto outcome = desk.run(text);
    const auto* failure = std::get_if<ScriptFailure>(&outcome);
    EXPECT_TRUE(failure && *failure == ScriptFailure::couldNotCompile()) << text;
  }
  EXPECT_EQ(browser->calls(), calls);
  // Nesting deep enough to exhaust a recursive parser is refused too.
  EXPECT_FALSE(script::parse("return " + std::string(5000, '(') + "1").ok());
  std::string longSum = "return 1";
  for (int i = 0; i < 5000; ++i) longSum += " + 1";
  EXPECT_FALSE(script::parse(longSum).ok());
  EXPECT_TRUE(script::parse("return 1 + 1 + 1 as text as text").ok());

  // A refusal says where and what.
  EXPECT_EQ(script::parse("set x to 1\nset y to 2 * 3").error().message,
            "line 2: unexpected character \"*\"");
  EXPECT_EQ(script::parse("tell application \"Safari\"\n  set x to 1\n").error().message,
            "line 3: expected \"end tell\" but found the end of the script");
}

}  // namespace
}  // namespace tervane::testing
