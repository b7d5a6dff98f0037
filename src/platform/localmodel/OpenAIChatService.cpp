#include "localmodel/OpenAIChatService.h"

#include <httplib.h>
#include <uriparser/Uri.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/Json.h"
#include "base/Text.h"

namespace tervane {
using nlohmann::json;
namespace J = jsonread;

namespace {

// Where requests go: the base URL taken apart for the HTTP client.
struct Endpoint {
  bool https = false;
  std::string host;  // IPv6 literals without brackets
  int port = 80;
  std::string path;  // the base's own path, "" or "/prefix", never ending in "/"
  std::string base;  // as the person wrote it, for messages
};

std::string range(const UriTextRangeA& r) {
  if (r.first == nullptr || r.afterLast == nullptr) return {};
  return std::string(r.first, r.afterLast);
}

bool present(const UriTextRangeA& r) {
  return r.first != nullptr;
}

bool isLoopback(const UriUriA& uri, const std::string& host) {
  if (uri.hostData.ip4 != nullptr) return uri.hostData.ip4->data[0] == 127;
  if (uri.hostData.ip6 != nullptr) {
    const unsigned char* a = uri.hostData.ip6->data;
    auto zeros = [a](int from, int to) {
      for (int i = from; i < to; ++i) {
        if (a[i] != 0) return false;
      }
      return true;
    };
    if (zeros(0, 15) && a[15] == 1) return true;                            // ::1
    return zeros(0, 10) && a[10] == 0xff && a[11] == 0xff && a[12] == 127;  // ::ffff:127.x.y.z
  }
  return Text::asciiLower(host) == "localhost";
}

std::optional<int> portNumber(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

// The endpoint, or the reason the service cannot be used; the reason is what the picker
// logs as the model's unavailability.
Result<Endpoint> endpointFor(const LocalModelSettings& settings) {
  const auto& url = settings.baseUrl;
  if (url.empty()) return Error{"not configured"};
  const Error invalid{"the picker address is not an http or https URL without a query: " + url};

  UriUriA uri;
  const char* errorPos = nullptr;
  if (uriParseSingleUriExA(&uri, url.data(), url.data() + url.size(), &errorPos) != URI_SUCCESS) {
    return invalid;
  }
  struct Release {
    UriUriA* uri;
    ~Release() { uriFreeUriMembersA(uri); }
  } release{&uri};

  Endpoint endpoint;
  const auto scheme = Text::asciiLower(range(uri.scheme));
  endpoint.https = scheme == "https";
  endpoint.host = range(uri.hostText);
  if ((scheme != "http" && scheme != "https") || endpoint.host.empty() ||
      present(uri.hostData.ipFuture) || present(uri.userInfo) || present(uri.query) ||
      present(uri.fragment)) {
    return invalid;
  }
  if (present(uri.portText)) {
    const auto port = portNumber(range(uri.portText));
    if (!port) return invalid;
    endpoint.port = *port;
  } else {
    endpoint.port = endpoint.https ? 443 : 80;
  }
  for (auto* segment = uri.pathHead; segment != nullptr; segment = segment->next) {
    const auto text = range(segment->text);
    if (!text.empty()) endpoint.path += "/" + text;
  }
  endpoint.base = url;

  if (!settings.allowRemote && !isLoopback(uri, endpoint.host)) {
    return Error{"the picker address " + endpoint.host + " is not on this computer and " +
                 LocalModelSettings::kAllowRemoteKey + " is not set"};
  }
  return endpoint;
}

std::chrono::microseconds limit(double seconds) {
  const double bounded = seconds > 0 ? std::min(seconds, 3600.0) : 0.0;
  return std::chrono::microseconds(static_cast<std::int64_t>(bounded * 1e6));
}

// Errors in which no connection was made: the server is taken as unreachable.
bool isConnectionFailure(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection:
    case httplib::Error::ConnectionTimeout:
    case httplib::Error::BindIPAddress:
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLLoadingCerts:
    case httplib::Error::SSLServerVerification:
      return true;
    default:
      return false;
  }
}

std::string describe(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection:
      return "could not connect";
    case httplib::Error::ConnectionTimeout:
      return "connecting timed out";
    case httplib::Error::Read:
      return "no reply (closed, or too slow)";
    case httplib::Error::Write:
      return "could not send the request";
    case httplib::Error::Canceled:
      return "cancelled";
    default:
      return "HTTP client error " + httplib::to_string(error);
  }
}

// Window and tab names may hold bytes that are not UTF-8; they are sent replaced rather
// than failing the whole request.
std::string encode(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json chatBody(const std::string& model, const StructuredRequest& request) {
  json schema = {{"type", "object"},
                 {"properties",
                  {{request.schema.property,
                    {{"type", "array"},
                     {"items", {{"type", "string"}}},
                     {"description", request.schema.description}}}}},
                 {"required", json::array({request.schema.property})},
                 {"additionalProperties", false}};
  json body = {{"messages", json::array({{{"role", "system"}, {"content", request.instructions}},
                                         {{"role", "user"}, {"content", request.prompt}}})},
               {"temperature", 0},
               {"stream", false},
               {"response_format",
                {{"type", "json_schema"},
                 {"json_schema", {{"name", request.schema.name}, {"schema", std::move(schema)}}}}}};
  if (!model.empty()) body["model"] = model;
  return body;
}

// A cut of a reply for a message, never splitting a character.
std::string excerpt(const std::string& text) {
  return Text::prefix(Text::trimmed(text), 200);
}

Result<std::vector<std::string>> readAnswer(const std::string& replyText,
                                            const std::string& property) {
  const auto reply = J::parse(replyText);
  if (!reply) return Error{"the model server's reply is not JSON: " + excerpt(replyText)};
  const auto content = J::tryDecode<std::string>([&] {
    const auto& choices = J::required(*reply, "choices");
    if (!choices.is_array() || choices.empty()) throw J::ShapeError{};
    return J::string(J::required(J::required(choices[0], "message"), "content"));
  });
  if (!content) return Error{"the model server's reply holds no message content"};

  const auto answer = J::parse(*content);
  if (!answer) return Error{"the model's answer is not JSON: " + excerpt(*content)};
  auto list = J::tryDecode<std::vector<std::string>>([&] {
    const auto& items = J::required(*answer, property.c_str());
    if (!items.is_array()) throw J::ShapeError{};
    std::vector<std::string> strings;
    for (const auto& item : items) strings.push_back(J::string(item));
    return strings;
  });
  if (!list) return Error{"the model's answer has no \"" + property + "\" list of strings"};
  return std::move(*list);
}

}  // namespace

struct ChatServiceState {
  LocalModelSettings settings;
  std::optional<Endpoint> endpoint;
  std::string refusal;  // why there is no endpoint

