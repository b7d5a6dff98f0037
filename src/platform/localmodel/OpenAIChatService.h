// The act picker's language model on Linux: any server with an OpenAI-compatible chat
// endpoint and JSON-schema output (llama-server, Ollama, LM Studio), configured by the
// person. The line and the names of open things are private, so by default only a server
// on this machine is asked; a remote one needs an explicit setting.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Defaults.h"
#include "stage/LanguageModelService.h"

namespace tervane {

struct ChatServiceState;

struct LocalModelSettings {
  // Defaults keys, and the environment variables that override the first two.
  static constexpr const char* kUrlKey = "picker_url";
  static constexpr const char* kModelKey = "picker_model";
  static constexpr const char* kAllowRemoteKey = "picker_allow_remote";
  static constexpr const char* kUrlVariable = "TERVANE_PICKER_URL";
  static constexpr const char* kModelVariable = "TERVANE_PICKER_MODEL";

  std::string baseUrl;  // "http://127.0.0.1:11434"; blank when not configured
  std::string model;    // sent as given; a server with a single model may need none
  bool allowRemote = false;
  double connectTimeout = 1.0;
  // Generous: a model may take long to load. The picker stops waiting much earlier and
  // then cancels the request.
  double readTimeout = 30.0;

  using Environment = std::function<std::optional<std::string>(const char* name)>;
  static std::optional<std::string> processEnvironment(const char* name);

  // The person's settings from the defaults; a non-blank environment variable wins.
  static LocalModelSettings read(const Defaults& defaults,
                                 const Environment& environment = processEnvironment);
};

class OpenAIChatService final : public LanguageModelService {
 public:
  // Runs a reachability check somewhere other than the calling thread.
  using Spawn = std::function<void(std::function<void()>)>;
  static void spawnDetached(std::function<void()> work);

  explicit OpenAIChatService(LocalModelSettings settings, Spawn spawn = spawnDetached);

  // From the settings and the last connection seen; never touches the network. While the
  // server is known to be unreachable, each call also starts one check in the background,
  // so that a server started later is found again.
  ModelAvailability availability() override;
  // A one-token request with the instructions, in the background: the server loads the
  // model and learns the instructions' prefix; any reply proves it is reachable.
  void prewarm(const std::string& instructions) override;
  Result<std::vector<std::string>> respond(const StructuredRequest& request,
                                           std::stop_token stop) override;

 private:
  // False when the work could not be started.
  bool inBackground(std::function<void(ChatServiceState&)> check);

  std::shared_ptr<ChatServiceState> state_;
  Spawn spawn_;
};

}  // namespace tervane
