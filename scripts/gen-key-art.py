#!/usr/bin/env python3
"""Draws the key page art of model MouseA in both skins and writes its two position layouts.

The page is drawn three times (normal, hovered, pressed); every key control cuts its state images
out of these pictures at its own rectangle, so the rectangles below are the single source of both
the pictures and res/MouseVarn/MouseA/Position/mousekey*.json. Run from the project folder; the
outputs are committed.
"""
import json
import os

W, H = 552, 500
PILL_W, PILL_H = 150, 32

SKINS = {
    "res_black": dict(bg="#1B1E24", body0="#2B3039", body1="#1F232A", part="#2B3039", edge="#3A404B",
                      dim="#6B7280", accent="#4C8DFF", hot_fill="#2A2F3A", hot_edge="#6AA0FF",
                      down_fill="#3A74DB", pill="#23272F", pill_edge="#2C313A", pill_hot="#2A2F3A",
                      pill_down="#1E3358", line="#3A404B", text="#F1F3F5", badge="#2C313A"),
    "res_white": dict(bg="#FFFFFF", body0="#E4E8EF", body1="#CDD3DD", part="#E4E8EF", edge="#B8C0CC",
                      dim="#9AA3B2", accent="#2F6FEB", hot_fill="#E9EDF3", hot_edge="#2F6FEB",
                      down_fill="#2358C4", pill="#F3F5F8", pill_edge="#DDE2EA", pill_hot="#E9EDF3",
                      pill_down="#DCE7FC", line="#B8C0CC", text="#1C2230", badge="#E9EDF3"),
}

# Mouse parts, in the home picture's coordinates (shifted per variant): slot -> svg element maker.
def parts(dx, dy):
    def P(d):
        return d
    return {
        0: ("path", f"M{156+dx} {102+dy} C {118+dx} {104+dy} {92+dx} {128+dy} {86+dx} {170+dy} L {84+dx} {228+dy} L {156+dx} {228+dy} Z",
            (82 + dx, 100 + dy, 158 + dx, 230 + dy)),
        1: ("path", f"M{184+dx} {102+dy} C {222+dx} {104+dy} {248+dx} {128+dy} {254+dx} {170+dy} L {256+dx} {228+dy} L {184+dx} {228+dy} Z",
            (182 + dx, 100 + dy, 258 + dx, 230 + dy)),
        2: ("rect", (162 + dx, 130 + dy, 16, 56, 8), (160 + dx, 128 + dy, 180 + dx, 188 + dy)),
        5: ("rect", (163 + dx, 195 + dy, 14, 12, 3), (161 + dx, 193 + dy, 179 + dx, 209 + dy)),
        6: ("rect", (163 + dx, 213 + dy, 14, 12, 3), (161 + dx, 211 + dy, 179 + dx, 227 + dy)),
        7: ("rect", (161 + dx, 234 + dy, 18, 10, 5), (159 + dx, 232 + dy, 181 + dx, 246 + dy)),
        3: ("rect", (73 + dx, 252 + dy, 12, 38, 5), (71 + dx, 250 + dy, 87 + dx, 292 + dy)),
        4: ("rect", (73 + dx, 296 + dy, 12, 38, 5), (71 + dx, 294 + dy, 87 + dx, 336 + dy)),
    }


def part_svg(kind, geo, fill, edge, width):
    if kind == "path":
        return f'<path d="{geo}" fill="{fill}" stroke="{edge}" stroke-width="{width}"/>'
    x, y, w, h, r = geo
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="{fill}" stroke="{edge}" stroke-width="{width}"/>'


