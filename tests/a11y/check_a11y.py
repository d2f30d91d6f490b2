#!/usr/bin/env python3
"""Checks, as a screen reader would, that the running program shows its menu
items, tree rows and panes on the accessibility bus (AT-SPI).

Usage: check_a11y.py <program-directory>   (run under dbus-run-session on a display)
"""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

MENU_ITEMS = [
    "File", "Minimize", "Exit",
    "Browse", "Home", "Back", "Forword",
    "Favorites", "Modify", "Backup",
    "HomePage", "Go to", "Use Blank", "Use Default", "Use Current",
    "Skin", "XP", "Mini", "Soft",
    "View", "Status", "Toolbar", "Block Ads and Trackers",
    "Help", "Content and Index", "Product Homepage", "About...",
    "Import Favorites (OPML)…", "Export Favorites (OPML)…",
]
TREE_ROWS = ["Lumo News Reader", "My Favorites", "National", "World", "American States",
             "ABCNEWS.com"]


def walk(node, depth=0, limit=40):
    if node is None or depth > limit:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(min(count, 5000)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1, limit)


def find_app(pid, deadline):
    desktop = pyatspi.Registry.getDesktop(0)
    while time.time() < deadline:
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                continue
        time.sleep(0.2)
    return None


def main():
    program_dir = sys.argv[1]
    with tempfile.TemporaryDirectory() as config:
        env = dict(os.environ, XDG_CONFIG_HOME=config)
        env.pop("NO_AT_BRIDGE", None)
        proc = subprocess.Popen(["./LumoNewsReader"], cwd=program_dir, env=env)
        try:
            deadline = time.time() + 30
            app = find_app(proc.pid, deadline)
            if app is None:
                print("FAIL: the program never appeared on the accessibility bus")
                return 1
            missing_menu, missing_rows = list(MENU_ITEMS), list(TREE_ROWS)
            roles = set()
            while time.time() < deadline and (missing_menu or missing_rows):
                names_by_role = {}
                for node in walk(app):
                    try:
                        role = node.getRoleName()
                        name = node.name or ""
                    except Exception:
                        continue
                    roles.add(role)
                    names_by_role.setdefault(role, set()).add(name.replace("_", ""))
                menu_names = set().union(*(names_by_role.get(r, set()) for r in
                                           ("menu", "menu item", "check menu item")))
                cells = set().union(*(names_by_role.get(r, set()) for r in
                                      ("table cell", "tree item", "list item")))
                missing_menu = [m for m in MENU_ITEMS if m not in menu_names]
                missing_rows = [r for r in TREE_ROWS if r not in cells]
                if missing_menu or missing_rows:
                    time.sleep(0.5)
            ok = True
            if missing_menu:
                print("FAIL: menu items not on the bus:", missing_menu)
                ok = False
            if missing_rows:
                print("FAIL: tree rows not on the bus:", missing_rows)
                ok = False
            tree_names = set().union(*(names_by_role.get(r, set()) for r in
                                       ("tree table", "tree", "table")))
            if "Newspapers" not in tree_names:
                print("FAIL: no tree named Newspapers on the bus; trees seen:",
                      sorted(tree_names), "roles seen:", sorted(roles))
                ok = False
            if ok:
                print("1 passed, 0 failed")
                return 0
            print("0 passed, 1 failed")
            return 1
        finally:
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()


if __name__ == "__main__":
    sys.exit(main())
