#!/usr/bin/env python3
"""Writes the key page (page_keys.xml) and the key assignment popup (PopMouseKeySel.xml) of both
skins. The popup's list items are made from the key function catalog (LanguageText.json): every
built-in function is an item of its category's list, named "ItemValue" + code + "_" + label. Run
from the project folder; the outputs are committed.
"""
import json
import re

SKINS = {
    "res_black": dict(panel="#FF1B1E24", border="#FF2C313A", card="#FF23272F", hover="#FF2A2F3A", text="#FFF1F3F5",
                      muted="#FFAEB4BE", dim="#FF6B7280", accent="#FF4C8DFF", tint="#FF1E3358",
                      overlay="#B80E1014", pill_text="#FFF1F3F5"),
    "res_white": dict(panel="#FFFFFFFF", border="#FFDDE2EA", card="#FFF3F5F8", hover="#FFE9EDF3", text="#FF1C2230",
                      muted="#FF5B6475", dim="#FF9AA3B2", accent="#FF2F6FEB", tint="#FFDCE7FC",
                      overlay="#A0F3F5F8", pill_text="#FF1C2230"),
}

# Category option, list (or page) name, and how the list's item names carry their code.
CATEGORIES = [
    ("opt_MouseKey_Mouse", "list_MouseKey_Mouse", "Mouse"),
    ("opt_MouseKey_ShortCut", "list_MouseKey_ShortCut", "ShortCut"),
    ("opt_KBSet_Macro", None, "Macro"),
    ("opt_MouseKey_Media", "list_MouseKey_Media", "Media"),
    ("opt_MouseKey_DPI", "list_MouseKey_DPI", "DPI"),
    ("opt_MouseKey_Mode", "list_MouseKey_Mode", "Mode"),
    ("opt_MouseKey_Led", "list_MouseKey_Led", "Lighting"),
    ("opt_ScrollKey_Base", "list_ScrollKey_Base", "Wheel"),
]
WHEEL_CODES = [27, 28, 0, 11, 12, 32, 33]  # kWheelFunctions of settings/KeyAssign.h


def category(code):
    if 1 <= code <= 5 or code in (0, 101, 102):
        return "Mouse"
    if code == 100 or 103 <= code <= 110:
        return "ShortCut"
    if code in (6, 11, 12):
        return "DPI"
    if code in (16, 21):
        return "Lighting"
    if 22 <= code <= 26 or code in (50, 51):
        return "Mode"
    if 29 <= code <= 39:
        return "Media"
    return "Mouse"


def item_name(code, label, cat):
    if code == 10:
        return "ItemValue10_ReportRate"
    words = re.sub(r"[^A-Za-z0-9]+", " ", label).split()
    suffix = "".join(w[:1].upper() + w[1:] for w in words) or "Item"
    digits = str(code) if cat in ("Mouse", "ShortCut") else f"{code:02d}"
    return f"ItemValue{digits}_{suffix}"


def items_by_list(catalog):
    lists = {c[2]: [] for c in CATEGORIES if c[1]}
    for code in sorted(catalog, key=int):
        c = int(code)
        if c >= 120:
            continue
        label = catalog[code][1]
        cat = category(c)
        lists[cat].append((item_name(c, label, cat), label))
    for c in WHEEL_CODES:
        label = catalog[str(c)][1]
        # Wheel items carry their own suffix: the same codes are also items of other lists.
        lists["Wheel"].append((item_name(c, label, "Wheel").replace("_", "_Scroll", 1), label))
    return lists


def esc(text):
    return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")


def option_style(c):
    return (f'textcolor="{c["muted"]}" hottextcolor="{c["text"]}" selectedtextcolor="{c["accent"]}" '
            f'hotbkcolor="{c["hover"]}" selectedbkcolor="{c["tint"]}" borderround="8,8"')


