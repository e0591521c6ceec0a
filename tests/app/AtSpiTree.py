#!/usr/bin/python3
"""Reads zormouse through AT-SPI as a screen reader does: the page tabs, a button by its name,
the lighting modes of the drop-down's list, a DPI gear's colour swatch named by its colour, all
with extents on the screen's pixels at the scale the program runs with (ZOR_SCALE)."""
import re
import sys
import time

import pyatspi
from gi.repository import GLib

SCALE = float(sys.argv[1]) if len(sys.argv) > 1 else 1.0
WINDOW_SIZE = (990, 690)  # the main window's size in the skin, before scaling
failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
        print("FAIL: " + text)


def wait_for(what, timeout=30.0):
    end = time.time() + timeout
    while time.time() < end:
        found = what()
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def find_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "zormouse":
            return app
    return None


def walk(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from walk(child)


def find(root, role, name=None, match=None):
    for node in walk(root):
        if node.getRoleName() != role:
            continue
        if name is not None and node.name != name:
            continue
        if match is not None and not match(node):
            continue
        return node
    return None


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def shown(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


app = wait_for(find_app)
if app is None:
    print("FAIL: zormouse never registered with the accessibility registry")
    sys.exit(1)
frame = wait_for(lambda: find(app, "frame", "Zor Mouse"))
if frame is None:
    print("FAIL: no frame named Zor Mouse; the application holds: " +
          ", ".join("%s %r" % (c.getRoleName(), c.name) for c in app if c is not None))
    sys.exit(1)

# The window on the screen's pixels: its skin size times the scale.
fx, fy, fw, fh = extents(frame)
check((fw, fh) == (round(WINDOW_SIZE[0] * SCALE), round(WINDOW_SIZE[1] * SCALE)),
      "the window's extents %r are not its size at scale %g" % ((fw, fh), SCALE))


def inside_frame(name, e):
    x, y, w, h = e
    check(w > 0 and h > 0, "%s has empty extents %r" % (name, e))
    check(fx <= x and fy <= y and x + w <= fx + fw and y + h <= fy + fh,
          "%s at %r lies outside the window at %r" % (name, e, (fx, fy, fw, fh)))


# The page tabs, the settings tabs among them, each shown where it is drawn.
for tab in ("Mouse", "Macros", "DPI", "Buttons", "Lighting", "Power"):
    node = find(frame, "radio button", tab)
    check(node is not None, "no tab named %s" % tab)
    if node is not None:
        inside_frame("the tab " + tab, extents(node))

# A button found by its name, with the action that presses it.
apply_button = find(frame, "push button", "Apply")
check(apply_button is not None, "no button named Apply")
if apply_button is not None:
    inside_frame("Apply", extents(apply_button))
    actions = apply_button.queryAction()
    check(any(actions.getName(i) == "Press" or actions.getName(i) == "press"
              for i in range(actions.nActions)), "Apply offers no press action")

# A DPI gear's colour swatch is named by its colour and described by its tip.
colour_name = re.compile(r"^(Red|Green|Blue|Yellow|Cyan|Magenta|White|Black|Orange|Purple|Grey|#[0-9A-F]{6})$")
swatch = find(frame, "push button", match=lambda n: n.description == "Gear colour" and shown(n))
check(swatch is not None, "no gear colour swatch")
if swatch is not None:
    check(colour_name.match(swatch.name) is not None, "the swatch is named %r, not by its colour" % swatch.name)
    inside_frame("the colour swatch", extents(swatch))

# The lighting page through the Lighting tab's press action; its mode drop-down holds the list of
# the modes the model offers, each item named.
lighting = find(frame, "radio button", "Lighting")
if lighting is not None:
    action = lighting.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            break


def mode_list():
    page = find(frame, "panel", "page_light")
    if page is None or not shown(page):
        return None
    combo = find(page, "combo box")
    if combo is None:
        return None
    lists = [c for c in combo if c is not None and c.getRoleName() == "list"]
    return lists[0] if lists and lists[0].childCount > 0 else None


modes = wait_for(mode_list, 15.0)
check(modes is not None, "the lighting mode drop-down exposes no list of items")
if modes is not None:
    items = [modes.getChildAtIndex(i) for i in range(modes.childCount)]
    check(all(item.getRoleName() == "list item" and item.name for item in items),
          "an item of the lighting modes has no name or is no list item")
    check(sum(1 for item in items if item.getState().contains(pyatspi.STATE_SELECTED)) == 1,
          "not exactly one lighting mode is selected")
    print("lighting modes: " + ", ".join(item.name for item in items))

# What the window announces: the focus a tool moves to Apply, and a slider's new value.
heard = []


def listen(event):
    source = event.source
    heard.append((event.type, source.name if source is not None else None))


pyatspi.Registry.registerEventListener(listen, "object:state-changed:focused",
                                       "object:property-change:accessible-value", "object:value-changed")


def pump(until, timeout=10.0):
    context = GLib.MainContext.default()
    end = time.time() + timeout
    while time.time() < end:
        while context.iteration(False):
            pass
        if until():
            return True
        time.sleep(0.05)
    return False


fire = find(frame, "slider", "btn_MouseAdv_FireCtrl")
check(fire is not None, "no slider for the fire key speed")
if fire is not None:
    value = fire.queryValue()
    target = value.minimumValue if value.currentValue != value.minimumValue else value.maximumValue
    value.currentValue = target
    check(pump(lambda: any(t.startswith("object:property-change:accessible-value") or t == "object:value-changed"
                           for t, n in heard)),
          "no value change was announced for the slider: heard %r" % heard)
if apply_button is not None:
    apply_button.queryComponent().grabFocus()
    check(pump(lambda: ("object:state-changed:focused", "Apply") in heard),
          "the focus moved to Apply was not announced: heard %r" % heard)

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
