// Answers the application's requests from the browser's own windows and tabs. Kept apart
// from the connection so node can run it against a stand-in for the browser's API.
//
// A request is {id, op, ...}; the answer is {id, ok: true, ...} or {id, ok: false, error},
// where error is "noSuchWindow", "noSuchTab" or the browser's own message.

// Addresses longer than this are cut: only their scheme and host matter to the
// application, and a data: address can run to megabytes.
export const MAX_URL_LENGTH = 8192;

// Window ids front to back. The browser's API has no stacking order, so the order is the
// one in which windows last had the focus.
export class FocusOrder {
  constructor() {
    this.ids = [];
  }
  // Windows the order has not seen yet go behind those it has, the focused one first.
  adopt(windows) {
    const known = new Set(windows.map((w) => w.id));
    this.ids = this.ids.filter((id) => known.has(id));
    const fresh = windows.filter((w) => !this.ids.includes(w.id));
    fresh.sort((a, b) => Number(b.focused) - Number(a.focused));
    this.ids.push(...fresh.map((w) => w.id));
    const focused = windows.find((w) => w.focused);
    if (focused) this.focus(focused.id);
  }
  focus(id) {
    this.ids = [id, ...this.ids.filter((other) => other !== id)];
  }
  remove(id) {
    this.ids = this.ids.filter((other) => other !== id);
  }
  sorted(windows) {
    this.adopt(windows);
    const rank = new Map(this.ids.map((id, i) => [id, i]));
    return [...windows].sort((a, b) => rank.get(a.id) - rank.get(b.id));
  }
}

function describe(win) {
  const tabs = (win.tabs || []).map((tab) => ({
    title: tab.title || "",
    url: (tab.url || tab.pendingUrl || "").slice(0, MAX_URL_LENGTH),
  }));
  const active = (win.tabs || []).findIndex((tab) => tab.active);
  return {
    id: win.id,
    minimized: win.state === "minimized",
    // Every window the API lists is shown by the browser; it has no hidden windows.
    visible: true,
    tabs,
    activeTab: active < 0 ? 0 : active + 1,
  };
}

class Refusal extends Error {}

// `api` is the browser's `chrome` object (or a stand-in with the same shape).
export function makeHandler(api, order, settle) {
  async function windowOf(id) {
    try {
      return await api.windows.get(id, { populate: true });
    } catch {
      throw new Refusal("noSuchWindow");
    }
  }

  // The window the browser itself last gave the focus to, if it can say.
  async function lastFocused() {
    try {
      return (await api.windows.getLastFocused({ windowTypes: ["normal"] })).id;
    } catch {
      return undefined;
    }
  }

  async function list() {
    const all = await api.windows.getAll({ populate: true, windowTypes: ["normal"] });
    // The browser's last focused window is the front one, also when the companion never
    // saw it get the focus: Firefox starts its companion only after its first windows
    // opened, and a restarted companion has seen nothing yet.
    const last = await lastFocused();
    if (all.some((w) => w.id === last)) order.focus(last);
    return { windows: order.sorted(all).map(describe) };
  }

  async function setMinimized({ window, minimized }) {
    await windowOf(window);
    // Restoring with the focus brings the window back in its old state (maximized stays
    // maximized); asking for "normal" would un-maximize it.
    await api.windows.update(window, minimized ? { state: "minimized" } : { focused: true });
    if (!minimized) order.focus(window);
    // The update's own answer may still show the old state; read it again until it
    // shows the new one, a few times at most.
    let win = await windowOf(window);
    for (let i = 0; i < 10 && (win.state === "minimized") !== minimized; ++i) {
      await settle();
      win = await windowOf(window);
    }
    return { minimized: win.state === "minimized" };
  }

  async function activateTab({ window, index }) {
    const win = await windowOf(window);
    const tab = (win.tabs || [])[index - 1];
    if (!Number.isInteger(index) || !tab) throw new Refusal("noSuchTab");
    await api.tabs.update(tab.id, { active: true });
    return {};
  }

  async function bringToFront({ window }) {
    await windowOf(window);
    await api.windows.update(window, { focused: true });
    order.focus(window);
    return {};
  }

  const ops = { list, setMinimized, activateTab, bringToFront };

  return async function handle(request) {
    const id = request && request.id;
    const op = request && ops[request.op];
    if (!op) return { id, ok: false, error: "unknownRequest" };
    try {
      return { id, ok: true, ...(await op(request)) };
    } catch (error) {
      return { id, ok: false, error: error instanceof Refusal ? error.message : String(error) };
    }
  };
}
