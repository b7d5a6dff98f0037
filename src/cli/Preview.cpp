#include "cli/Preview.h"

#include <stdlib.h>

#include <fstream>
#include <ostream>
#include <sstream>

#include "base/Json.h"
#include "base/StateFolder.h"
#include "base/Text.h"
#include "cli/DryRun.h"
#include "localmodel/OpenAIChatService.h"
#include "session/MacNowModel.h"
#include "sim/SimPlatform.h"
#include "stage/ActivationLog.h"

namespace tervane::cli {
using nlohmann::json;

namespace {

json rawNames(const std::vector<BrowserKind>& kinds) {
  json names = json::array();
  for (auto kind : kinds) names.push_back(rawValue(kind));
  return names;
}

std::string displayNames(const std::vector<BrowserKind>& kinds) {
  std::string text;
  for (std::size_t i = 0; i < kinds.size(); ++i) text += (i ? ", " : "") + displayName(kinds[i]);
  return text;
}

void printItems(std::ostream& out, const char* heading, const std::vector<StageItem>& items) {
  out << heading << (items.empty() ? " nothing\n" : "\n");
  for (const auto& item : items) {
    out << (item.kind == StageItem::Kind::tab ? "      " : "  ") << item.name << "\n";
  }
}

// The standard defaults the person configured (the picker's server lives there).
std::shared_ptr<Defaults> personDefaults() {
  auto folder = defaultConfigFolder();
  if (!folder) return std::make_shared<MemoryDefaults>();
  // Read only: a copy in memory, so a preview never writes the person's settings.
  FileDefaults file(folder.value() / "standard.json");
  auto copy = std::make_shared<MemoryDefaults>();
  // The record of use too: without it every application behind the front one would
  // count as unused.
  for (const char* key : {LocalModelSettings::kUrlKey, LocalModelSettings::kModelKey,
                          LocalModelSettings::kAllowRemoteKey, StageMemory::kDefaultsKey,
                          ActivationLog::kDefaultsKey}) {
    if (auto value = file.get(key)) copy->set(key, *value);
  }
  return copy;
}

// A folder of our own for the throwaway journal, removed when the preview ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tervane-preview-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

int runPreview(const PreviewOptions& options, const LivePlatform& live, std::ostream& out,
               std::ostream& err) {
  const auto line = Text::trimmed(options.line);
  if (line.empty()) {
    err << "tervane-now preview: write the one thing you are doing, for example: "
           "tervane-now preview \"write the report\"\n";
    return 2;
  }

  auto clock = std::make_shared<SystemClock>();
  auto standard = personDefaults();
  std::shared_ptr<PlatformFactory> real;
  if (options.desktopFile) {
    auto text = readFile(*options.desktopFile);
    if (!text) {
      err << "tervane-now preview: " << text.error().message << "\n";
      return 2;
    }
    auto description = jsonread::parse(text.value());
    if (!description) {
      err << "tervane-now preview: " << options.desktopFile->string() << " is not JSON\n";
      return 2;
    }
    auto platform = sim::SimPlatform::fromJson(*description, clock);
    if (!platform) {
      err << "tervane-now preview: " << options.desktopFile->string() << ": "
          << platform.error().message << "\n";
      return 2;
    }
    // Choices remembered in the description stand for what the person told us before.
    auto memoryJson = json::object();
    for (const auto& [key, choice] : platform.value()->desktop()->remembered()) {
      memoryJson[key] = rawValue(choice);
    }
    standard->set(StageMemory::kDefaultsKey, memoryJson);
    real = platform.value();
  } else {
    auto platform = live();
    if (!platform) {
      err << "tervane-now preview: " << platform.error().message << "\n";
      return 2;
    }
    real = platform.value();
  }

  ScratchFolder scratch;
  if (scratch.path().empty()) {
    err << "tervane-now preview: cannot make a scratch folder for the journal\n";
    return 2;
  }

  auto loop = std::make_shared<RunLoopMainQueue>(*clock);
  auto runner = std::make_shared<CountingRunner>(std::make_shared<DetachedRunner>(loop));
  auto platform = std::make_shared<DryRunPlatform>(real);
  if (!options.desktopFile && options.askApplication) {
    platform->browsers()->readThroughApplication([ask = options.askApplication](BrowserKind kind) {
      return ask(ControlRequest{.command = ControlCommand::windows, .item = rawValue(kind)});
    });
  }
  auto shared = std::make_shared<MemoryDefaults>();

  MacNowModel::Dependencies d;
  d.main = loop;
  d.clock = clock;
  d.platform = platform;
  d.standardDefaults = standard;
  d.store = std::make_shared<Store>(*shared);
  d.journal = std::make_shared<StageJournal>(scratch.path());
  d.memory = std::make_shared<StageMemory>(*standard);
  d.monitor = std::make_shared<IdleMonitor>();
  d.offMain = runner;
  d.picker = std::make_shared<ActPicker>(
      std::make_shared<OpenAIChatService>(LocalModelSettings::read(*standard)));
  auto model = MacNowModel::make(std::move(d));

  model->capture(line);
  model->set(SeedRule::defaultRule());
  auto finished = [&] { return runner->inFlight() == 0 && !model->starting(); };
  if (!finished()) {
    runner->onSettled = [&] {
      if (finished()) loop->quit();
    };
    // The fallback may stage while the picker's request is still out; its completion
    // then settles the runner.
    loop->run();
  }

  const auto needConsent = platform->browsers()->needConsent();
  if (options.json) {
    json result = {{"stage", model->openStage() ? toJson(*model->openStage()) : json()},
                   {"because", model->lastBecause()},
                   {"denied", rawNames(model->deniedBrowsers())},
                   {"busy", rawNames(model->busyBrowsers())},
                   {"needConsent", rawNames(needConsent)}};
    out << jsonread::dumpText(result, 2) << "\n";
    return 0;
  }

  out << "The one thing: " << line << "\n";
  if (model->openStage()) {
    printItems(out, "Would stay:", model->openStage()->kept);
    printItems(out, "Would be put away:", model->openStage()->stowed);
  } else {
    out << "Nothing would be put away.\n";
  }
  if (!model->lastBecause().empty()) out << "Why: " << model->lastBecause() << "\n";
  if (!needConsent.empty()) {
    out << "Not read, they need your permission first: " << displayNames(needConsent) << "\n";
  }
  return 0;
}

}  // namespace tervane::cli
