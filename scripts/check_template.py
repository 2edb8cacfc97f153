#!/usr/bin/env python3
"""Checks Sample_files/fully_loaded.xml against what the harness and the copy engine rely on.

Reads the file independently of the generator. Exits non-zero on the first broken rule and prints
a short summary otherwise.

Usage: scripts/check_template.py [path]
"""

import itertools
import os
import re
import sys
import xml.etree.ElementTree as ET

UNIQUE_ID_RANGE = (100000, 999999)
ID_HASH_RANGE = (3000000000, 3999999999)
ASPECT_LIMIT = 1.35
PLAIN_DECIMAL = re.compile(r"^[0-9]+(\.[0-9]+)?$")


def fail(message):
    print("check failed: " + message)
    sys.exit(1)


def require(condition, message):
    if not condition:
        fail(message)


def elements(el):
    return [c for c in el if isinstance(c.tag, str)]


def first(el, name):
    return next((c for c in elements(el) if c.tag == name), None)


def group(el, name):
    return next((c for c in elements(el) if c.tag == "Params" and c.get("name") == name), None)


def param(grp, name):
    return next((p.get("value") for p in grp if p.tag == "Param" and p.get("name") == name), None)


def points(el):
    pts = []
    for v in elements(el):
        if v.tag != "v":
            continue
        require(v.get("x") is not None and v.get("y") is not None, "point without x or y")
        pts.append((float(v.get("x")), float(v.get("y"))))
    return pts


def check_rect(layer, tag, where):
    rect = first(layer, tag)
    require(rect is not None, f"{where}: no {tag}")
    pts = points(rect)
    require(len(pts) == 4 and len(elements(rect)) == 4, f"{where}: {tag} needs exactly 4 v")
    xs, ys = sorted({p[0] for p in pts}), sorted({p[1] for p in pts})
    require(len(xs) == 2 and len(ys) == 2, f"{where}: {tag} is not an axis-aligned rectangle")
    w, h = xs[1] - xs[0], ys[1] - ys[0]
    require(w >= 50 and h >= 50, f"{where}: {tag} smaller than 50 ({w} x {h})")
    return xs[0], ys[0], w, h


def check_layer(layer, where):
    require(layer.get("uniqueId") is not None, f"{where}: layer without uniqueId")
    common = group(layer, "Common")
    require(common is not None, f"{where}: no Common group")
    name = param(common, "Name")
    require(name is not None and param(common, "Enabled") is not None, f"{where}: Name/Enabled")
    bounds = check_rect(layer, "InputRect", where)
    check_rect(layer, "OutputRect", where)
    return name, bounds


def check_slice_mask(mask, bounds, where):
    rect = first(mask, "Rect")
    require(rect is not None, f"{where}: SliceMask without Rect")
    pts = points(rect)
    require(len(pts) >= 4, f"{where}: SliceMask Rect with fewer than 4 points")
    x, y, w, h = bounds
    for px, py in pts:
        require(x < px < x + w and y < py < y + h, f"{where}: mask point outside the input rect")


def check_screen(screen, stats):
    where = screen.tag + " " + str(screen.get("name"))
    uid, name = screen.get("uniqueId"), screen.get("name")
    require(uid is not None and len(uid) >= 6 and name, f"{where}: uniqueId/name")
    params = group(screen, "Params")
    require(params is not None, f"{where}: no Params group")
    require(param(params, "Name") == name, f"{where}: Params Name differs from the name attribute")
    require(param(params, "Enabled") == "1", f"{where}: Params Enabled is not 1")
    layers = first(screen, "layers")
    require(layers is not None, f"{where}: no layers")
    names = set()
    for layer in elements(layers):
        require(layer.tag in ("Slice", "Mask"), f"{where}: unexpected layer {layer.tag}")
        lname, bounds = check_layer(layer, f"{where}/{layer.tag}")
        key = (layer.tag, lname)
        require(key not in names, f"{where}: layer name {key} repeated")
        names.add(key)
        stats[layer.tag] += 1
        if layer.tag == "Slice":
            x, y, w, h = bounds
            mask = first(layer, "SliceMask")
            if mask is not None:
                check_slice_mask(mask, bounds, f"{where}/{lname}")
                stats["SliceMask"] += 1
            stats["aspects"].append((w / h, mask is not None, screen.tag == "Screen"))
    device = first(screen, "OutputDevice")
    require(device is not None and elements(device), f"{where}: no OutputDevice")
    for dev in elements(device):
        require(dev.tag in ("OutputDeviceVirtual", "OutputDeviceDmx"), f"{where}: {dev.tag}")
        require(dev.get("deviceId") is not None, f"{where}: device without deviceId")
        if dev.tag == "OutputDeviceVirtual":
            require(dev.get("name") and dev.get("idHash"), f"{where}: virtual device name/idHash")
        stats[dev.tag] += 1


