// The companion's connection to Tervane Now: it starts the native host and answers the
// application's requests through it. The host itself waits for the application to run;
// should the host go away (not installed yet, or broken off), the companion starts it
// again later with a growing pause, quietly.
//
// A service worker (Firefox: an event page) that has nothing open is stopped by the
// browser after a while and its timers with it; every window and tab event wakes it
// again, and waking tries at once.
//
// Firefox offers the same API under the name `browser`; past that name, what the
// companion asks of it (windows and tabs listed, minimized, focused, a tab made active)
// behaves alike in both, so this is the one place where the two differ.
import { FocusOrder, makeHandler } from "./requests.js";

const api = globalThis.browser ?? globalThis.chrome;

const HOST = "now.tervane.companion";
const FIRST_PAUSE_MS = 1000;
const LONGEST_PAUSE_MS = 30000;

const order = new FocusOrder();
const handle = makeHandler(api, order, () => new Promise((done) => setTimeout(done, 50)));

let port = null;
let pause = FIRST_PAUSE_MS;
let retry = null;

function connect() {
  if (port) return;
  clearTimeout(retry);
  retry = null;
  const opened = api.runtime.connectNative(HOST);
  port = opened;
  opened.onMessage.addListener(async (request) => {
    // A message means the application is there: the next loss starts the pauses afresh.
    pause = FIRST_PAUSE_MS;
    const answer = await handle(request);
    if (port === opened) opened.postMessage(answer);
  });
  opened.onDisconnect.addListener(() => {
    // Reading the error keeps the browser from reporting it as unchecked.
    void api.runtime.lastError;
    if (port === opened) port = null;
    retry = setTimeout(connect, pause);
    pause = Math.min(pause * 2, LONGEST_PAUSE_MS);
  });
}

api.windows.onFocusChanged.addListener((id) => {
  if (id !== api.windows.WINDOW_ID_NONE) order.focus(id);
  connect();
});
api.windows.onRemoved.addListener((id) => order.remove(id));
api.windows.onCreated.addListener(() => connect());
api.tabs.onActivated.addListener(() => connect());
api.runtime.onStartup.addListener(() => connect());
api.runtime.onInstalled.addListener(() => connect());
connect();
