#include "localmodel/OpenAIChatService.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <latch>
#include <map>
#include <mutex>
#include <thread>

namespace tervane {
namespace {
using nlohmann::json;

// A chat server on a loopback port of its own, answering with whatever the test says.
class LoopbackServer {
 public:
  using Reply = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit LoopbackServer(int port = 0) {
    port_ = port == 0 ? server_.bind_to_any_port("127.0.0.1")
                      : (server_.bind_to_port("127.0.0.1", port) ? port : -1);
    EXPECT_GT(port_, 0);
    auto record = [this](const httplib::Request& request, httplib::Response& response) {
      if (request.path != "/ready") {
        std::lock_guard lock(mutex_);
        received_.push_back({request.method + " " + request.path, request.body});
      }
      reply_(request, response);
    };
    server_.Post(".*", record);
    server_.Get(".*", record);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // Returns once the server loop runs, so stopping it later cannot come too early.
    EXPECT_TRUE(httplib::Client("127.0.0.1", port_).Get("/ready"));
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void reply(Reply reply) { reply_ = std::move(reply); }
  void answer(int status, std::string body) {
    reply_ = [status, body](const httplib::Request&, httplib::Response& response) {
      response.status = status;
      response.set_content(body, "application/json");
    };
  }
  // Requests other than the readiness probe, as "METHOD /path" and body.
  std::vector<std::pair<std::string, std::string>> received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
  Reply reply_ = [](const httplib::Request&, httplib::Response& r) { r.status = 200; };
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> received_;
};

std::string chatReply(const std::string& text) {
  return json{{"choices", {{{"message", {{"role", "assistant"}, {"content", text}}}}}}}.dump();
}

// Background checks run only when the test says so (the spawn outlives its service).
struct ManualSpawn {
  std::deque<std::function<void()>> tasks;
  OpenAIChatService::Spawn spawn() {
    return [this](std::function<void()> work) { tasks.push_back(std::move(work)); };
  }
  void runAll() { for (; !tasks.empty(); tasks.pop_front()) tasks.front()(); }
};

LocalModelSettings at(const std::string& url, bool allowRemote = false) {
  return {.baseUrl = url, .model = "qwen3", .allowRemote = allowRemote};
}

const StructuredRequest kRequest{"Pick few.", "The one thing: write\n\nOpen now:\n- app: Mail",
                                 ListSchema{"Keep", "keep", "The exact names."}};

// A service for an address it must refuse: unavailable, with a request failing for the
// same reason, and neither starting anything in the background. Gives that reason.
std::string refusal(const std::string& url) {
  ManualSpawn spawn;
  OpenAIChatService service(at(url), spawn.spawn());
  const auto availability = service.availability();
  EXPECT_FALSE(availability.available) << url;
  service.prewarm("Pick few.");
  auto answer = service.respond(kRequest, {});
  EXPECT_EQ(answer.ok() ? "answered" : answer.error().message, availability.reason) << url;
  EXPECT_TRUE(spawn.tasks.empty()) << url;
  return availability.reason;
}

TEST(OpenAIChatService, SendsTheChatRequestAndReadsTheKeepListOrSaysWhyThereIsNone) {
  LoopbackServer server;
  server.answer(200, chatReply(R"({"keep": ["app: Mail", "tab: Inbox"]})"));
  ManualSpawn spawn;
  OpenAIChatService service(at(server.base() + "/"), spawn.spawn());

  auto answer = service.respond(kRequest, {});
  ASSERT_TRUE(answer.ok()) << answer.error().message;
  EXPECT_EQ(answer.value(), (std::vector<std::string>{"app: Mail", "tab: Inbox"}));

  const auto received = server.received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].first, "POST /v1/chat/completions");
  EXPECT_EQ(json::parse(received[0].second), json::parse(R"({"model":"qwen3","temperature":0,
      "stream":false,"messages":[{"role":"system","content":"Pick few."},
      {"role":"user","content":"The one thing: write\n\nOpen now:\n- app: Mail"}],
      "response_format":{"type":"json_schema","json_schema":{"name":"Keep","schema":{
      "type":"object","properties":{"keep":{"type":"array","items":{"type":"string"},
      "description":"The exact names."}},"required":["keep"],"additionalProperties":false}}}})"));

  service.prewarm("Pick few.");
  ASSERT_EQ(server.received().size(), 1u) << "prewarm works in the background";
  spawn.runAll();
  const auto warm = server.received().at(1);
  EXPECT_EQ(warm.first, "POST /v1/chat/completions");
  EXPECT_EQ(json::parse(warm.second)["messages"][0]["content"], "Pick few.");

  // Replies without a keep list are failures that say why.
  const std::tuple<int, std::string, std::string> cases[] = {
      {500, "model crashed", "the model server answered HTTP 500: model crashed"},
      {200, "<html>", "the model server's reply is not JSON: <html>"},
      {200, R"({"choices": []})", "holds no message content"},
      {200, chatReply("Mail and Inbox"), "the model's answer is not JSON: Mail and Inbox"},
      {200, chatReply(R"({"items": ["app: Mail"]})"), "no \"keep\" list"},
      {200, chatReply(R"({"keep": "app: Mail"})"), "no \"keep\" list"},
      {200, chatReply(R"({"keep": ["app: Mail", 3]})"), "no \"keep\" list"}};
  for (const auto& [status, body, expected] : cases) {
    server.answer(status, body);
    EXPECT_THAT(service.respond(kRequest, {}).error().message, ::testing::HasSubstr(expected));
  }
  EXPECT_TRUE(service.availability().available) << "a server that answers is reachable";