def mouse(c, dx, dy, state):
    """The mouse drawing; state 'normal', 'over' or 'down' colours every part."""
    out = []
    out.append(f'<ellipse cx="{170+dx}" cy="{270+dy}" rx="150" ry="190" fill="url(#glow)"/>')
    out.append(f'<path d="M{170+dx} {96+dy} C {232+dx} {96+dy} {262+dx} {140+dy} {264+dx} {210+dy} L {268+dx} {330+dy} '
               f'C {270+dx} {392+dy} {230+dx} {432+dy} {170+dx} {432+dy} C {110+dx} {432+dy} {70+dx} {392+dy} {72+dx} {330+dy} '
               f'L {76+dx} {210+dy} C {78+dx} {140+dy} {108+dx} {96+dy} {170+dx} {96+dy} Z" fill="url(#body)" '
               f'stroke="{c["edge"]}" stroke-width="2"/>')
    out.append(f'<path d="M{96+dx} {300+dy} C {120+dx} {318+dy} {220+dx} {318+dy} {244+dx} {300+dy}" fill="none" '
               f'stroke="{c["edge"]}" stroke-width="1.5" opacity="0.7"/>')
    out.append(f'<path d="M{112+dx} {380+dy} L {170+dx} {404+dy} L {228+dx} {380+dy}" fill="none" stroke="{c["accent"]}" '
               f'stroke-width="3" stroke-linecap="round" opacity="0.9"/>')
    fill, edge = {"normal": (c["part"], c["edge"]), "over": (c["hot_fill"], c["hot_edge"]),
                  "down": (c["down_fill"], c["accent"])}[state]
    for slot, (kind, geo, _) in parts(dx, dy).items():
        out.append(part_svg(kind, geo, fill, edge, 1.5))
    grip = c["dim"] if state == "normal" else (c["hot_edge"] if state == "over" else c["text"])
    out.append(f'<path d="M{166+dx} {146+dy} h8 M{166+dx} {154+dy} h8 M{166+dx} {162+dy} h8 M{166+dx} {170+dy} h8" '
               f'stroke="{grip}" stroke-width="1.5"/>')
    return out


def pill(c, rect, state):
    x0, y0, x1, y1 = rect
    fill, edge = {"normal": (c["pill"], c["pill_edge"]), "over": (c["pill_hot"], c["accent"]),
                  "down": (c["pill_down"], c["accent"])}[state]
    return (f'<rect x="{x0+0.5}" y="{y0+0.5}" width="{x1-x0-1}" height="{y1-y0-1}" rx="8" fill="{fill}" '
            f'stroke="{edge}" stroke-width="1"/>')


def wheel_button(c, rect, up, state):
    x0, y0, x1, y1 = rect
    fill, edge, arrow = {"normal": (c["pill"], c["pill_edge"], c["dim"]),
                         "over": (c["pill_hot"], c["accent"], c["accent"]),
                         "down": (c["pill_down"], c["accent"], c["accent"])}[state]
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    tip = f"M{cx-6} {cy+3} L {cx} {cy-4} L {cx+6} {cy+3}" if up else f"M{cx-6} {cy-3} L {cx} {cy+4} L {cx+6} {cy-3}"
    return (f'<rect x="{x0+0.5}" y="{y0+0.5}" width="{x1-x0-1}" height="{y1-y0-1}" rx="8" fill="{fill}" stroke="{edge}"/>'
            f'<path d="{tip}" fill="none" stroke="{arrow}" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>')


# Variant 1: the picture in the middle, the keys' functions on both sides with leader lines.
V1_DX, V1_DY = 106, -44
LEFT_X, RIGHT_X = 16, 552 - 16 - PILL_W
V1 = {  # slot -> (pill left, pill top, target point on the mouse)
    0: (LEFT_X, 62, (228, 84)),
    3: (LEFT_X, 214, (185, 230)),
    4: (LEFT_X, 258, (185, 274)),
    1: (RIGHT_X, 62, (324, 84)),
    2: (RIGHT_X, 106, (282, 122)),
    5: (RIGHT_X, 150, (281, 157)),
    6: (RIGHT_X, 194, (281, 175)),
    7: (RIGHT_X, 238, (283, 195)),
}
WHEEL = {"btn_Mouse_Scr_Up": (152, 432, 192, 464), "btn_Mouse_Scr_Dn": (200, 432, 240, 464)}

# Variant 2: the picture on the left with numbered parts, a list of the keys on the right.
V2_DX, V2_DY = -30, -44
V2_ROW_X, V2_ROW_TOP, V2_ROW_STEP = 386, 46, 46
V2_ORDER = [0, 1, 2, 3, 4, 5, 6, 7]


def svg(c, body):
    head = (f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" viewBox="0 0 {W} {H}">\n<defs>\n'
            f'<linearGradient id="body" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="{c["body0"]}"/>'
            f'<stop offset="1" stop-color="{c["body1"]}"/></linearGradient>\n'
            f'<radialGradient id="glow" cx="0.5" cy="0.55" r="0.5"><stop offset="0" stop-color="{c["accent"]}" '
            f'stop-opacity="0.16"/><stop offset="1" stop-color="{c["accent"]}" stop-opacity="0"/></radialGradient>\n'
            f'</defs>\n<rect width="{W}" height="{H}" fill="{c["bg"]}"/>\n')
    return head + "\n".join(body) + "\n</svg>\n"


def wheel_row(c, state):
    return [wheel_button(c, r, name.endswith("Up"), state) for name, r in WHEEL.items()]


