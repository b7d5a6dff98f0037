// Runs browser script texts on platforms without the scripting bridge: the text is parsed
// (a subset of the scripting language, see ScriptSyntax.h) and executed against the
// `ScriptableBrowser` each `tell application "…"` block names. It answers what the bridge
// would: a reply value, or an error number and message (-1728 for an object that does not
// exist or a property outside the browser's dictionary, -600 for a browser that is not
// running, the browser's own number when it refused), or a compile failure for text outside
// the supported language.
//
// Each call parses afresh and keeps no state between calls, so one engine may serve every
// browser's lane thread at once.
//
// The language has no open-ended loop, but a script can still grow its lists inside the
// loops that walk them, or build text and lists that double at every step. Every step,
// every value copied or compared and every character of text made is paid for from a
// work limit; a script that spends it all is stopped with error -1712 (the bridge's own
// time-out number), which no "try" in the script can catch.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "script/BrowserRegistry.h"
#include "script/ScriptSyntax.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane {

class ScriptEngine final : public ScriptExecutor {
 public:
  // A window read of a browser with a thousand tabs costs less than a hundredth of it.
  static constexpr std::uint64_t kDefaultWorkLimit = 20'000'000;

  explicit ScriptEngine(std::shared_ptr<BrowserLookup> browsers,
                        std::uint64_t workLimit = kDefaultWorkLimit);

  ScriptOutcome execute(const std::string& script) override;

  // Parses without running; the error says why the text would be refused.
  [[nodiscard]] static Status check(const std::string& script);

 private:
  std::shared_ptr<BrowserLookup> browsers_;
  std::uint64_t workLimit_;
};

}  // namespace tervane
