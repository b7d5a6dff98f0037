// Runs the built tervane-script program the way a person would.
#include <sys/wait.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "support/TempDir.h"

namespace tervane::testing {
namespace {

struct ToolRun { int status = -1; std::string out, err; };

TEST(Tool, PrintsTheReplyAndTheStateOrExitsOneForScriptErrorsAndTwoForArguments) {
  TempDir dir;
  writeText(dir / "two.json", kTwoWindows);
  writeText(dir / "bad.json", "{\"windows\":{}}");
  // Runs the tool in `dir`, with `script` on its standard input.
  auto run = [&](const std::string& arguments, const std::string& script,
                 const std::string& prefix = "") {
    writeText(dir / "script", script);
    const int raw = std::system(("cd '" + dir.path().string() + "' && " + prefix + "'" +
                                 TERVANE_SCRIPT_TOOL + "' " + arguments + " <script >out 2>err")
                                    .c_str());
    return ToolRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(dir / "out"),
                   readText(dir / "err")};
  };
  const auto read = run("--app 'Google Chrome' --state two.json",
                        adapter(BrowserKind::chrome)->readScript());
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(nlohmann::json::parse(read.out)[0], nlohmann::json::parse("[11, 12]"));

  const auto minimized = run("--app Safari --print-state --state two.json",
                             adapter(BrowserKind::safari)->setMinimizedScript(true, {11, 40}));
  EXPECT_EQ(minimized.status, 0) << minimized.err;
  ASSERT_EQ(minimized.out.substr(0, 2), "1\n");
  EXPECT_TRUE(SimulatedState::parse(minimized.out.substr(2)).value().windows.at(0).minimized);

  const auto refused = run("--app 'Brave Browser' --fail -1743 --state two.json",
                           adapter(BrowserKind::brave)->readScript());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(nlohmann::json::parse(refused.out)["error"], -1743);

  const auto uncompiled = run("--app Safari --state two.json", "set x to 1 - 1");
  EXPECT_EQ(uncompiled.status, 1);
  EXPECT_EQ(uncompiled.out, "{\"error\":0,\"message\":\"could not compile\"}\n");
  EXPECT_NE(uncompiled.err.find("line 1"), std::string::npos);

  // Without a state the live desktop is asked for; with no display there is none.
  const auto live = run("--app Safari", "return 1", "env -u DISPLAY ");
  EXPECT_EQ(live.status, 2);
  EXPECT_NE(live.err.find("--state FILE"), std::string::npos);
  EXPECT_EQ(live.out, "");

  for (const char* arguments : {"--app Opera --state two.json", "--state two.json",
                                "--app Safari --state bad.json"}) {
    EXPECT_EQ(run(arguments, "return 1").status, 2) << arguments;
  }
}

}  // namespace
}  // namespace tervane::testing