def variant1(c, state):
    body = mouse(c, V1_DX, V1_DY, state)
    for slot, (x, y, (tx, ty)) in V1.items():
        cy = y + PILL_H / 2
        if x == LEFT_X:
            sx, knee = x + PILL_W, tx - 18
        else:
            sx, knee = x, tx + 18
        body.append(f'<path d="M{sx} {cy} L {knee} {cy} L {tx} {ty}" fill="none" stroke="{c["line"]}" stroke-width="1.2"/>')
        body.append(f'<circle cx="{tx}" cy="{ty}" r="3" fill="{c["accent"]}"/>')
        body.append(pill(c, (x, y, x + PILL_W, y + PILL_H), state))
    body += wheel_row(c, state)
    return svg(c, body)


def variant2(c, state):
    body = mouse(c, V2_DX, V2_DY, state)
    for i, slot in enumerate(V2_ORDER):
        top = V2_ROW_TOP + i * V2_ROW_STEP
        if i:
            body.append(f'<path d="M{V2_ROW_X - 124} {top - 7} H {V2_ROW_X + PILL_W}" stroke="{c["pill_edge"]}" stroke-width="1"/>')
        row = (V2_ROW_X, V2_ROW_TOP + i * V2_ROW_STEP, V2_ROW_X + PILL_W, V2_ROW_TOP + i * V2_ROW_STEP + PILL_H)
        body.append(pill(c, row, state))
    body += wheel_row(c, state)
    return svg(c, body)


def layout(container, picture, entries):
    return {"Containerinfo": {"containname": container, "width": W, "height": H, "bkimage": f"{picture}_normal.svg",
                              "normalimage": f"{picture}_normal.svg", "overimage": f"{picture}_over.svg",
                              "downimage": f"{picture}_down.svg"},
            "Controlinfo": entries}


def main():
    for skin, colours in SKINS.items():
        folder = os.path.join("res", skin, "MouseKey")
        os.makedirs(folder, exist_ok=True)
        for state in ("normal", "over", "down"):
            with open(os.path.join(folder, f"key1_{state}.svg"), "w") as f:
                f.write(variant1(colours, state))
            with open(os.path.join(folder, f"key2_{state}.svg"), "w") as f:
                f.write(variant2(colours, state))

    marks1 = {slot: geo for slot, (_, _, geo) in parts(V1_DX, V1_DY).items()}
    entries1 = []
    for slot in sorted(V1):
        x, y, _ = V1[slot]
        entries1.append({"type": "option", "ctrlname": f"btn_MouseKey_Click{slot}", "visible": "true",
                         "pos": [x, y, x + PILL_W, y + PILL_H]})
        entries1.append({"type": "option", "ctrlname": f"btn_MouseKey_Mark{slot}", "visible": "true",
                         "pos": list(marks1[slot])})
    for name, rect in WHEEL.items():
        entries1.append({"type": "option", "ctrlname": name, "visible": "true", "pos": list(rect)})

    marks2 = {slot: geo for slot, (_, _, geo) in parts(V2_DX, V2_DY).items()}
    entries2 = []
    for i, slot in enumerate(V2_ORDER):
        top = V2_ROW_TOP + i * V2_ROW_STEP
        entries2.append({"type": "option", "ctrlname": f"btn_MouseKey2_Click{slot}", "visible": "true",
                         "pos": [V2_ROW_X, top, V2_ROW_X + PILL_W, top + PILL_H]})
        entries2.append({"type": "option", "ctrlname": f"btn_MouseKey2_Mark{slot}", "visible": "true",
                         "pos": list(marks2[slot])})
        entries2.append({"type": "label", "ctrlname": f"lab_MouseKey2_Name{slot}", "visible": "true",
                         "pos": [V2_ROW_X - 124, top, V2_ROW_X - 6, top + PILL_H]})

    position = os.path.join("res", "MouseVarn", "MouseA", "Position")
    os.makedirs(position, exist_ok=True)
    for name, doc in (("mousekey.json", layout("ver_mousekeysel", "MouseKey/key1", entries1)),
                      ("mousekey2.json", layout("ver_mousehid", "MouseKey/key2", entries2))):
        with open(os.path.join(position, name), "w") as f:
            f.write("{\n")
            f.write('    "Containerinfo": ' + json.dumps(doc["Containerinfo"]) + ",\n")
            f.write('    "Controlinfo": [\n')
            f.write(",\n".join("        " + json.dumps(e) for e in doc["Controlinfo"]))
            f.write("\n    ]\n}\n")


if __name__ == "__main__":
    main()