  // Whether the last attempt failed to connect, and how; read on the main thread.
  std::atomic<bool> unreachable{false};
  std::mutex mutex;
  std::string unreachableReason;
  std::atomic<bool> checking{false};

  std::unique_ptr<httplib::ClientImpl> client() const {
    std::unique_ptr<httplib::ClientImpl> client;
    if (endpoint->https) {
      client = std::make_unique<httplib::SSLClient>(endpoint->host, endpoint->port);
    } else {
      client = std::make_unique<httplib::ClientImpl>(endpoint->host, endpoint->port);
    }
    client->set_connection_timeout(limit(settings.connectTimeout));
    client->set_read_timeout(limit(settings.readTimeout));
    client->set_write_timeout(limit(settings.readTimeout));
    return client;
  }

  // Learns reachability from the outcome of any request.
  void note(const httplib::Result& result) {
    if (result || !isConnectionFailure(result.error())) {
      unreachable = false;
      return;
    }
    {
      std::lock_guard lock(mutex);
      unreachableReason = unreachableMessage(result.error());
    }
    unreachable = true;
  }

  std::string unreachableMessage(httplib::Error error) const {
    return "cannot reach the model server at " + endpoint->base + ": " + describe(error);
  }
};

std::optional<std::string> LocalModelSettings::processEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

LocalModelSettings LocalModelSettings::read(const Defaults& defaults,
                                            const Environment& environment) {
  LocalModelSettings settings;
  settings.baseUrl = defaults.getString(kUrlKey).value_or("");
  settings.model = defaults.getString(kModelKey).value_or("");
  settings.allowRemote = defaults.getBool(kAllowRemoteKey).value_or(false);
  if (auto url = environment(kUrlVariable); url && !Text::isBlank(*url)) settings.baseUrl = *url;
  if (auto model = environment(kModelVariable); model && !Text::isBlank(*model)) {
    settings.model = *model;
  }
  settings.baseUrl = Text::trimmed(settings.baseUrl);
  settings.model = Text::trimmed(settings.model);
  return settings;
}

void OpenAIChatService::spawnDetached(std::function<void()> work) {
  std::thread(std::move(work)).detach();
}

OpenAIChatService::OpenAIChatService(LocalModelSettings settings, Spawn spawn)
    : state_(std::make_shared<ChatServiceState>()), spawn_(std::move(spawn)) {
  state_->settings = std::move(settings);
  auto endpoint = endpointFor(state_->settings);
  if (endpoint) {
    state_->endpoint = std::move(endpoint.value());
  } else {
    state_->refusal = endpoint.error().message;
  }
}

ModelAvailability OpenAIChatService::availability() {
  if (!state_->endpoint) return ModelAvailability::no(state_->refusal);
  if (!state_->unreachable) return ModelAvailability::yes();

  std::string reason;
  {
    std::lock_guard lock(state_->mutex);
    reason = state_->unreachableReason;
  }
  // Only one check at a time, however often the question is asked.
  if (!state_->checking.exchange(true)) {
    const bool started = inBackground([](ChatServiceState& state) {
      auto client = state.client();
      state.note(client->Get(state.endpoint->path + "/v1/models"));
      state.checking = false;
    });
    if (!started) state_->checking = false;
  }
  return ModelAvailability::no(std::move(reason));
}

void OpenAIChatService::prewarm(const std::string& instructions) {
  if (!state_->endpoint) return;
  (void)inBackground([instructions](ChatServiceState& state) {
    json body = {{"messages", json::array({{{"role", "system"}, {"content", instructions}}})},
                 {"temperature", 0},
                 {"max_tokens", 1},
                 {"stream", false}};
    if (!state.settings.model.empty()) body["model"] = state.settings.model;
    auto client = state.client();
    state.note(client->Post(state.endpoint->path + "/v1/chat/completions", encode(body),
                            "application/json"));
  });
}

bool OpenAIChatService::inBackground(std::function<void(ChatServiceState&)> check) {
  try {
    spawn_([state = state_, check = std::move(check)] { check(*state); });
    return true;
  } catch (const std::exception&) {
    return false;  // no thread to run it on; a later call tries again
  }
}

Result<std::vector<std::string>> OpenAIChatService::respond(const StructuredRequest& request,
                                                            std::stop_token stop) {
  if (!state_->endpoint) return Error{state_->refusal};
  if (stop.stop_requested()) return Error{"cancelled"};

  auto client = state_->client();
  // Shutting the socket ends a request the picker no longer waits for.
  std::stop_callback cancel(stop, [&client] { client->stop(); });
  auto result = client->Post(state_->endpoint->path + "/v1/chat/completions",
                             encode(chatBody(state_->settings.model, request)), "application/json");
  if (stop.stop_requested()) return Error{"cancelled"};
  state_->note(result);
  if (!result) {
    if (isConnectionFailure(result.error())) {
      return Error{state_->unreachableMessage(result.error())};
    }
    return Error{"the model server at " + state_->endpoint->base +
                 " failed: " + describe(result.error())};
  }
  if (result->status < 200 || result->status > 299) {
    const auto detail = excerpt(result->body);
    return Error{"the model server answered HTTP " + std::to_string(result->status) +
                 (detail.empty() ? "" : ": " + detail)};
  }
  return readAnswer(result->body, request.schema.property);
}

}  // namespace tervane
