
export default class TervaneNowExtension extends Extension {
  enable() {
    this._shell = new TervaneNowShell();
    this._shell.enable();
  }

  disable() {
    this._shell.disable();
    this._shell = null;
  }
}
