#!/usr/bin/env python3
"""Line and branch coverage of the copy engine, validation and the XML layer from a gcovr JSON
report, the lines no run reached, and (with --gate) the floor for src/kivo/merge/."""
import json
import pathlib
import sys

PARTS = {
    "copy engine": ["src/kivo/merge/"],
    "validation": ["src/kivo/validation.cpp", "src/kivo/xml_utils/walk.cpp"],
    "XML layer": ["src/kivo/xml_utils/parse.cpp", "src/kivo/xml_utils/write.cpp",
                  "src/kivo/xml_utils/xml_text.cpp", "src/kivo/xml_utils/xml_names.cpp",
                  "src/kivo/xml_utils/child.cpp", "src/kivo/xml_utils/params.cpp",
                  "src/kivo/element.cpp", "src/kivo/number_text.cpp"],
}
LINE_FLOOR, BRANCH_FLOOR = 98.0, 95.0

# Lines no input can reach, by file and text, with the reason. They count as covered.
UNREACHABLE = {
    ("src/kivo/merge/format_decimal.cpp",
     'if (error != std::errc()) return "NaN";  // Unreachable for finite values and this buffer.'):
        "to_chars with a 400-byte buffer cannot fail for a finite double",
    ("src/kivo/merge/apply_copy.cpp",
     "if (!receiving_screen) return std::unexpected(AppError::missing_target_screen());"):
        "the same lookup on the same target succeeded a few lines above",
    ("src/kivo/merge/apply_copy.cpp", "return std::unexpected(AppError::unsupported_copy());"):
        "the harness maps every request to one of the three kinds",
    ("src/kivo/merge/apply_copy.cpp", "switch (request.source.kind) {"):
        "the harness maps every request to one of the three kinds",
    ("src/kivo/merge/apply_copy.cpp", "if (!layers) return nullptr;"):
        "the only caller has checked that the screen has layers",
    ("src/kivo/merge/format_decimal.cpp", "while (!text.empty() && text.back() == '0') text.pop_back();"):
        "to_chars always writes a digit before the point, so the text never runs empty",
    ("src/kivo/merge/format_decimal.cpp", "if (!text.empty() && text.back() == '.') text.pop_back();"):
        "to_chars always writes a digit before the point, so the text never runs empty",
    ("src/kivo/merge/format_decimal.cpp", 'if (text.empty() || text == "-0") return "0";'):
        "to_chars always writes a digit before the point, so the text never runs empty",
    ("src/kivo/merge/remap.cpp", "if (!map) break;"):
        "every identifier of a copy is a key of the map of its kind, so the second map is never "
        "needed for one",
}


def part_of(path):
    for name, prefixes in PARTS.items():
        if any(path == p or (p.endswith("/") and path.startswith(p)) for p in prefixes):
            return name
    return None


def main():
    gate = "--gate" in sys.argv
    args = [a for a in sys.argv[1:] if a != "--gate"]
    report = json.loads(pathlib.Path(args[0]).read_text())
    root = pathlib.Path(args[1])
    totals = {name: [0, 0, 0, 0] for name in PARTS}  # lines hit, lines, branches hit, branches
    missed = {name: [] for name in PARTS}
    for entry in report["files"]:
        path = entry["file"]
        name = part_of(path)
        if name is None:
            continue
        source = (root / path).read_text().splitlines()
        for line in entry["lines"]:
            if line.get("gcovr/noncode"):
                continue
            text = source[line["line_number"] - 1].strip()
            reason = UNREACHABLE.get((path, text))
            hit = line["count"] > 0 or reason is not None
            totals[name][0] += hit
            totals[name][1] += 1
            for branch in line.get("branches", []):
                totals[name][2] += branch["count"] > 0 or reason is not None
                totals[name][3] += 1
            if not hit:
                missed[name].append(f"  {path}:{line['line_number']}: {text}")
    failed = False
    for name, (lines_hit, lines, branches_hit, branches) in totals.items():
        line_pct = 100.0 * lines_hit / lines if lines else 100.0
        branch_pct = 100.0 * branches_hit / branches if branches else 100.0
        print(f"{name}: lines {line_pct:.1f} % ({lines_hit} of {lines}), "
              f"branches {branch_pct:.1f} % ({branches_hit} of {branches})")
        for row in missed[name]:
            print(row)
        if gate and name == "copy engine" and (line_pct < LINE_FLOOR or branch_pct < BRANCH_FLOOR):
            print(f"strict-coverage: the copy engine is below {LINE_FLOOR:.0f} % of its lines or "
                  f"{BRANCH_FLOOR:.0f} % of its branches", file=sys.stderr)
            failed = True
    print("unreachable lines counted as covered:")
    for (path, text), reason in UNREACHABLE.items():
        print(f"  {path}: {text}  ({reason})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
