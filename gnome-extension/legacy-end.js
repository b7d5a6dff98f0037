
function init() {
  return new TervaneNowShell();
}
