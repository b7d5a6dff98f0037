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
#pragma once

#include <memory>
#include <string>

#include "script/BrowserRegistry.h"
#include "script/ScriptSyntax.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane {

class ScriptEngine final : public ScriptExecutor {
 public:
  explicit ScriptEngine(std::shared_ptr<BrowserLookup> browsers);

  ScriptOutcome execute(const std::string& script) override;

  // Parses without running; the error says why the text would be refused.
  [[nodiscard]] static Status check(const std::string& script);

 private:
  std::shared_ptr<BrowserLookup> browsers_;
};

}  // namespace tervane
