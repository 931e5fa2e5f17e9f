"""Checks a treemap SVG against the rules of the picture, reading only the SVG itself: areas
proportional to sizes, children inside their parent, siblings apart, labels inside their box,
the folded node neutral, the legend naming the root and its total."""

from __future__ import annotations

import re
import xml.etree.ElementTree as ET
from dataclasses import dataclass

SVG = "{http://www.w3.org/2000/svg}"
CHAR_EM = 0.62  # monospace advance is 0.6 em; a little more to stay on the safe side
DESCENT_EM = 0.25
AREA_TOLERANCE = 0.01
# Coordinates are written with three decimals: a box's area may be off by its half perimeter
# times 0.0005 on each side from rounding alone.
ROUNDING = 0.0005


@dataclass
class Box:
    x: float
    y: float
    w: float
    h: float

    def inside(self, other: "Box", slack: float = 0.002) -> bool:
        return (self.x >= other.x - slack and self.y >= other.y - slack
                and self.x + self.w <= other.x + other.w + slack
                and self.y + self.h <= other.y + other.h + slack)

    def overlap(self, other: "Box") -> float:
        dx = min(self.x + self.w, other.x + other.w) - max(self.x, other.x)
        dy = min(self.y + self.h, other.y + other.h) - max(self.y, other.y)
        return max(dx, 0.0) * max(dy, 0.0)


def _box(el) -> Box:
    return Box(*(float(el.get(k)) for k in ("x", "y", "width", "height")))


def _nodes(group):
    return [g for g in group.findall(f"{SVG}g") if "node" in g.get("class", "").split()]


def check_treemap(svg_text: str) -> dict:
    """Asserts every rule; returns counts (nodes, labels, others) and the legend text."""
    root = ET.fromstring(svg_text)
    tops = _nodes(root)
    assert len(tops) == 1, "the picture has exactly one root node"
    counts = {"nodes": 0, "labels": 0, "others": 0}

    def visit(group) -> None:
        counts["nodes"] += 1
        rect = _box(group.find(f"{SVG}rect"))
        size = int(group.get("data-size"))
        label = group.find(f"{SVG}text")
        if label is not None:
            counts["labels"] += 1
            fs = float(label.get("font-size"))
            x, y = float(label.get("x")), float(label.get("y"))
            width = len(label.text or "") * fs * CHAR_EM
            text_box = Box(x, y - fs, width, fs * (1 + DESCENT_EM))
            assert text_box.inside(rect), f"label {label.text!r} {text_box} outside {rect}"
        if "other" in group.get("class", "").split():
            counts["others"] += 1
            assert group.get("data-name") == "…"
            fill = group.find(f"{SVG}rect").get("fill", "")
            m = re.fullmatch(r"#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})", fill)
            assert m and len(set(m.groups())) == 1, f"folded node not neutral grey: {fill}"
        children = _nodes(group)
        if not children:
            return
        content = Box(*map(float, group.get("data-content").split()))
        assert content.inside(rect), f"content box {content} outside {rect}"
        boxes = [_box(c.find(f"{SVG}rect")) for c in children]
        for child, box in zip(children, boxes):
            assert box.inside(content), f"{child.get('data-name')} {box} outside {content}"
            share = int(child.get("data-size")) / size * content.w * content.h
            slack = AREA_TOLERANCE * share + ROUNDING * (box.w + box.h) * 2
            assert abs(box.w * box.h - share) <= slack, \
                f"{child.get('data-name')}: area {box.w * box.h:.3f}, share {share:.3f}"
        for i in range(len(boxes)):
            for j in range(i + 1, len(boxes)):
                assert boxes[i].overlap(boxes[j]) <= 1e-6, \
                    f"{children[i].get('data-name')} overlaps {children[j].get('data-name')}"
        for child in children:
            visit(child)

    visit(tops[0])
    legend = root.find(f"{SVG}g[@class='legend']")
    assert legend is not None, "no legend"
    counts["legend"] = " ".join(t.text or "" for t in legend.iter(f"{SVG}text"))
    return counts