def check_identifiers(root):
    ids, others = {}, []
    for el in root.iter():
        if not isinstance(el.tag, str):
            continue
        for key, value in el.attrib.items():
            if key in ("uniqueId", "idHash"):
                require(value not in ids, f"identifier {value} used twice")
                lo, hi = UNIQUE_ID_RANGE if key == "uniqueId" else ID_HASH_RANGE
                require(value.isdigit() and lo <= int(value) <= hi, f"{key}={value} out of range")
                ids[value] = key
            else:
                others.append((el.tag, key, value))
            if el.tag == "v" and key in ("x", "y"):
                require(PLAIN_DECIMAL.match(value) is not None, f"coordinate {value} not plain")
    for tag, key, value in others:
        require(value not in ids, f"{tag}@{key}={value} equals an identifier")
    return ids


def check_text_form(raw):
    text = raw.decode("utf-8")
    require(text.startswith('<?xml version="1.0" encoding="UTF-8"?>\n<XmlState'), "declaration")
    require(text.endswith("</XmlState>"), "text after the root end tag")
    require(" />" not in text and "\t" not in text and "\r" not in text, "self-closing form")
    require(text.count("<![CDATA[") == 1, "exactly one CDATA section expected")
    comments = re.findall(r"<!--(.*?)-->", text)
    require(len(comments) >= 2, "a few comments expected")
    require(all(c.startswith(" ") and c.endswith(" ") for c in comments), "comment padding")
    for line in text.split("\n")[1:]:
        indent = len(line) - len(line.lstrip(" "))
        require(indent % 2 == 0 and line.strip().startswith("<"), f"line form: {line!r}")
    return len(comments)


def aspect_pairs(aspects):
    def far(a, b):
        return max(a, b) / min(a, b) > ASPECT_LIMIT

    all_pairs = list(itertools.combinations([a for a, _, _ in aspects], 2))
    far_all = sum(far(a, b) for a, b in all_pairs)
    # The planner pairs a masked source slice of a Screen with any target slice of a Screen.
    planner = [a for a in aspects if a[2]]
    sources = [a for a, masked, _ in planner if masked]
    directed = [(s, t) for s in sources for t in (a for a, _, _ in planner)]
    far_directed = sum(far(s, t) for s, t in directed)
    return len(all_pairs), far_all, len(directed), far_directed


def check_round_trip(raw):
    """Re-reads the file with comments kept and writes it back in the fixed text form."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import make_template as form

    def convert(el):
        node = form.El(el.tag, list(el.attrib.items()))
        if el.text and el.text.strip():
            node.add(form.CData(el.text))
        for child in el:
            if child.tag is ET.Comment:
                node.add(form.Comment(child.text.strip()))
            else:
                node.add(convert(child))
        return node

    parser = ET.XMLParser(target=ET.TreeBuilder(insert_comments=True))
    parser.feed(raw)
    root = parser.close()
    require(form.to_text(convert(root)).encode("utf-8") == raw, "text form does not round-trip")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "Sample_files", "fully_loaded.xml")
    raw = open(path, "rb").read()
    require(60 * 1024 <= len(raw) <= 200 * 1024, f"size {len(raw)} outside 60 to 200 KB")
    comments = check_text_form(raw)
    check_round_trip(raw)
    root = ET.fromstring(raw)
    require(root.tag == "XmlState", "root is not XmlState")
    setup = elements(root)[0]
    require(setup.tag == "ScreenSetup", "ScreenSetup is not the first child of the root")
    screens = elements(setup)[0]
    require(screens.tag == "screens", "screens is not the first child of ScreenSetup")
    stats = {k: 0 for k in ("Slice", "Mask", "SliceMask", "OutputDeviceVirtual", "OutputDeviceDmx")}
    stats["aspects"] = []
    kinds = [s.tag for s in elements(screens)]
    require(kinds.count("Screen") >= 4 and kinds.count("DmxScreen") >= 1, f"screens: {kinds}")
    screen_names = set()
    for screen in elements(screens):
        check_screen(screen, stats)
        require(screen.get("name") not in screen_names, "screen name repeated")
        screen_names.add(screen.get("name"))
    require(stats["Slice"] + stats["Mask"] >= 40, "fewer than 40 layers")
    require(stats["Slice"] > 2 * stats["Mask"] and stats["Mask"] >= 4, "slice/mask mix")
    share = stats["SliceMask"] / stats["Slice"]
    require(0.25 <= share <= 0.42, f"masked slice share {share:.2f}")
    ids = check_identifiers(root)
    pairs, far, directed, far_directed = aspect_pairs(stats["aspects"])
    require(0 < far < pairs / 2, f"aspect spread: {far} of {pairs} pairs beyond {ASPECT_LIMIT}")
    uids = sum(1 for k in ids.values() if k == "uniqueId")
    print(f"{path}: {len(raw)} bytes")
    print(f"screens {kinds.count('Screen')} + dmx screens {kinds.count('DmxScreen')}, "
          f"slices {stats['Slice']}, masks {stats['Mask']}, slice masks {stats['SliceMask']}")
    print(f"devices: virtual {stats['OutputDeviceVirtual']}, dmx {stats['OutputDeviceDmx']}; "
          f"comments {comments}, CDATA 1")
    print(f"identifiers: {uids} uniqueId, {len(ids) - uids} idHash, all distinct, no collisions")
    print(f"aspect: {far} of {pairs} slice pairs differ by more than {ASPECT_LIMIT}; "
          f"masked-source x target (Screens only): {far_directed} of {directed}")


if __name__ == "__main__":
    main()
