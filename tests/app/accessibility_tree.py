#!/usr/bin/python3
"""Walks the running program's accessibility tree over AT-SPI, as a screen reader sees it: the
main window, then the settings dialog (opened through its menu item's own action), each of its
pages. Prints the tree and fails when a control has no name, one that Tab reaches (or a round
button) has no description, two controls of one parent share a name, a round button cannot be
pressed, or pressing the header list's round button does not show the list viewer.
    accessibility_tree.py <application name>"""

import sys
import time

import pyatspi

CONTROLS = {
    "push button", "toggle button", "check box", "radio button", "text", "list", "slider",
    "spin button", "combo box", "page tab", "menu item",
}


ROUND = ("ﾍｯﾀﾞﾘｽﾄを表示", "ﾌｯﾀﾘｽﾄを表示")


def wait_for(find, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    return None


def application(name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == name:
            return app
    return None


def nodes(node):
    yield node
    for child in node:
        if child is not None:
            yield from nodes(child)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def showing_control(node):
    return (node is not None and node.getRoleName() in CONTROLS
            and node.getState().contains(pyatspi.STATE_SHOWING))


def check(title, root, faults):
    print(title)
    for node in nodes(root):
        role = node.getRoleName()
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            continue
        print("  %-14s %-30s %s" % (role, node.name, node.description))
        if role in CONTROLS and not node.name.strip():
            faults.append("%s: a %s without a name" % (title, role))
        # What Tab reaches, and the round buttons, which a screen reader presses. A page tab is
        # its page's title: the page's controls carry the descriptions.
        reached = (node.getState().contains(pyatspi.STATE_FOCUSABLE) and role != "page tab"
                   or node.name in ROUND)
        if role in CONTROLS and reached and not node.description.strip():
            faults.append("%s: the %s %r without a description" % (title, role, node.name))
        names = [c.name for c in node if showing_control(c)]
        for twin in sorted({n for n in names if names.count(n) > 1}):
            faults.append("%s: two controls named %r under %r" % (title, twin, node.name))


def main():
    app = wait_for(lambda: application(sys.argv[1]))
    if app is None:
        print("the program never appeared on the accessibility bus")
        return 1
    main_window = wait_for(lambda: next((w for w in app if w.name == "Morvex"), None))
    faults = []
    check("main window", main_window, faults)
    round_buttons = [n for n in nodes(main_window) if n.name in ROUND]
    if len(round_buttons) != 2 or any("Press" not in actions(b) for b in round_buttons):
        faults.append("the round buttons are not two buttons with a press action")
    else:
        # The list viewer is made once the main window is out; its round button still opens it.
        header = next(b for b in round_buttons if b.name == ROUND[0])
        header.queryAction().doAction(actions(header).index("Press"))
        viewer = wait_for(lambda: next(
            (w for w in app if w.name.startswith("リストファイルビューア")
             and w.getState().contains(pyatspi.STATE_SHOWING)), None))
        if viewer is None:
            faults.append("the header list's round button did not open the list viewer")

    setting_item = next((n for n in nodes(main_window) if n.name == "動作環境(E)..."), None)
    # The dialog runs modally inside the action, whose answer therefore only comes when the
    # dialog closes: do not wait for it.
    pyatspi.setTimeout(1000, 1000)
    try:
        setting_item.queryAction().doAction(0)
    except Exception:
        pass
    dialog = wait_for(lambda: next((w for w in app if w.name == "設定"), None))
    if dialog is None:
        faults.append("the settings dialog did not open")
    else:
        tabs = [n for n in nodes(dialog) if n.getRoleName() == "page tab"]
        for tab in tabs:
            if actions(tab):
                tab.queryAction().doAction(0)
                # Its page shows once the tab list names it as the current one.
                if wait_for(lambda: tab if tab.parent.name == tab.name else None) is None:
                    faults.append("the page %s did not open" % tab.name)
            check("settings dialog, page " + tab.name, dialog, faults)
    for fault in faults:
        print("FAULT: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