def button(name, text, primary, width, extra=""):
    sprite = "btn_primary" if primary else "btn_secondary"
    colour = ' textcolor="#FFFFFFFF"' if primary else ""
    return (f'<Button name="{name}" width="{width}" height="32" text="{esc(text)}"{colour} {extra}'
            f'normalimage="file=\'common/{sprite}.svg\' source=\'0,0,96,32\' corner=\'8,8,8,8\'" '
            f'hotimage="file=\'common/{sprite}.svg\' source=\'0,32,96,64\' corner=\'8,8,8,8\'" '
            f'pushedimage="file=\'common/{sprite}.svg\' source=\'0,64,96,96\' corner=\'8,8,8,8\'"/>')


def popup(c, lists):
    o = ['<?xml version="1.0" encoding="utf-8"?>',
         '<!-- The key assignment popup: a panel over the main window. Categories on the left, the',
         '     chosen category\'s functions (or the macro and single-key page) on the right. -->',
         f'<Container name="PopMouseKeySel" float="true" pos="0,0,990,690" bkcolor="{c["overlay"]}" '
         f'borderround="16,16" visible="false">',
         f'  <VerticalLayout name="PopMouseKeyPanel" float="true" pos="185,95,805,595" bkcolor="{c["panel"]}" '
         f'bordersize="1" bordercolor="{c["border"]}" borderround="16,16" inset="20,14,20,18">',
         '    <HorizontalLayout height="40" childpadding="10">',
         f'      <Label name="lab_PopMouseKey_Title" width="0" height="40" autocalcwidth="true" font="4" textcolor="{c["text"]}" '
         f'text="Button function"/>',
         f'      <Label name="lab_PopMouseKey_Key" textid="NoText" font="2" textcolor="{c["accent"]}" text=""/>',
         '    </HorizontalLayout>',
         f'    <Control height="1" bkcolor="{c["border"]}"/>',
         '    <HorizontalLayout padding="0,14,0,0" childpadding="16">',
         '      <VerticalLayout name="PopMouseKeyCategories" width="140" childpadding="4">']
    texts = {"Mouse": "Mouse", "ShortCut": "Shortcuts", "Macro": "Macro & key", "Media": "Media", "DPI": "DPI",
             "Mode": "Profiles", "Lighting": "Lighting", "Wheel": "Scroll wheel"}
    for opt, _, cat in CATEGORIES:
        o.append(f'        <Option name="{opt}" group="PopMouseKey" height="36" font="2" align="left" '
                 f'textpadding="14,0,8,0" text="{esc(texts[cat])}" {option_style(c)}/>')
    o.append('      </VerticalLayout>')
    o.append(f'      <Control width="1" bkcolor="{c["border"]}"/>')
    o.append('      <TabLayout name="MouseKey_switch" selectedid="0">')
    for opt, lst, cat in CATEGORIES:
        if lst is None:
            o += macro_page(c)
            continue
        o.append(f'        <VerticalLayout name="{lst}" vscrollbar="true" scrollstepsize="38" childpadding="4" '
                 f'inset="0,0,6,0">')
        for name, label in lists[cat]:
            o.append(f'          <Option name="{name}" group="{lst}" height="34" font="2" align="left" '
                     f'textpadding="14,0,8,0" text="{esc(label)}" {option_style(c)}/>')
        o.append('        </VerticalLayout>')
    o.append('      </TabLayout>')
    o.append('    </HorizontalLayout>')
    o.append(f'    <Control height="1" padding="0,12,0,0" bkcolor="{c["border"]}"/>')
    o.append('    <HorizontalLayout height="44" inset="0,12,0,0" childpadding="10">')
    o.append(f'      <Label name="lab_PopMouseKey_Note" font="5" textcolor="{c["dim"]}" '
             f'text="Each choice is sent to the mouse at once."/>')
    o.append('      ' + button("btn_MouseKey_Cancel", "Cancel", False, 96))
    o.append('      ' + button("btn_MouseKey_Apply", "Done", True, 96))
    o.append('    </HorizontalLayout>')
    o.append('  </VerticalLayout>')
    o.append('</Container>')
    return "\n".join(o) + "\n"


