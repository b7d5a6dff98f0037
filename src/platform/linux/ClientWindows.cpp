#include "linux/ClientWindows.h"

#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "base/Text.h"

namespace tervane::x11 {

namespace {

using PropertyReply = XReply<xcb_get_property_reply_t>;

xcb_get_property_cookie_t askProperty(XConnection& c, xcb_window_t window, xcb_atom_t property,
                                      xcb_atom_t type, std::uint32_t longLength = 1024) {
  return xcb_get_property(c.raw(), 0, window, property, type, 0, longLength);
}

PropertyReply wait(XConnection& c, xcb_get_property_cookie_t cookie) {
  return c.reply(xcb_get_property_reply, cookie);
}

template <class T>
std::vector<T> values(const PropertyReply& reply) {
  if (!reply || reply->format != sizeof(T) * 8) return {};
  const auto* data = static_cast<const T*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / static_cast<int>(sizeof(T));
  return std::vector<T>(data, data + std::max(0, count));
}

bool contains(const std::vector<xcb_atom_t>& atoms, xcb_atom_t atom) {
  return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

std::string latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char ch : text) {
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else {
      out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return out;
}

std::string text(XConnection& c, const PropertyReply& reply) {
  if (!reply || reply->format != 8) return {};
  const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
  std::string value(data, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  if (reply->type == XCB_ATOM_STRING) return latin1ToUtf8(value);
  (void)c;
  return value;
}

void applyState(XConnection& c, ClientWindow& client, const PropertyReply& state,
                const PropertyReply& wmState) {
  const auto states = values<xcb_atom_t>(state);
  client.skipsTaskbar = contains(states, c.atoms()._NET_WM_STATE_SKIP_TASKBAR);
  client.isHidden = contains(states, c.atoms()._NET_WM_STATE_HIDDEN);
  const auto wm = values<std::uint32_t>(wmState);
  client.isIconic = !wm.empty() && wm.front() == XCB_ICCCM_WM_STATE_ICONIC;
}

// A tiling manager's scratchpad puts windows away without iconifying them.
void addStowed(XConnection& c, std::vector<ClientWindow>& windows) {
  if (windows.empty()) return;
  const auto stowed = c.stowedByManager();
  for (auto& window : windows) {
    if (stowed.count(window.window) != 0) window.isIconic = true;
  }
}

struct Cookies {
  xcb_get_property_cookie_t wmClass, pid, type, state, wmState, transient, netName, name;
};

}  // namespace

std::vector<xcb_window_t> clientList(XConnection& connection, ClientOrder order) {
  const auto& atoms = connection.atoms();
  const xcb_atom_t property =
      order == ClientOrder::mapping ? atoms._NET_CLIENT_LIST : atoms._NET_CLIENT_LIST_STACKING;
  auto reply = wait(
      connection, askProperty(connection, connection.root(), property, XCB_ATOM_WINDOW, 1u << 16));
  return values<xcb_window_t>(reply);
}

std::vector<ClientWindow> readClients(XConnection& connection,
                                      const std::vector<xcb_window_t>& windows, bool withTitles) {
  const auto& atoms = connection.atoms();
  std::vector<Cookies> cookies;
  cookies.reserve(windows.size());
  for (xcb_window_t w : windows) {
    Cookies k{};
    k.wmClass = xcb_icccm_get_wm_class(connection.raw(), w);
    k.pid = askProperty(connection, w, atoms._NET_WM_PID, XCB_ATOM_CARDINAL, 1);
    k.type = askProperty(connection, w, atoms._NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM);
    k.state = askProperty(connection, w, atoms._NET_WM_STATE, XCB_ATOM_ATOM);
    k.wmState = askProperty(connection, w, connection.extraAtoms().wmState,
                            connection.extraAtoms().wmState, 2);
    k.transient = xcb_icccm_get_wm_transient_for(connection.raw(), w);
    if (withTitles) {
      k.netName = askProperty(connection, w, atoms._NET_WM_NAME, atoms.UTF8_STRING);
      k.name = askProperty(connection, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
    }
    cookies.push_back(k);
  }

  std::vector<ClientWindow> result;
  result.reserve(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const Cookies& k = cookies[i];
    PropertyReply wmClass = wait(connection, k.wmClass);
    PropertyReply pid = wait(connection, k.pid);
    PropertyReply type = wait(connection, k.type);
    PropertyReply state = wait(connection, k.state);
    PropertyReply wmState = wait(connection, k.wmState);
    PropertyReply transient = wait(connection, k.transient);
    PropertyReply netName, name;
    if (withTitles) {
      netName = wait(connection, k.netName);
      name = wait(connection, k.name);
    }
    // A window that went away answers every request with an error.
    if (!wmClass) continue;

    ClientWindow client;
    client.window = windows[i];
    xcb_icccm_get_wm_class_reply_t classes{};
    // On success the parser takes the reply over and frees it in the wipe; a window
    // without a class leaves it with us.
    if (xcb_icccm_get_wm_class_from_reply(&classes, wmClass.get()) != 0) {
      wmClass.release();
      client.instanceName = classes.instance_name != nullptr ? classes.instance_name : "";
      client.className = classes.class_name != nullptr ? classes.class_name : "";
      xcb_icccm_get_wm_class_reply_wipe(&classes);
    }
    if (const auto pids = values<std::uint32_t>(pid); !pids.empty()) client.pid = pids.front();

    const auto types = values<xcb_atom_t>(type);
    xcb_window_t owner = XCB_WINDOW_NONE;
    const bool isTransient =
        transient && xcb_icccm_get_wm_transient_for_from_reply(&owner, transient.get()) != 0 &&
        owner != XCB_WINDOW_NONE;
    client.isNormal =
        types.empty() ? !isTransient : contains(types, atoms._NET_WM_WINDOW_TYPE_NORMAL);

    applyState(connection, client, state, wmState);
    if (withTitles) {
      client.title = text(connection, netName);
      if (client.title.empty()) client.title = text(connection, name);
    }
    result.push_back(std::move(client));
  }
  addStowed(connection, result);
  return result;
}

namespace {

using StateCookies = std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>>;

StateCookies askStates(XConnection& connection, const std::vector<ClientWindow>& windows) {
  StateCookies cookies;
  cookies.reserve(windows.size());
  for (const auto& w : windows) {
    cookies.emplace_back(
        askProperty(connection, w.window, connection.atoms()._NET_WM_STATE, XCB_ATOM_ATOM),
        askProperty(connection, w.window, connection.extraAtoms().wmState,
                    connection.extraAtoms().wmState, 2));
  }
  return cookies;
}

void applyStates(XConnection& connection, std::vector<ClientWindow>& windows,
                 const StateCookies& cookies) {
  std::vector<ClientWindow> alive;
  alive.reserve(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    PropertyReply state = wait(connection, cookies[i].first);
    PropertyReply wmState = wait(connection, cookies[i].second);
    if (!state && !wmState) continue;  // the window is gone
    applyState(connection, windows[i], state, wmState);
    alive.push_back(std::move(windows[i]));
  }
  addStowed(connection, alive);
  windows = std::move(alive);
}

}  // namespace

void refreshStates(XConnection& connection, std::vector<ClientWindow>& windows) {
  const auto cookies = askStates(connection, windows);
  applyStates(connection, windows, cookies);
}

const std::vector<ClientWindow>& ClientCache::clients(XConnection& connection) {
  auto list = clientList(connection, ClientOrder::mapping);
  if (list != list_) {
    clients_ = readClients(connection, list);
    list_ = std::move(list);
  }
  return clients_;
}

std::vector<ClientWindow> ClientCache::matching(
    XConnection& connection, const std::function<bool(const ClientWindow&)>& predicate) {
  const auto pick = [&] {
    std::vector<ClientWindow> picked;
    for (const auto& client : clients_) {
      if (predicate(client)) picked.push_back(client);
    }
    return picked;
  };
  // The list and the states of the windows known so far travel in one round trip; in the
  // usual case, an unchanged list, that is all it takes.
  auto picked = pick();
  const auto listCookie =
      askProperty(connection, connection.root(), connection.atoms()._NET_CLIENT_LIST,
                  XCB_ATOM_WINDOW, 1u << 16);
  const auto stateCookies = askStates(connection, picked);
  auto list = values<xcb_window_t>(wait(connection, listCookie));
  applyStates(connection, picked, stateCookies);
  if (list == list_) return picked;

  clients_ = readClients(connection, list);
  list_ = std::move(list);
  picked = pick();
  refreshStates(connection, picked);
  return picked;
}

std::optional<ClientWindow> ClientCache::find(xcb_window_t window) const {
  for (const auto& client : clients_) {
    if (client.window == window) return client;
  }
  return std::nullopt;
}

std::optional<ClientWindow> readClient(XConnection& connection, xcb_window_t window,
                                       bool withTitle) {
  auto clients = readClients(connection, {window}, withTitle);
  if (clients.empty()) return std::nullopt;
  return std::move(clients.front());
}

std::optional<xcb_window_t> activeWindow(XConnection& connection) {
  auto reply =
      wait(connection, askProperty(connection, connection.root(),
                                   connection.atoms()._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, 1));
  const auto windows = values<xcb_window_t>(reply);
  if (windows.empty() || windows.front() == XCB_WINDOW_NONE) return std::nullopt;
  return windows.front();
}

void iconify(XConnection& connection, xcb_window_t window) {
  // ICCCM 4.1.4: a client message to the root asks the window manager to iconify.
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = connection.extraAtoms().wmChangeState;
  message.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
  xcb_send_event(connection.raw(), 0, connection.root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
}

void restore(XConnection& connection, xcb_window_t window) {
  // Mapping the window again (ICCCM's way back from Iconic) makes openbox give it the
  // focus, which would count as the person using the application. Asking the window
  // manager instead, with NormalState and by clearing the hidden state, shows it where
  // it was without moving the focus; a window manager takes whichever it understands.
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = connection.extraAtoms().wmChangeState;
  message.data.data32[0] = XCB_ICCCM_WM_STATE_NORMAL;
  xcb_send_event(connection.raw(), 0, connection.root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_ewmh_request_change_wm_state(
      connection.ewmh(), connection.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
      connection.atoms()._NET_WM_STATE_HIDDEN, XCB_ATOM_NONE, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
}

void requestActivation(XConnection& connection, xcb_window_t window) {
  const auto current = activeWindow(connection);
  xcb_ewmh_request_change_active_window(connection.ewmh(), connection.screenNumber(), window,
                                        XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                        current.value_or(XCB_WINDOW_NONE));
}

void raiseWithoutFocus(XConnection& connection, xcb_window_t window) {
  xcb_ewmh_request_restack_window(connection.ewmh(), connection.screenNumber(), window,
                                  XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE);
}

namespace {

struct BrowserNames {
  BrowserKind kind;
  std::array<std::string_view, 4> classes;    // lower-cased WM_CLASS classes
  std::array<std::string_view, 3> processes;  // executable names
  std::array<std::string_view, 2> suffixes;   // window title suffixes
};

// The Chromium family on Linux, and Firefox. Chromium builds are taken for Chrome.
constexpr std::array<BrowserNames, 4> kBrowsers = {{
    {BrowserKind::chrome,
     {"google-chrome", "google-chrome-beta", "google-chrome-unstable", "chromium"},
     {"chrome", "chromium", "chromium-browse"},
     {" - Google Chrome", " - Chromium"}},
    {BrowserKind::brave,
     {"brave-browser", "brave-browser-beta", "brave-browser-nightly", ""},
     {"brave", "", ""},
     {" - Brave", ""}},
    // Edge writes its name with a zero-width space between the words.
    {BrowserKind::edge,
     {"microsoft-edge", "microsoft-edge-beta", "microsoft-edge-dev", ""},
     {"msedge", "", ""},
     {" - Microsoft\u200b Edge", " - Microsoft Edge"}},
    // Every Firefox build names its windows' instance "Navigator"; the class is the
    // build's program name. The title ends in an em dash and the maker's name.
    {BrowserKind::firefox,
     {"firefox", "firefox-esr", "firefox-nightly", "firefox-developer-edition"},
     {"firefox", "firefox-esr", "firefox-bin"},
     {" \u2014 Mozilla Firefox", " - Mozilla Firefox"}},
}};

const BrowserNames* namesFor(BrowserKind kind) {
  for (const auto& names : kBrowsers) {
    if (names.kind == kind) return &names;
  }
  return nullptr;
}

}  // namespace

std::optional<BrowserKind> browserKindForClass(std::string_view className) {
  if (className.empty()) return std::nullopt;
  const std::string lower = Text::asciiLower(std::string(className));
  for (const auto& names : kBrowsers) {
    for (std::string_view c : names.classes) {
      if (!c.empty() && lower == c) return names.kind;
    }
  }
  return std::nullopt;
}

std::map<std::string, std::string> browserClassIdentifiers() {
  std::map<std::string, std::string> out;
  for (const auto& names : kBrowsers) {
    for (std::string_view c : names.classes) {
      if (!c.empty()) out.emplace(c, bundleId(names.kind));
    }
  }
  return out;
}

std::optional<BrowserKind> browserKindForProcess(std::string_view processName) {
  if (processName.empty()) return std::nullopt;
  for (const auto& names : kBrowsers) {
    for (std::string_view p : names.processes) {
      if (!p.empty() && processName == p) return names.kind;
    }
  }
  return std::nullopt;
}

std::string appIdentifier(std::string_view className) {
  if (const auto kind = browserKindForClass(className)) return bundleId(*kind);
  return std::string(className);
}

std::string tabTitleFromWindowTitle(BrowserKind kind, std::string_view windowTitle) {
  if (const BrowserNames* names = namesFor(kind)) {
    for (std::string_view suffix : names->suffixes) {
      if (!suffix.empty() && windowTitle.size() > suffix.size() &&
          windowTitle.substr(windowTitle.size() - suffix.size()) == suffix) {
        return std::string(windowTitle.substr(0, windowTitle.size() - suffix.size()));
      }
    }
  }
  return std::string(windowTitle);
}

}  // namespace tervane::x11
