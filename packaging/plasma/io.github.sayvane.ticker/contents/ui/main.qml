// Sayvane's ticker in a Plasma panel: the running program's quotes and emojis, read over its
// D-Bus interface (WatchDisplay answers at once with a newer display, else when the next change
// comes), scrolled here at 45 pixels a second in Plasma's font and colours. It stands still
// while the pointer rests on it or the program is paused; the tooltip names the quote passing;
// the context menu is the program's status menu, clicked through its exported D-Bus menu.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import org.kde.plasma.plasmoid 2.0
import org.kde.plasma.core 2.0 as PlasmaCore
import org.kde.plasma.components 3.0 as PlasmaComponents3

Item {
    id: root

    readonly property string service: "io.github.sayvane.Sayvane"
    // What the program last said; revision 0 asks for whatever it shows now.
    property var display: ({revision: 0, segments: [], still: "", paused: false, menu: []})
    property bool running: false
    property string passingQuote: ""
    readonly property string text: display.segments.length > 0 ? display.segments.join("")
                                                               : display.still
    readonly property real speed: 45

    Plasmoid.preferredRepresentation: Plasmoid.compactRepresentation
    Plasmoid.icon: "sayvane"
    Plasmoid.toolTipMainText: "Sayvane"
    Plasmoid.toolTipSubText: running ? passingQuote
                                     : i18n("Sayvane is not running. Click to start it.")

    // Commands run through the executable engine: one source a command, gone when it ends.
    PlasmaCore.DataSource {
        id: commands
        engine: "executable"
        onNewData: {
            disconnectSource(sourceName);
            if (sourceName.indexOf("WatchDisplay") >= 0)
                root.displayArrived(data["exit code"], data["stdout"]);
        }
    }

    function run(command) {
        commands.connectSource(command);
    }

    function watch() {
        run("qdbus " + service + " / " + service + ".WatchDisplay " + display.revision);
    }

    function displayArrived(exitCode, output) {
        let arrived = null;
        try {
            arrived = exitCode === 0 ? JSON.parse(output) : null;
        } catch (error) {
            arrived = null;
        }
        if (!arrived) {
            running = false;
            retry.start();
            return;
        }
        running = true;
        display = arrived;
        rebuildMenu();
        watch();
    }

    // While the program is away, look for it again now and then.
    Timer {
        id: retry
        interval: 5000
        onTriggered: root.watch()
    }

    function click(id) {
        run("gdbus call --session --dest " + service + " --object-path /MenuBar" +
            " --method com.canonical.dbusmenu.Event " + id + " clicked '<0>' 0");
    }

    function start() {
        run("setsid sayvane >/dev/null 2>&1 &");
    }

    // What each action of the context menu stands for, by the action's name, and the menu it
    // was made from.
    property var entryOfAction: ({})
    property string menuShown: ""

    // Plasma calls this for every action of the context menu that has no function of its own.
    function actionTriggered(name) {
        const entry = entryOfAction[name];
        if (entry)
            click(entry.id);
        else
            start();
    }

    function addEntries(entries, into) {
        for (const entry of entries) {
            if (entry.kind === "separator") {
                Plasmoid.setActionSeparator("separator" + entry.id);
            } else if (entry.kind === "submenu") {
                addEntries(entry.children, into);
            } else {
                const name = "item" + entry.id;
                Plasmoid.setAction(name, entry.title);
                if (entry.checked !== undefined) {
                    Plasmoid.action(name).checkable = true;
                    Plasmoid.action(name).checked = entry.checked;
                }
                into[name] = entry;
            }
        }
        return into;
    }

    // Made anew whenever the program's menu changes: a new language, a check mark moved.
    function rebuildMenu() {
        const wanted = running ? JSON.stringify(display.menu) : "";
        if (wanted === menuShown && Object.keys(entryOfAction).length > 0)
            return;
        Plasmoid.clearActions();
        if (running) {
            entryOfAction = addEntries(display.menu, {});
        } else {
            Plasmoid.setAction("start", i18n("Start Sayvane"));
            entryOfAction = {};
        }
        menuShown = wanted;
    }

    Plasmoid.compactRepresentation: Item {
        id: ticker

        readonly property real textWidth: Math.max(first.implicitWidth, 1)
        property real offset: 0
        // A new text starts again from its beginning.
        readonly property string shown: root.text
        onShownChanged: restart()

        Layout.minimumWidth: PlasmaCore.Units.gridUnit * 14
        Layout.preferredWidth: PlasmaCore.Units.gridUnit * 18
        Layout.fillHeight: true
        clip: true

        function restart() {
            offset = 0;
            if (scroll.running)
                scroll.restart();
        }

        // The quote under the middle of the view, from the measured widths of the segments
        // (quote, separator, quote, ...).
        function quoteAt(position) {
            const segments = root.display.segments;
            if (segments.length === 0)
                return root.display.still;
            let x = ((position % textWidth) + textWidth) % textWidth;
            for (let i = 0; i < segments.length; ++i) {
                measure.text = segments[i];
                if (x < measure.advanceWidth)
                    return segments[i - (i % 2)];
                x -= measure.advanceWidth;
            }
            return segments[0];
        }

        TextMetrics {
            id: measure
            font: first.font
        }

        Row {
            x: -ticker.offset
            anchors.verticalCenter: parent.verticalCenter
            PlasmaComponents3.Label {
                id: first
                text: root.running ? root.text : "Sayvane"
                textFormat: Text.PlainText
            }
            PlasmaComponents3.Label {
                // The second copy starts where the first ends: the text ends in two spaces.
                visible: root.running && root.display.segments.length > 0
                text: first.text
                textFormat: Text.PlainText
            }
        }

        NumberAnimation on offset {
            id: scroll
            from: 0
            to: ticker.textWidth
            duration: ticker.textWidth / root.speed * 1000
            loops: Animation.Infinite
            running: root.running && root.display.segments.length > 0
            paused: running && (pointer.containsMouse || root.display.paused)
        }

        MouseArea {
            id: pointer
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.LeftButton | Qt.MiddleButton
            onEntered: root.passingQuote = ticker.quoteAt(ticker.offset + ticker.width / 2)
            onClicked: {
                if (!root.running)
                    root.start();
                else if (mouse.button === Qt.MiddleButton)
                    root.run("qdbus " + root.service + " / " + root.service + ".TogglePause");
                else
                    root.run("qdbus " + root.service + " / " + root.service + ".EditQuotes");
            }
        }
    }

    Component.onCompleted: {
        rebuildMenu();
        watch();
    }
}