def dropdown(c, name, width):
    return (f'<Button name="{name}" textid="NoText" width="{width}" height="32" font="2" align="left" '
            f'textpadding="12,0,28,0" text="" textcolor="{c["text"]}" disabledtextcolor="{c["dim"]}" '
            f'normalimage="file=\'common/edit.svg\' source=\'0,0,90,32\' corner=\'8,8,8,8\'" '
            f'hotimage="file=\'common/edit.svg\' source=\'0,32,90,64\' corner=\'8,8,8,8\'" '
            f'foreimage="file=\'common/dropdown.svg\' dest=\'{width - 24},10,{width - 12},22\'"/>')


def macro_page(c):
    o = ['        <Container name="page_MouseKey_Macro">',
         '          <VerticalLayout childpadding="8">',
         f'            <Label name="lab_MouseKey_MacroTitle" height="22" font="7" textcolor="{c["text"]}" '
         f'text="Play a macro"/>',
         '            <HorizontalLayout height="32" childpadding="10">',
         f'              <Label name="lab_MouseKey_MacroGroup" width="80" font="2" textcolor="{c["muted"]}" '
         f'text="Group"/>',
         '              ' + dropdown(c, "btn_MouseKey_MacroGroupVal", 300),
         '            </HorizontalLayout>',
         '            <HorizontalLayout height="32" childpadding="10">',
         f'              <Label name="lab_MouseKey_MacroName" width="80" font="2" textcolor="{c["muted"]}" '
         f'text="Macro"/>',
         '              ' + dropdown(c, "btn_MouseKey_MacroVal", 300),
         '            </HorizontalLayout>',
         f'            <Label name="lab_MouseKey_MacroHint" height="18" font="5" textcolor="{c["dim"]}" '
         f'text="Macros are recorded on the Macros page."/>',
         f'            <Control height="1" padding="0,8,0,4" bkcolor="{c["border"]}"/>',
         f'            <Label name="lab_MouseKey_KeyTitle" height="22" font="7" textcolor="{c["text"]}" '
         f'text="Type a single key"/>',
         f'            <Label name="lab_MouseKey_KeyHint" height="18" font="5" textcolor="{c["dim"]}" '
         f'text="Click the field, press the key, then choose Use key."/>',
         '            <HorizontalLayout height="32" childpadding="10">',
         f'              <Option name="SetRecordKey" textid="NoText" group="MouseKeyRecord" width="210" height="32" '
         f'font="2" align="center" text="" textcolor="{c["text"]}" selectedtextcolor="{c["accent"]}" '
         f'bkcolor="{c["card"]}" hotbkcolor="{c["hover"]}" selectedbkcolor="{c["tint"]}" bordersize="1" '
         f'bordercolor="{c["border"]}" borderround="8,8"/>',
         '              ' + button("BtnRecordConfirm", "Use key", True, 96),
         '            </HorizontalLayout>',
         '            ' + button("PopSoftKB", "On-screen keyboard", False, 170),
         '          </VerticalLayout>',
         f'          <VerticalLayout name="macrogrp_list_layout" float="true" pos="90,64,390,224" vscrollbar="true" '
         f'bkcolor="{c["card"]}" bordersize="1" bordercolor="{c["border"]}" borderround="8,8" inset="4,4,4,4" '
         f'visible="false"/>',
         f'          <VerticalLayout name="macro_list_layout" float="true" pos="90,104,390,264" vscrollbar="true" '
         f'bkcolor="{c["card"]}" bordersize="1" bordercolor="{c["border"]}" borderround="8,8" inset="4,4,4,4" '
         f'visible="false"/>',
         '        </Container>']
    return o


KEY_NAMES = ["Left button", "Right button", "Wheel button", "Forward button", "Back button", "DPI up button",
             "DPI down button", "Profile button"]


