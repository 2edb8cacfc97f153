#!/usr/bin/env python3
"""Writes Sample_files/fully_loaded.xml, the bundled template preset.

The output is deterministic (fixed tables plus a fixed-seed generator of our own) and is written in
the library's fixed text form, so that parsing it and writing it back gives the same bytes:
declaration line, two-space indentation, "<a/>" for empty elements, escaped attribute values,
comments as "<!-- text -->", CDATA inline, no line break after the root end tag.

Usage: scripts/make_template.py [output path]
"""

import math
import os
import sys

UNIQUE_ID_RANGE = (100000, 999999)
ID_HASH_RANGE = (3000000000, 3999999999)


class Lcg:
    """64-bit linear congruential generator; fixed seed keeps the file stable."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFFFFFFFFFF

    def next(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) & 0xFFFFFFFFFFFFFFFF
        return self.state >> 33

    def below(self, n):
        return self.next() % n

    def between(self, lo, hi):
        return lo + self.below(hi - lo + 1)


class Ids:
    """Hands out distinct identifiers from the two disjoint ranges."""

    def __init__(self, rng):
        self.rng = rng
        self.used = set()

    def _draw(self, lo, hi):
        while True:
            value = str(self.rng.between(lo, hi))
            if value not in self.used:
                self.used.add(value)
                return value

    def unique_id(self):
        return self._draw(*UNIQUE_ID_RANGE)

    def id_hash(self):
        return self._draw(*ID_HASH_RANGE)


# ---------------------------------------------------------------------------------------------
# Minimal tree and the fixed text form


class El:
    def __init__(self, name, attrs=None, children=None):
        self.name = name
        self.attrs = list(attrs or [])
        self.children = list(children or [])

    def add(self, node):
        self.children.append(node)
        return node


class Comment:
    def __init__(self, text):
        self.text = text


class CData:
    def __init__(self, text):
        assert "]]>" not in text
        self.text = text


def escape_attr(value):
    assert "\n" not in value and "\r" not in value
    return (
        value.replace("&", "&amp;")
        .replace("<", "&lt;")
        .replace(">", "&gt;")
        .replace('"', "&quot;")
        .replace("'", "&apos;")
    )


def write_element(el, depth, out):
    pad = "  " * depth
    attrs = "".join(f' {k}="{escape_attr(v)}"' for k, v in el.attrs)
    if not el.children:
        out.append(f"{pad}<{el.name}{attrs}/>")
        return
    if len(el.children) == 1 and isinstance(el.children[0], CData):
        out.append(f"{pad}<{el.name}{attrs}><![CDATA[{el.children[0].text}]]></{el.name}>")
        return
    out.append(f"{pad}<{el.name}{attrs}>")
    for child in el.children:
        assert not isinstance(child, CData), "CDATA only as the sole child of an element"
        if isinstance(child, Comment):
            assert child.text == child.text.strip() and "--" not in child.text
            out.append(f"{pad}  <!-- {child.text} -->")
        else:
            write_element(child, depth + 1, out)
    out.append(f"{pad}</{el.name}>")


def to_text(root):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>']
    write_element(root, 0, lines)
    return "\n".join(lines)


# ---------------------------------------------------------------------------------------------
# Numbers and parameter helpers


def num(value):
    """Plain decimal text: no exponent, no trailing zeros ("1920", "960.5")."""
    assert value >= 0
    text = f"{value:.3f}".rstrip("0").rstrip(".")
    return text if text else "0"


def param(name, value, kind=None, default=None, lo=None, hi=None):
    attrs = [("name", name)]
    if kind is not None:
        attrs.append(("T", kind))
    if default is not None:
        attrs.append(("default", default))
    attrs.append(("value", value))
    el = El("Param", attrs)
    if lo is not None:
        el.add(El("ValueRange", [("min", lo), ("max", hi)]))
    return el


def group(name, params):
    return El("Params", [("name", name)], params)


def rect_points(x, y, w, h):
    return [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]


def rect_el(tag, points, orientation="0"):
    el = El(tag, [("orientation", orientation)])
    for px, py in points:
        el.add(El("v", [("x", num(px)), ("y", num(py))]))
    return el


# ---------------------------------------------------------------------------------------------
# Layers

# Input aspect kinds (width, height); the bulk sits near 16:9 so most pairs stay compatible.
ASPECTS = {
    "16:9": (16, 9),
    "16:10": (16, 10),
    "3:2": (3, 2),
    "4:3": (4, 3),
    "1:1": (1, 1),
    "2.35:1": (2.35, 1),
    "9:16": (9, 16),
    "5:4": (5, 4),
}

BLEND_MODES = ["Alpha", "Add", "Multiply", "Screen", "Lighten"]


def common_group(name, enabled, opacity, blend):
    return group(
        "Common",
        [
            param("Name", name),
            param("Enabled", enabled),
            param("Opacity", num(opacity), "DOUBLE", "1", "0", "1"),
            param("BlendMode", blend, "STRING", "Alpha"),
            param("Bypass", "0", "BOOL", "0"),
            param("Solo", "0", "BOOL", "0"),
        ],
    )


def colour_group(rng):
    gains = [0.9 + rng.below(21) / 100 for _ in range(3)]
    return group(
        "Colour",
        [
            param("Brightness", num(rng.below(11) / 100), "DOUBLE", "0"),
            param("Contrast", num(0.95 + rng.below(11) / 100), "DOUBLE", "1"),
            param("Red", num(gains[0]), "DOUBLE", "1"),
            param("Green", num(gains[1]), "DOUBLE", "1"),
            param("Blue", num(gains[2]), "DOUBLE", "1"),
            param("Tint", "#FFFFFFFF", "COLOR", "#FFFFFFFF"),
        ],
    )


def softedge_group(rng, enabled):
    sides = [num(rng.below(4) * 40) if enabled else "0" for _ in range(4)]
    return group(
        "SoftEdge",
        [
            param("Enabled", "1" if enabled else "0"),
            param("Left", sides[0], "DOUBLE", "0"),
            param("Right", sides[1], "DOUBLE", "0"),
            param("Top", sides[2], "DOUBLE", "0"),
            param("Bottom", sides[3], "DOUBLE", "0"),
            param("Gamma", num(1.8 + rng.below(5) / 10), "DOUBLE", "2.2", "0.5", "4"),
            param("Power", "0.5", "DOUBLE", "0.5"),
        ],
    )


def transform_group(rng):
    return group(
        "Transform",
        [
            param("Rotation", num(rng.below(4) * 90 if rng.below(5) == 0 else 0), "DOUBLE", "0"),
            param("FlipHorizontal", "0", "BOOL", "0"),
            param("FlipVertical", "0", "BOOL", "0"),
            param("Keystone", "0", "BOOL", "0"),
        ],
    )


def warper(rng, x, y, w, h):
    """A 3x3 bezier warp grid over the output rectangle, lightly bent."""
    el = El("Warper", [("type", "bezier"), ("columns", "3"), ("rows", "3")])
    grid = El("vertices")
    for row in range(3):
        for col in range(3):
            px = x + w * col / 2 + rng.below(9)
            py = y + h * row / 2 + rng.below(9)
            grid.add(El("v", [("x", num(px)), ("y", num(py))]))
    el.add(grid)
    return el


def slice_mask_points(rng, x, y, w, h, count):
    """A convex-ish polygon strictly inside the rectangle (x, y, w, h)."""
    cx, cy = x + w / 2, y + h / 2
    # Points on an ellipse walked clockwise from the top-left quadrant, kept inside by a margin.
    points = []
    for i in range(count):
        angle = math.pi * (1.25 + 2 * i / count)
        scale = 0.70 + rng.below(21) / 100
        px = cx + math.cos(angle) * w / 2 * scale
        py = cy + math.sin(angle) * h / 2 * scale
        px = round(px * 2) / 2
        py = round(py * 2) / 2
        assert x < px < x + w and y < py < y + h
        points.append((px, py))
    return points


def make_slice(ids, rng, spec):
    name, aspect, size, origin, out_origin, mask_kind = spec
    aw, ah = ASPECTS[aspect]
    w = size
    h = round(size * ah / aw * 2) / 2
    x, y = origin
    ox, oy = out_origin
    el = El("Slice", [("uniqueId", ids.unique_id())])
    el.add(common_group(name, "1" if rng.below(8) else "0", 1, BLEND_MODES[rng.below(2)]))
    el.add(
        group(
            "Input",
            [
                param("Source", "Composition", "STRING", "Composition"),
                param("Interpolation", "Linear", "STRING", "Linear"),
            ],
        )
    )
    el.add(colour_group(rng))
    el.add(softedge_group(rng, rng.below(3) == 0))
    el.add(transform_group(rng))
    el.add(rect_el("InputRect", rect_points(x, y, w, h)))
    ox, oy = ox + rng.below(17), oy + rng.below(17)
    el.add(rect_el("OutputRect", rect_points(ox, oy, w, h)))
    if rng.below(3) == 0:
        el.add(warper(rng, ox, oy, w, h))
    if mask_kind:
        mask = El("SliceMask")
        if mask_kind in ("full", "uid"):
            mask.attrs.append(("uniqueId", ids.unique_id()))
        if mask_kind == "full":
            mask.attrs.append(("idHash", ids.id_hash()))
        mask.attrs += [("inverted", "0"), ("feather", num(rng.below(9) / 2))]
        shape = El("Rect", [("closed", "1")])
        for px, py in slice_mask_points(rng, x, y, w, h, 4 + rng.below(5)):
            shape.add(El("v", [("x", num(px)), ("y", num(py))]))
        mask.add(shape)
        el.add(mask)
    return el, (w, h)


def make_mask(ids, rng, name, x, y, w, h, mode):
    el = El("Mask", [("uniqueId", ids.unique_id())])
    el.add(common_group(name, "1", 1, "Alpha"))
    el.add(
        group(
            "Mask",
            [
                param("Mode", mode, "STRING", "Subtract"),
                param("Invert", "0", "BOOL", "0"),
                param("Feather", num(rng.below(20)), "DOUBLE", "0", "0", "100"),
            ],
        )
    )
    el.add(rect_el("InputRect", rect_points(x, y, w, h)))
    el.add(rect_el("OutputRect", rect_points(x, y, w, h)))
    contour = El("Contour", [("closed", "1")])
    for px, py in slice_mask_points(rng, x, y, w, h, 6):
        contour.add(El("v", [("x", num(px)), ("y", num(py))]))
    el.add(contour)
    return el


# ---------------------------------------------------------------------------------------------
# Screens

# Slice table per screen: (name, aspect, width, input origin, output origin, mask kind).
# Mask kinds: "full" (uniqueId and idHash), "uid" (uniqueId only), "bare" (no identifiers), None.
SCREENS = [
    {
        "name": "Main Wall",
        "size": (3840, 2160),
        "device": "virtual",
        "slices": [
            ("Left Panel", "16:9", 960, (0, 0), (0, 0), "full"),
            ("Centre", "16:9", 960, (960, 0), (960, 0), None),
            ("Centre (Copy)", "16:9", 960, (1920, 0), (1920, 0), "uid"),
            ("Right Panel", "16:9", 960, (2880, 0), (2880, 0), None),
            ("Lower Left", "16:10", 800, (0, 540), (0, 540), None),
            ("Lower Centre", "3:2", 900.5, (960, 540), (960, 540), "full"),
            ("Lower Right", "16:10", 800, (2880, 540), (2880, 540), None),
            ("Header Band", "2.35:1", 1880, (960, 1080), (960, 1080), "bare"),
            ("Portrait Totem", "9:16", 405, (0, 1200), (0, 1200), None),
            ("Logo Plate", "1:1", 400, (3000, 1300), (3000, 1300), "full"),
            ("Ticker", "16:9", 640, (1500, 1500), (1500, 1500), None),
        ],
        "masks": [
            ("Edge Trim", 0, 0, 320, 180, "Subtract"),
            ("Vignette", 960, 270, 1920, 1080, "Multiply"),
            ("Exit Sign Cutout", 3500, 1800, 200, 150, "Subtract"),
        ],
    },
    {
        "name": "Stage Left",
        "size": (1920, 1080),
        "device": "virtual",
        "slices": [
            ("Wing Upper", "16:9", 800, (0, 0), (0, 0), "full"),
            ("Wing Lower", "16:9", 800, (0, 450), (0, 450), None),
            ("Proscenium", "4:3", 640, (800, 0), (800, 0), "uid"),
            ("Side Fill", "16:10", 480, (800, 480), (800, 480), None),
            ("Column A", "9:16", 270, (1440, 0), (1440, 0), None),
            ("Floor Strip", "2.35:1", 940, (0, 900), (0, 900), None),
            ("Centre", "3:2", 450, (1300, 600), (1300, 600), None),
        ],
        "masks": [
            ("Edge Trim", 0, 0, 240, 135, "Subtract"),
            ("Truss Shadow", 400, 100, 900, 200.5, "Subtract"),
        ],
    },
    {
        "name": "Stage Right",
        "size": (1920, 1080),
        "device": "virtual",
        "slices": [
            ("Wing Upper", "16:9", 800, (1120, 0), (1120, 0), None),
            ("Wing Lower", "16:9", 800, (1120, 450), (1120, 450), "full"),
            ("Proscenium", "4:3", 640, (480, 0), (480, 0), None),
            ("Side Fill", "16:10", 480, (640, 480), (640, 480), "bare"),
            ("Column B", "9:16", 270, (210, 0), (210, 0), None),
            ("Monitor Wedge", "5:4", 300, (0, 700), (0, 700), None),
            ("Backline", "16:9", 560, (400, 765), (400, 765), None),
        ],
        "masks": [
            ("Edge Trim", 1680, 0, 240, 135, "Subtract"),
            ("Speaker Stack", 0, 300, 180, 400, "Subtract"),
        ],
    },
    {
        "name": "Ceiling Ring",
        "size": (2560, 1440),
        "device": "virtual",
        "slices": [
            ("Ring North", "16:9", 1280, (0, 0), (0, 0), "uid"),
            ("Ring East", "16:10", 1120, (1280, 0), (1280, 0), None),
            ("Ring South", "16:9", 1280, (0, 720), (0, 720), None),
            ("Ring West", "3:2", 1050, (1280, 720), (1280, 720), "full"),
            ("Oculus", "1:1", 500, (1030, 470), (1030, 470), None),
            ("Cornice", "2.35:1", 1175, (640, 1100), (640, 1100), None),
        ],
        "masks": [
            ("Oculus Ring", 980, 420, 600, 600, "Subtract"),
            ("Beam Gap", 1200, 0, 160, 1440, "Subtract"),
        ],
    },
    {
        "name": "Foyer & Bar",
        "size": (1920, 1200),
        "device": "virtual",
        "slices": [
            ("Bar Back 'Neon'", "16:10", 960, (0, 0), (0, 0), "full"),
            ("Menu Board", "9:16", 360, (960, 0), (960, 0), None),
            ("Welcome Screen", "16:9", 800, (1120, 0), (1120, 0), None),
            ("Coat Check", "4:3", 400, (1320, 600), (1320, 600), "bare"),
            ("Pillar Wrap", "9:16", 300, (300, 650), (300, 650), None),
            ("Window Film", "16:9", 640, (1280, 850), (1280, 850), None),
            ("Stair Riser", "2.35:1", 940, (0, 600), (0, 600), None),
        ],
        "masks": [("Door Frame", 1500, 400, 300, 700, "Subtract")],
    },
    {
        "name": "LED Strip Run",
        "size": (1024, 256),
        "device": "dmx",
        "slices": [
            ("Strip A", "16:9", 400, (0, 0), (0, 0), None),
            ("Strip B", "16:10", 400, (412, 0), (412, 0), "uid"),
            ("Strip C", "3:2", 300, (0, 240), (0, 240), None),
            ("Strip D", "16:9", 320, (500, 260), (500, 260), None),
        ],
        "masks": [],
    },
]

DMX_SCREEN = {
    "name": "Truss Fixtures",
    "slices": [
        ("Fixture Bank 1", "16:9", 320, (0, 0), (0, 0), None),
        ("Fixture Bank 2", "4:3", 240, (400, 0), (400, 0), "full"),
        ("Fixture Bank 3", "16:10", 320, (0, 300), (0, 300), None),
    ],
}


def screen_params(name, width, height, rng):
    return group(
        "Params",
        [
            param("Name", name),
            param("Enabled", "1"),
            param("Hidden", "0", "BOOL", "0"),
            param("Width", str(width), "INT", "1920"),
            param("Height", str(height), "INT", "1080"),
            param("Opacity", "1", "DOUBLE", "1", "0", "1"),
            param("Brightness", num(0.9 + rng.below(11) / 100), "DOUBLE", "1", "0", "1"),
        ],
    )


def screen_output_group(width, height):
    return group(
        "Output",
        [
            param("BackgroundColor", "#000000FF", "COLOR", "#000000FF"),
            param("ResolutionX", str(width), "INT", "1920"),
            param("ResolutionY", str(height), "INT", "1080"),
            param("FrameRate", "60", "DOUBLE", "60"),
            param("TestPattern", "0", "BOOL", "0"),
        ],
    )


def guides(width, height):
    el = El("Guides", [("visible", "1"), ("snap", "1")])
    el.add(El("Guide", [("axis", "x"), ("position", num(width / 2))]))
    el.add(El("Guide", [("axis", "y"), ("position", num(height / 2))]))
    el.add(El("Guide", [("axis", "x"), ("position", num(width / 4))]))
    return el


def virtual_device(ids, name, width, height):
    dev = El(
        "OutputDeviceVirtual",
        [
            ("deviceId", "Virtual" + name),
            ("name", name),
            ("idHash", ids.id_hash()),
            ("width", str(width)),
            ("height", str(height)),
        ],
    )
    dev.add(
        group(
            "Params",
            [
                param("Enabled", "1"),
                param("VSync", "1", "BOOL", "1"),
                param("ColorSpace", "sRGB", "STRING", "sRGB"),
            ],
        )
    )
    return dev


def dmx_device(ids, name, universe, fixtures):
    dev = El(
        "OutputDeviceDmx",
        [
            ("deviceId", "Dmx" + name),
            ("name", name),
            ("idHash", ids.id_hash()),
            ("protocol", "Net"),
            ("universe", str(universe)),
            ("subnet", "0"),
            ("address", "10.7.0.21"),
        ],
    )
    lights = El("Fixtures")
    for index in range(fixtures):
        lights.add(
            El(
                "Fixture",
                [
                    ("channel", str(1 + index * 3)),
                    ("mode", "RGB"),
                    ("label", f"Pixel {index + 1}"),
                ],
            )
        )
    dev.add(lights)
    return dev


def make_layers(ids, rng, slices, masks, comment=None):
    layers = El("layers")
    if comment:
        layers.add(Comment(comment))
    sizes = []
    for spec in slices:
        el, wh = make_slice(ids, rng, spec)
        layers.add(el)
        sizes.append(wh)
    for name, x, y, w, h, mode in masks:
        layers.add(make_mask(ids, rng, name, x, y, w, h, mode))
    return layers, sizes


def make_screen(ids, rng, spec, index):
    width, height = spec["size"]
    screen = El("Screen", [("uniqueId", ids.unique_id()), ("name", spec["name"])])
    screen.add(screen_params(spec["name"], width, height, rng))
    screen.add(screen_output_group(width, height))
    screen.add(guides(width, height))
    comment = "Masks follow the slices they trim" if index == 0 else None
    layers, sizes = make_layers(ids, rng, spec["slices"], spec["masks"], comment)
    screen.add(layers)
    out = screen.add(El("OutputDevice"))
    if spec["device"] == "virtual":
        out.add(virtual_device(ids, spec["name"], width, height))
    else:
        out.add(dmx_device(ids, spec["name"], 4, 12))
    return screen, sizes


def make_dmx_screen(ids, rng):
    name = DMX_SCREEN["name"]
    screen = El("DmxScreen", [("uniqueId", ids.unique_id()), ("name", name)])
    screen.add(
        group(
            "Params",
            [
                param("Name", name),
                param("Enabled", "1"),
                param("Universe", "2", "INT", "1"),
                param("StartChannel", "1", "INT", "1"),
                param("RefreshRate", "44", "INT", "44"),
            ],
        )
    )
    screen.add(
        group(
            "Dmx",
            [
                param("Protocol", "Net", "STRING", "Net"),
                param("Broadcast", "0", "BOOL", "0"),
                param("Sampling", "Average", "STRING", "Centre"),
            ],
        )
    )
    layers, sizes = make_layers(ids, rng, DMX_SCREEN["slices"], [])
    screen.add(layers)
    out = screen.add(El("OutputDevice"))
    out.add(dmx_device(ids, name, 2, 24))
    return screen, sizes


NOTES = (
    "Template preset for the stress harness & copy tests. "
    "Layer names are unique per screen <and tag>; identifiers are numeric and distinct."
)


def build():
    rng = Lcg(0x5EED2024)
    ids = Ids(Lcg(0x1D5EED))
    root = El(
        "XmlState",
        [("name", "fully_loaded"), ("version", "7.2.1"), ("build", "418"), ("format", "2")],
    )
    root.add(Comment("Output mapping preset: six screens and one fixture screen"))
    setup = root.add(El("ScreenSetup", [("name", "ScreenSetup")]))
    screens = setup.add(El("screens"))
    slice_sizes = []
    for index, spec in enumerate(SCREENS):
        if index == 4:
            screens.add(Comment("Front-of-house displays"))
        screen, sizes = make_screen(ids, rng, spec, index)
        screens.add(screen)
        slice_sizes += sizes
    dmx, sizes = make_dmx_screen(ids, rng)
    screens.add(dmx)
    slice_sizes += sizes
    setup.add(
        group(
            "ScreenSetup",
            [
                param("CompositionWidth", "3840", "INT", "1920"),
                param("CompositionHeight", "2160", "INT", "1080"),
                param("SnapToGuides", "1", "BOOL", "1"),
                param("ShowOutlines", "0", "BOOL", "0"),
            ],
        )
    )
    soft = setup.add(El("SoftEdgeSetup", [("gamma", "2.2"), ("curve", "smoothstep")]))
    soft.add(El("Luminance", [("r", "1"), ("g", "1"), ("b", "1")]))
    root.add(El("Notes", [("author", "kivo")], [CData(NOTES)]))
    return root, ids


# ---------------------------------------------------------------------------------------------
# Self-checks on the built tree


def walk(el):
    yield el
    for child in el.children:
        if isinstance(child, El):
            yield from walk(child)


def check(root, ids):
    identifiers = set()
    others = []
    for el in walk(root):
        for key, value in el.attrs:
            if key in ("uniqueId", "idHash"):
                assert value not in identifiers, f"duplicate identifier {value}"
                identifiers.add(value)
                lo, hi = UNIQUE_ID_RANGE if key == "uniqueId" else ID_HASH_RANGE
                assert value.isdigit() and lo <= int(value) <= hi, (key, value)
            else:
                others.append((el.name, key, value))
    assert identifiers == ids.used
    for name, key, value in others:
        assert value not in identifiers, f"{name}@{key}={value} equals an identifier"
        # No attribute value may even read as a number in the identifier ranges.
        digits = value.lstrip("+")
        if digits.isdigit():
            n = int(digits)
            assert not (UNIQUE_ID_RANGE[0] <= n <= UNIQUE_ID_RANGE[1]), (name, key, value)
            assert not (ID_HASH_RANGE[0] <= n <= ID_HASH_RANGE[1]), (name, key, value)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "Sample_files", "fully_loaded.xml")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    root, ids = build()
    check(root, ids)
    text = to_text(root)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    print(f"wrote {path}: {len(text.encode('utf-8'))} bytes")


if __name__ == "__main__":
    main()
