// GNOME Shell 43 and 44 load an extension as a script with imports.
const {Gio, GLib, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