def page(c):
    o = ['<?xml version="1.0" encoding="utf-8"?>',
         '<!-- The key page: the mouse with one control per button, in two layouts (the position files',
         '     of the model place them and cut their pictures), and the scroll wheel\'s two directions. -->',
         '<Container name="page_keys">']

    def key_controls(prefix, mark_prefix, group):
        out = []
        for n in range(16):
            out.append(f'    <Option name="{prefix}{n}" textid="NoText" group="{group}Click" float="true" '
                       f'pos="0,0,150,32" font="2" align="center" textpadding="8,0,8,0" endellipsis="true" '
                       f'textcolor="{c["pill_text"]}" selectedtextcolor="{c["accent"]}" cursor="hand" visible="false"/>')
        for n in range(16):
            out.append(f'    <Option name="{mark_prefix}{n}" textid="NoText" group="{group}Mark" float="true" '
                       f'pos="0,0,10,10" cursor="hand" visible="false"/>')
        return out

    # Exactly the size of the page pictures: the controls' cut images must line up with the background.
    o.append('  <Container name="ver_mousekeysel" float="true" pos="0,0,552,500">')
    o += key_controls("btn_MouseKey_Click", "btn_MouseKey_Mark", "MouseKey")
    o.append('  </Container>')
    o.append('  <Container name="ver_mousehid" float="true" pos="0,0,552,500" visible="false">')
    o += key_controls("btn_MouseKey2_Click", "btn_MouseKey2_Mark", "MouseKey2")
    for n in range(16):
        text = KEY_NAMES[n] if n < len(KEY_NAMES) else f"Button {n + 1}"
        o.append(f'    <Label name="lab_MouseKey2_Name{n}" float="true" pos="0,0,10,10" font="2" align="right" '
                 f'textcolor="{c["muted"]}" text="{text}" visible="false"/>')
    o.append('  </Container>')
    o.append(f'  <Label name="lab_MouseKey_Hint" float="true" pos="16,8,536,32" font="5" align="center" '
             f'textcolor="{c["dim"]}" text="Click a button of the mouse, or its function, to change what it does."/>')
    o.append(f'  <Label name="lab_MouseKey_Wheel" float="true" pos="16,432,144,464" font="7" '
             f'textcolor="{c["text"]}" text="Scroll wheel"/>')
    for name, pos, tip in (("btn_Mouse_Scr_Up", "152,432,192,464", "Wheel up"),
                           ("btn_Mouse_Scr_Dn", "200,432,240,464", "Wheel down")):
        o.append(f'  <CheckBox name="{name}" textid="NoText" float="true" pos="{pos}" cursor="hand" tooltip="{tip}"/>')
    o.append(f'  <Label name="displaytext" textid="NoText" float="true" pos="252,432,536,464" font="2" '
             f'textcolor="{c["accent"]}" endellipsis="true" text=""/>')
    o.append('</Container>')
    return "\n".join(o) + "\n"


def main():
    catalog = json.load(open("res/MouseVarn/Language/LanguageText.json"))["MouseFunctionText"]
    lists = items_by_list(catalog)
    for skin, colours in SKINS.items():
        with open(f"res/{skin}/PopMouseKeySel.xml", "w") as f:
            f.write(popup(colours, lists))
        with open(f"res/{skin}/page_keys.xml", "w") as f:
            f.write(page(colours))
        arrow = colours["muted"][3:]
        with open(f"res/{skin}/common/dropdown.svg", "w") as f:
            f.write('<svg xmlns="http://www.w3.org/2000/svg" width="12" height="12" viewBox="0 0 12 12">\n'
                    f'  <path d="M2 4 L 6 8 L 10 4" fill="none" stroke="#{arrow}" stroke-width="1.6" '
                    'stroke-linecap="round" stroke-linejoin="round"/>\n</svg>\n')
    # The list items' texts, for the language files.
    for cat, items in lists.items():
        for name, label in items:
            print(f"{name}={label}")


if __name__ == "__main__":
    main()
