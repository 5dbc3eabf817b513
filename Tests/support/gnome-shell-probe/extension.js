// Exports what Sayvane's tests read from the shell: the panel's status notifier items with
// their labels, their menus as the panel shows them, and the top bar's height.
const { Gio, Shell } = imports.gi;
const Main = imports.ui.main;
const PopupMenu = imports.ui.popupMenu;

const probeXml = `<node><interface name="io.github.sayvane.ShellProbe">
  <method name="Items"><arg type="as" direction="out" name="ids"/></method>
  <method name="Label"><arg type="s" direction="in" name="id"/><arg type="s" direction="out" name="text"/></method>
  <method name="Menu"><arg type="s" direction="in" name="id"/><arg type="as" direction="out" name="entries"/></method>
  <method name="Activate"><arg type="s" direction="in" name="id"/><arg type="as" direction="in" name="path"/><arg type="b" direction="out" name="done"/></method>
  <method name="HideOverview"/>
  <method name="OpenMenu"><arg type="s" direction="in" name="id"/><arg type="as" direction="in" name="path"/></method>
  <method name="PanelHeight"><arg type="i" direction="out" name="height"/></method>
  <method name="Screenshot"><arg type="s" direction="in" name="path"/></method>
</interface></node>`;

function indicators() {
    return Object.entries(Main.panel.statusArea).filter(
        ([, actor]) => actor && actor._indicator && actor._indicator.busName !== undefined);
}

function find(id) {
    const found = indicators().find(([key, actor]) => key === id || actor._indicator.id === id);
    return found ? found[1] : null;
}

// Each item of a menu as "label" with " (checked)" where it carries a mark; submenu items as
// "Parent > label".
function entriesOf(menu, prefix) {
    const out = [];
    for (const item of menu._getMenuItems()) {
        if (item instanceof PopupMenu.PopupSeparatorMenuItem) {
            out.push(prefix + '---');
            continue;
        }
        const text = item.label ? item.label.get_text() : '';
        const marked = item._ornament !== undefined && item._ornament !== PopupMenu.Ornament.NONE &&
            item._ornament !== PopupMenu.Ornament.HIDDEN;
        const checked = (item._switch && item._switch.state) || (marked && item._ornament !== 0);
        out.push(prefix + text + (checked ? ' (checked)' : ''));
        if (item.menu && item.menu !== menu)
            out.push(...entriesOf(item.menu, prefix + text + ' > '));
    }
    return out;
}

function itemAt(menu, path) {
    let current = menu;
    let item = null;
    for (const title of path) {
        item = current._getMenuItems().find(i => i.label && i.label.get_text() === title);
        if (!item)
            return null;
        if (item.menu)
            current = item.menu;
    }
    return item;
}

class Probe {
    Items() {
        return indicators().map(([key]) => key);
    }

    Label(id) {
        const actor = find(id);
        return actor && actor._label ? actor._label.get_text() : '';
    }

    Menu(id) {
        const actor = find(id);
        return actor && actor.menu ? entriesOf(actor.menu, '') : [];
    }

    Activate(id, path) {
        const actor = find(id);
        const item = actor && actor.menu ? itemAt(actor.menu, path) : null;
        if (!item)
            return false;
        const { Clutter } = imports.gi;
        item.activate(Clutter.get_current_event() || Clutter.Event.new(Clutter.EventType.BUTTON_RELEASE));
        return true;
    }

    ScreenshotAsync([path], invocation) {
        const file = Gio.File.new_for_path(path);
        const stream = file.replace(null, false, Gio.FileCreateFlags.NONE, null);
        new Shell.Screenshot().screenshot(false, stream, (source, result) => {
            try {
                source.screenshot_finish(result);
                stream.close(null);
                invocation.return_value(null);
            } catch (e) {
                invocation.return_dbus_error('io.github.sayvane.ShellProbe.Failed', e.message);
            }
        });
    }

    // Opens the item's menu, and the submenus on the path, as a click would.
    OpenMenu(id, path) {
        const actor = find(id);
        if (!actor || !actor.menu)
            return;
        actor.menu.open();
        const item = path.length > 0 ? itemAt(actor.menu, path) : null;
        if (item && item.menu)
            item.menu.open(false);
    }

    HideOverview() {
        Main.overview.hide();
    }

    PanelHeight() {
        return Main.panel.height;
    }
}

let exported = null;

function init() {}

function enable() {
    exported = Gio.DBusExportedObject.wrapJSObject(probeXml, new Probe());
    exported.export(Gio.DBus.session, '/io/github/sayvane/ShellProbe');
}

function disable() {
    if (exported)
        exported.unexport();
    exported = null;
}
