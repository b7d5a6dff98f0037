// The companion's connection to Tervane Now: it starts the native host and answers the
// application's requests through it. The host itself waits for the application to run;
// should the host go away (not installed yet, or broken off), the companion starts it
// again later with a growing pause, quietly.
//
// A service worker that has nothing open is stopped by the browser after a while and its
// timers with it; every window and tab event wakes it again, and waking tries at once.
import { FocusOrder, makeHandler } from "./requests.js";

const HOST = "now.tervane.companion";
const FIRST_PAUSE_MS = 1000;
const LONGEST_PAUSE_MS = 30000;

const order = new FocusOrder();
const handle = makeHandler(chrome, order, () => new Promise((done) => setTimeout(done, 50)));

let port = null;
let pause = FIRST_PAUSE_MS;
let retry = null;

function connect() {
  if (port) return;
  clearTimeout(retry);
  retry = null;
  const opened = chrome.runtime.connectNative(HOST);
  port = opened;
  opened.onMessage.addListener(async (request) => {
    // A message means the application is there: the next loss starts the pauses afresh.
    pause = FIRST_PAUSE_MS;
    const answer = await handle(request);
    if (port === opened) opened.postMessage(answer);
  });
  opened.onDisconnect.addListener(() => {
    // Reading the error keeps the browser from reporting it as unchecked.
    void chrome.runtime.lastError;
    if (port === opened) port = null;
    retry = setTimeout(connect, pause);
    pause = Math.min(pause * 2, LONGEST_PAUSE_MS);
  });
}

chrome.windows.onFocusChanged.addListener((id) => {
  if (id !== chrome.windows.WINDOW_ID_NONE) order.focus(id);
  connect();
});
chrome.windows.onRemoved.addListener((id) => order.remove(id));
chrome.windows.onCreated.addListener(() => connect());
chrome.tabs.onActivated.addListener(() => connect());
chrome.runtime.onStartup.addListener(() => connect());
chrome.runtime.onInstalled.addListener(() => connect());
connect();
