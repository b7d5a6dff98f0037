// Tervane Now's door into GNOME Shell, which lets no other program move windows: a small
// D-Bus object on the Shell's own session bus connection that lists the windows, minimizes,
// restores, activates and raises them (each answer read back from the Shell), reports
// every focus change and every window that comes, goes or is (un)minimized, shows the bee
// in the top bar and says where it is and when it is clicked, and holds global shortcuts
// for the application. It acts only when asked and keeps nothing the
// application needs: the application keeps its own record of what it put away.
//
// The extension's entry points (legacy.js for GNOME 43 and 44, modern.js for 45 and later)
// wrap this file with the imports of their kind: Gio, GLib, Meta, Shell, St, Main and
// PanelMenu are theirs.

const kPath = '/org/tervane/Now/Shell';
const kInterface = `<node>
  <interface name="org.tervane.Now.Shell">
    <method name="ListWindows"><arg type="s" direction="out" name="windows"/></method>
    <method name="SetMinimized">
      <arg type="s" direction="in" name="ids"/><arg type="b" direction="in" name="minimized"/>
      <arg type="s" direction="out" name="settled"/>
    </method>
    <method name="Activate">
      <arg type="s" direction="in" name="id"/><arg type="b" direction="out" name="focused"/>
    </method>
    <method name="Raise">
      <arg type="s" direction="in" name="id"/><arg type="b" direction="out" name="raised"/>
    </method>
    <method name="SetBee"><arg type="s" direction="in" name="picture"/></method>
    <method name="Bee"><arg type="s" direction="out" name="bee"/></method>
    <method name="Accelerators"><arg type="as" direction="out" name="held"/></method>
    <method name="GrabAccelerators">
      <arg type="as" direction="in" name="accelerators"/><arg type="s" direction="out" name="grabbed"/>
    </method>
    <signal name="Focused"><arg type="s" name="window"/></signal>
    <signal name="WindowChanged"><arg type="s" name="window"/></signal>
    <signal name="BeeClicked"><arg type="s" name="button"/></signal>
    <signal name="BeeMoved"><arg type="s" name="bee"/></signal>
    <signal name="Accelerator"><arg type="s" name="accelerator"/></signal>
  </interface>
</node>`;

function appOf(w) {
  return w.get_wm_class() || w.get_gtk_application_id() || '';
}

function isAppWindow(w) {
  return w.get_window_type() === Meta.WindowType.NORMAL && !w.is_skip_taskbar() &&
    appOf(w) !== '';
}

function describe(w) {
  return {id: String(w.get_id()), app: appOf(w), title: w.get_title() || '',
          minimized: w.minimized, active: w.has_focus(), pid: w.get_pid()};
}

// Bottom to top.
function stacked() {
  return global.display.sort_windows_by_stacking(
    global.display.list_all_windows().filter(isAppWindow));
}

function find(id) {
  return stacked().find(w => String(w.get_id()) === id) || null;
}

