// What differs between browsers when reading and moving their windows: the script texts.
// `ChromiumAdapter` speaks to Google Chrome, Brave Browser, Microsoft Edge and Firefox (the
// same texts under the browser's application name), `SafariAdapter` to Safari. The texts are
// the wire format to the browsers and must stay exactly as they are.
//
// A window read answers six lists: window ids, minimized flags, tab counts, then the tab
// titles, URLs and active flags of all windows one after another. `assemble` turns them
// into WindowFacts, and treats a reply whose lists do not line up as no windows at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stage/BrowserKind.h"
#include "stage/StageRecords.h"
#include "surfaces/AppleScripting.h"

namespace tervane {

class BrowserAdapter {
 public:
  virtual ~BrowserAdapter() = default;

  virtual BrowserKind kind() const = 0;
  // The script that answers the six lists of the browser's windows, front to back.
  virtual std::string readScript() const = 0;
  // Selects tab `tabIndex` (from 1) of the window and puts the window first; a missing
  // window or tab makes the script do less, not fail.
  virtual std::string focusScript(std::int64_t windowId, int tabIndex) const = 0;

  // Sets the windows minimized (or restores them) and answers how many it could set;
  // ids that no longer exist are skipped.
  std::string setMinimizedScript(bool minimized, const std::vector<std::int64_t>& windowIds) const;

  // Runs the read script; script errors pass through, a reply of the wrong shape gives no
  // windows.
  AppleScriptResult<std::vector<WindowFacts>> readWindows(AppleScripting& runner) const;
  std::vector<WindowFacts> windowsFromReply(const ReplyDescriptor& reply) const;

  // The first window of the reply is the front one. A window without tabs is left out.
  std::vector<WindowFacts> assemble(const std::vector<std::int64_t>& windowIds,
                                    const std::vector<bool>& minimized,
                                    const std::vector<std::int64_t>& tabCounts,
                                    std::vector<std::string> titles, std::vector<std::string> urls,
                                    const std::vector<bool>& actives) const;
};

class SafariAdapter final : public BrowserAdapter {
 public:
  BrowserKind kind() const override { return BrowserKind::safari; }
  std::string readScript() const override;
  std::string focusScript(std::int64_t windowId, int tabIndex) const override;
};

class ChromiumAdapter final : public BrowserAdapter {
 public:
  // `kind` is chrome, brave, edge or firefox.
  explicit ChromiumAdapter(BrowserKind kind) : kind_(kind) {}

  BrowserKind kind() const override { return kind_; }
  std::string readScript() const override;
  std::string focusScript(std::int64_t windowId, int tabIndex) const override;

 private:
  BrowserKind kind_;
};

}  // namespace tervane
