// The extension's request handling against a stand-in for the browser's API (node --test).
import assert from "node:assert/strict";
import test from "node:test";
import { FocusOrder, makeHandler, MAX_URL_LENGTH } from "../../companion/requests.js";

function fakeBrowser(windows, { lagReads = 0, lastFocused } = {}) {
  const calls = [];
  let lag = 0;
  const find = (id) => windows.find((w) => w.id === id);
  const api = {
    windows: {
      getAll: async () => windows,
      getLastFocused: async () => {
        if (lastFocused === undefined) throw new Error("No last-focused window");
        return find(lastFocused);
      },
      get: async (id) => {
        const win = find(id);
        if (!win) throw new Error("No window with id: " + id);
        // The state read right after an update may still be the old one.
        return lag-- > 0 ? { ...win, state: win.oldState } : win;
      },
      update: async (id, change) => {
        calls.push([id, change]);
        const win = find(id);
        win.oldState = win.state;
        if (change.state) win.state = change.state;
        else if (change.focused && win.state === "minimized") win.state = "normal";
        lag = lagReads;
      },
    },
    tabs: { update: async (id, change) => calls.push([`tab ${id}`, change]) },
  };
  return { api, calls };
}

const tab = (id, url, active = false) => ({ id, title: `t${id}`, url, active });

test("lists windows in focus order with their tabs and active tab", async () => {
  const windows = [
    { id: 1, state: "normal", focused: false, tabs: [tab(10, "http://a.test/", true)] },
    { id: 2, state: "minimized", focused: true, tabs: [tab(20, "x"), tab(21, "data:" + "a".repeat(9000), true)] },
  ];
  const order = new FocusOrder();
  const handle = makeHandler(fakeBrowser(windows).api, order, async () => {});
  let answer = await handle({ id: 5, op: "list" });
  assert.deepEqual(answer.windows.map((w) => [w.id, w.minimized, w.activeTab]), [[2, true, 2], [1, false, 1]]);
  assert.equal(answer.windows[0].tabs[1].url.length, MAX_URL_LENGTH);
  order.focus(1);
  windows[1].focused = false;
  answer = await handle({ id: 6, op: "list" });
  assert.deepEqual(answer.windows.map((w) => w.id), [1, 2]);
});

test("the browser's last focused window is in front even if the focus was never seen", async () => {
  const windows = [1, 2, 3].map((id) => ({ id, state: "normal", focused: false, tabs: [] }));
  const order = new FocusOrder();
  order.focus(3);
  const handle = makeHandler(fakeBrowser(windows, { lastFocused: 2 }).api, order, async () => {});
  const answer = await handle({ id: 1, op: "list" });
  assert.deepEqual(answer.windows.map((w) => w.id), [2, 3, 1]);
});

test("minimizing and restoring answer the state read back after the change shows", async () => {
  const windows = [{ id: 3, state: "maximized", tabs: [] }];
  const { api, calls } = fakeBrowser(windows, { lagReads: 2 });
  const handle = makeHandler(api, new FocusOrder(), async () => {});
  assert.deepEqual(await handle({ id: 1, op: "setMinimized", window: 3, minimized: true }), { id: 1, ok: true, minimized: true });
  assert.deepEqual(await handle({ id: 2, op: "setMinimized", window: 3, minimized: false }), { id: 2, ok: true, minimized: false });
  // Restoring asks for the focus only, so a maximized window stays maximized.
  assert.deepEqual(calls[1], [3, { focused: true }]);
});

test("refuses unknown windows, tabs and requests", async () => {
  const handle = makeHandler(fakeBrowser([{ id: 4, state: "normal", tabs: [tab(40, "u")] }]).api, new FocusOrder(), async () => {});
  assert.equal((await handle({ id: 1, op: "bringToFront", window: 9 })).error, "noSuchWindow");
  assert.equal((await handle({ id: 2, op: "activateTab", window: 4, index: 2 })).error, "noSuchTab");
  assert.equal((await handle({ id: 3, op: "activateTab", window: 4, index: 1 })).ok, true);
  assert.equal((await handle({ id: 4, op: "close" })).error, "unknownRequest");
});