  LoopbackServer elsewhere;
  server.reply([&](const httplib::Request&, httplib::Response& response) {
    response.status = 307;
    response.set_header("Location", elsewhere.base() + "/v1/chat/completions");
  });
  EXPECT_FALSE(service.respond(kRequest, {}).ok());
  EXPECT_TRUE(elsewhere.received().empty()) << "a redirect is never followed";
}

TEST(OpenAIChatService, AnUnreachableServerIsUnavailableUntilACheckConnects) {
  // A port bound but not listening refuses connections, and no other test can take it.
  int refusing = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(refusing, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::getsockname(refusing, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);
  const auto base = "http://127.0.0.1:" + std::to_string(port);
  ManualSpawn spawn;
  OpenAIChatService service(at(base), spawn.spawn());
  EXPECT_TRUE(service.availability().available) << "configured and not yet failed";

  const auto expected = "cannot reach the model server at " + base + ": could not connect";
  EXPECT_EQ(service.respond(kRequest, {}).error().message, expected);
  EXPECT_EQ(service.availability().reason, expected);
  EXPECT_FALSE(service.availability().available);
  EXPECT_EQ(spawn.tasks.size(), 1u) << "one check at a time";
  spawn.runAll();
  EXPECT_FALSE(service.availability().available);

  ::close(refusing);
  LoopbackServer server(port);
  spawn.runAll();
  EXPECT_TRUE(service.availability().available);
  EXPECT_EQ(server.received(), (decltype(server.received()){{"GET /v1/models", ""}}));
}

TEST(OpenAIChatService, AStoppedRequestEndsAtOnceAndLeavesTheServerReachable) {
  LoopbackServer server;
  std::stop_source stop;
  std::latch handled{1};
  server.reply([&](const httplib::Request&, httplib::Response&) {
    stop.request_stop();  // the picker gives up while the model is still thinking
    handled.wait();
  });
  auto settings = at(server.base());
  settings.readTimeout = 600;  // only the stop can end the wait in good time
  OpenAIChatService service(settings);
  auto answer = service.respond(kRequest, stop.get_token());
  handled.count_down();
  EXPECT_EQ(answer.error().message, "cancelled");
  EXPECT_TRUE(service.availability().available);
}

TEST(OpenAIChatService, OnlyLoopbackAddressesUnlessRemoteIsAllowed) {
  for (const char* url : {"http://localhost:11434", "http://127.4.5.6:1", "http://[::1]:8080/",
                          "https://LOCALHOST/base", "http://[::ffff:127.0.0.1]:8080"}) {
    EXPECT_TRUE(OpenAIChatService(at(url)).availability().available) << url;
  }
  // 192.0.2.1 is reserved for documentation: nothing answers there, so only a refusal
  // that sends nothing can give this message quickly. Some names only look local.
  for (const char* url : {"http://192.0.2.1:11434", "http://localhost.example.com",
                          "http://[2001:db8::1]:80", "http://127.0.0.1.example.com:8080",
                          "http://localhost.:8080", "http://0x7f.1:8080", "http://[::2]:8080",
                          "http://[::ffff:192.0.2.1]:8080", "http://128.0.0.1:8080"}) {
    EXPECT_THAT(refusal(url),
                ::testing::HasSubstr("is not on this computer and picker_allow_remote is not set"));
    EXPECT_TRUE(OpenAIChatService(at(url, true)).availability().available) << url;
  }
  EXPECT_EQ(refusal(""), "not configured");
  for (const char* url : {"ftp://127.0.0.1", "127.0.0.1:8080", "http://127.0.0.1:99999",
                          "http://127.0.0.1/?q=1", "http://user@127.0.0.1"}) {
    EXPECT_THAT(refusal(url), ::testing::HasSubstr("not an http or https URL")) << url;
  }
}

TEST(LocalModelSettings, TheEnvironmentOverridesTheDefaults) {
  MemoryDefaults defaults;
  std::map<std::string, std::string> environment;
  auto fields = [&] {
    const auto settings = LocalModelSettings::read(defaults, [&](const char* name) {
      auto it = environment.find(name);
      return it == environment.end() ? std::nullopt : std::optional(it->second);
    });
    return std::tuple(settings.baseUrl, settings.model, settings.allowRemote);
  };
  EXPECT_EQ(fields(), std::tuple("", "", false));
  defaults.set("picker_url", "http://127.0.0.1:8080");
  defaults.set("picker_model", "llama");
  defaults.set("picker_allow_remote", true);
  environment["TERVANE_PICKER_MODEL"] = "  ";
  EXPECT_EQ(fields(), std::tuple("http://127.0.0.1:8080", "llama", true));
  environment["TERVANE_PICKER_URL"] = " http://localhost:11434\n";
  environment["TERVANE_PICKER_MODEL"] = "qwen3";
  EXPECT_EQ(fields(), std::tuple("http://localhost:11434", "qwen3", true));
}

}  // namespace
}  // namespace tervane