var TervaneNowShell = class {
  enable() {
    this._grabs = new Map();
    this._watched = new Map();
    this._object = Gio.DBusExportedObject.wrapJSObject(kInterface, this);
    this._object.export(Gio.DBus.session, kPath);
    global.display.list_all_windows().forEach(w => this._watch(w));
    this._created = global.display.connect('window-created', (display, w) => this._watch(w));
    this._focus = global.display.connect('notify::focus-window', () => {
      const w = global.display.focus_window;
      const window = w && isAppWindow(w) ? describe(w) : {app: ''};
      this._object.emit_signal('Focused', new GLib.Variant('(s)', [JSON.stringify(window)]));
    });
    this._accelerator = global.display.connect('accelerator-activated', (display, action) => {
      const accelerator = this._grabs.get(action);
      if (accelerator !== undefined) {
        this._object.emit_signal('Accelerator', new GLib.Variant('(s)', [accelerator]));
      }
    });
  }

  disable() {
    this._disown();
    this._ungrab();
    for (const [w, ids] of this._watched) ids.forEach(id => w.disconnect(id));
    this._watched.clear();
    global.display.disconnect(this._created);
    global.display.disconnect(this._focus);
    global.display.disconnect(this._accelerator);
    this._object.unexport();
    this._object = null;
    if (this._bee) this._bee.destroy();
    this._bee = null;
  }

  _watch(w) {
    this._watched.set(w, [
      w.connect('shown', () => this._changed(w)),
      w.connect('notify::minimized', () => this._changed(w)),
      w.connect('unmanaged', () => {
        this._watched.delete(w);
        this._changed(w);
      }),
    ]);
  }

  _changed(w) {
    if (!isAppWindow(w)) return;
    this._object.emit_signal('WindowChanged', new GLib.Variant('(s)', [JSON.stringify(describe(w))]));
  }

  ListWindows() {
    return JSON.stringify(stacked().reverse().map(describe));
  }

  SetMinimized(ids, minimized) {
    const settled = [];
    for (const id of JSON.parse(ids)) {
      const w = find(id);
      if (w === null) continue;
      if (minimized && w.can_minimize()) w.minimize();
      if (!minimized) w.unminimize();
      if (w.minimized === minimized) settled.push(id);
    }
    return JSON.stringify(settled);
  }

  Activate(id) {
    const w = find(id);
    if (w === null) return false;
    Main.activateWindow(w);
    return w.has_focus();
  }

  Raise(id) {
    const w = find(id);
    if (w === null) return false;
    w.raise();
    const order = stacked();
    return order.slice(order.indexOf(w) + 1).every(s => appOf(s) !== appOf(w));
  }

  // The bee and the accelerators are the caller's: they go when it does, also when it
  // crashes.
  _ownedBy(sender) {
    if (this._owner === sender) return;
    this._disown();
    this._owner = sender;
    this._ownerWatch = Gio.bus_watch_name_on_connection(
      Gio.DBus.session, sender, Gio.BusNameWatcherFlags.NONE, null, () => {
        this._disown();
        this._showBee('');
        this._ungrab();
      });
  }

  _disown() {
    if (this._ownerWatch) Gio.bus_unwatch_name(this._ownerWatch);
    this._ownerWatch = 0;
    this._owner = null;
  }

  // `picture` is the path of the bee's picture now; empty takes the bee away.
  SetBeeAsync([picture], invocation) {
    this._ownedBy(invocation.get_sender());
    this._showBee(picture);
    invocation.return_value(null);
  }

  _showBee(picture) {
    if (picture === '') {
      if (this._bee) this._bee.destroy();
      this._bee = null;
      this._object.emit_signal('BeeMoved', new GLib.Variant('(s)', [this.Bee()]));
      return;
    }
    if (!this._bee) {
      this._bee = new PanelMenu.Button(0.0, 'Tervane Now', true);
      this._icon = new St.Icon({style_class: 'system-status-icon'});
      this._bee.add_child(this._icon);
      this._bee.connect('button-press-event', (actor, event) => {
        const button = event.get_button() === 1 ? 'primary' : 'menu';
        this._object.emit_signal('BeeClicked', new GLib.Variant('(s)', [button]));
        return true;
      });
      this._bee.connect('notify::allocation', () => {
        this._object.emit_signal('BeeMoved', new GLib.Variant('(s)', [this.Bee()]));
      });
      Main.panel.addToStatusArea('tervane-now', this._bee);
    }
    this._icon.gicon = Gio.icon_new_for_string(picture);
    this._picture = picture;
  }

  // The bee's picture and where it is on the screen, once the top bar has placed it; an
  // empty picture when it is not shown.
  Bee() {
    if (!this._bee || !this._bee.has_allocation()) return JSON.stringify({picture: ''});
    const [x, y] = this._bee.get_transformed_position();
    const [width, height] = this._bee.get_transformed_size();
    return JSON.stringify({picture: this._picture, x, y, width, height});
  }

  // The accelerators held for the application now.
  Accelerators() {
    return [...this._grabs.values()];
  }

  // Holds `accelerators` (in GTK's notation) in place of those held before; which of them
  // the Shell gave.
  GrabAcceleratorsAsync([accelerators], invocation) {
    this._ownedBy(invocation.get_sender());
    invocation.return_value(new GLib.Variant('(s)', [this._grab(accelerators)]));
  }

  _grab(accelerators) {
    this._ungrab();
    const grabbed = {};
    for (const accelerator of accelerators) {
      const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
      grabbed[accelerator] = action !== Meta.KeyBindingAction.NONE;
      if (!grabbed[accelerator]) continue;
      Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action), Shell.ActionMode.ALL);
      this._grabs.set(action, accelerator);
    }
    return JSON.stringify(grabbed);
  }

  _ungrab() {
    for (const action of this._grabs.keys()) global.display.ungrab_accelerator(action);
    this._grabs.clear();
  }
};
