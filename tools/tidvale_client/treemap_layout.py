"""Squarified treemap layout of an "analyzeDisk" size tree: pure geometry, no drawing.

Each node's box is split among its children so that every child's area is its share of the
parent's size; rows are filled along the shorter side of the space left, and a child joins the
current row only while that does not worsen the row's most elongated box (squarified layout).
A folder with children keeps a header strip for its label when there is room for one; its
children are laid out in the rest of its box (its content box).
"""

from __future__ import annotations

from dataclasses import dataclass, field

FONT_SIZE = 11.0
# Width of one character as a share of the font size. Labels use a monospace face, whose
# advance is 0.6 em in the common faces; 0.62 leaves a margin for faces a little wider.
CHAR_WIDTH_EM = 0.62
LABEL_PAD = 3.0
HEADER = FONT_SIZE + 2 * LABEL_PAD
INSET = 2.0  # gap between a folder's edge and its children


@dataclass(frozen=True)
class Rect:
    x: float
    y: float
    w: float
    h: float

    @property
    def area(self) -> float:
        return self.w * self.h

    def contains(self, other: "Rect", slack: float = 1e-6) -> bool:
        return (other.x >= self.x - slack and other.y >= self.y - slack
                and other.x + other.w <= self.x + self.w + slack
                and other.y + other.h <= self.y + self.h + slack)


@dataclass
class Placed:
    """A node of the tree with its box, its children's box and the label drawn in it."""

    name: str
    path: str
    size: int
    is_dir: bool
    is_other: bool
    depth: int
    box: Rect
    content: Rect | None = None
    label: str = ""
    children: list["Placed"] = field(default_factory=list)


def text_width(text: str, font_size: float = FONT_SIZE) -> float:
    """A conservative width estimate of text in the label font."""
    return len(text) * font_size * CHAR_WIDTH_EM


def _worst(row: list[float], side: float) -> float:
    total = sum(row)
    if total <= 0 or side <= 0:
        return float("inf")
    return max(max(row) * side * side / (total * total), total * total / (side * side * min(row)))


def squarify(values: list[float], box: Rect) -> list[Rect]:
    """Boxes for values (all > 0, any order) filling box, each with area proportional to its
    value; returned in the order of values."""
    total = sum(values)
    if not values or total <= 0 or box.area <= 0:
        return [Rect(box.x, box.y, 0.0, 0.0) for _ in values]
    scale = box.area / total
    order = sorted(range(len(values)), key=lambda i: values[i], reverse=True)
    areas = [values[i] * scale for i in order]
    out: list[Rect | None] = [None] * len(values)
    x, y, w, h = box.x, box.y, box.w, box.h
    start = 0
    while start < len(areas):
        side = min(w, h)
        end = start + 1
        while end < len(areas) and \
                _worst(areas[start:end + 1], side) <= _worst(areas[start:end], side):
            end += 1
        row = areas[start:end]
        row_area = sum(row)
        last_row = end == len(areas)
        # A row along the top edge of a tall space, a column at the left edge of a wide one.
        along_top = w < h
        origin, span, room = (x, w, h) if along_top else (y, h, w)
        thick = room if last_row else min(room, row_area / span if span > 0 else 0.0)
        offset = origin
        for k, a in enumerate(row):
            length = span - (offset - origin) if k == len(row) - 1 else a / thick if thick else 0.0
            out[order[start + k]] = Rect(offset, y, length, thick) if along_top \
                else Rect(x, offset, thick, length)
            offset += length
        if along_top:
            y, h = y + thick, h - thick
        else:
            x, w = x + thick, w - thick
        start = end
    return [r for r in out if r is not None]


def _label_for(node: dict, box: Rect, with_children: bool, size_text: str) -> str:
    """The longest of "name  size" and "name" that fits the box (header strip or whole box)."""
    room_w = box.w - 2 * LABEL_PAD
    room_h = HEADER if with_children else box.h
    if room_h < FONT_SIZE + 2 * LABEL_PAD:
        return ""
    name = str(node.get("name", ""))
    for text in (f"{name}  {size_text}", name):
        if text and text_width(text) <= room_w:
            return text
    return ""


def _content_box(box: Rect) -> tuple[Rect, bool]:
    """Where a folder's children go, and whether a header strip is kept above them."""
    if box.w > 2 * INSET + 4 and box.h > HEADER + INSET + 4:
        return Rect(box.x + INSET, box.y + HEADER, box.w - 2 * INSET, box.h - HEADER - INSET), True
    return box, False


def layout(node: dict, box: Rect, size_text=lambda n: str(n), depth: int = 0) -> Placed:
    """Places an analyzeDisk node map (and, recursively, its children of positive size) in box.
    size_text turns a byte count into the text shown in labels."""
    size = int(node.get("size", 0))
    children = [c for c in node.get("children", []) if int(c.get("size", 0)) > 0]
    placed = Placed(name=str(node.get("name", "")), path=str(node.get("path", "")), size=size,
                    is_dir=bool(node.get("isDir")), is_other=bool(node.get("isOther")),
                    depth=depth, box=box)
    if children and size > 0:
        content, header = _content_box(box)
        placed.content = content
        placed.label = _label_for(node, box, True, size_text(size)) if header else ""
        total = sum(int(c["size"]) for c in children)
        # Children whose sizes add up to less than the folder keep their share of it.
        used = Rect(content.x, content.y, content.w, content.h * min(1.0, total / size)) \
            if content.w <= content.h else \
            Rect(content.x, content.y, content.w * min(1.0, total / size), content.h)
        boxes = squarify([float(c["size"]) for c in children], used)
        placed.children = [layout(c, b, size_text, depth + 1) for c, b in zip(children, boxes)]
    else:
        placed.label = _label_for(node, box, False, size_text(size))
    return placed


def walk(placed: Placed):
    """Every placed node, parents before their children."""
    yield placed
    for child in placed.children:
        yield from walk(child)


def root_box(width: float, height: float, legend: float) -> Rect:
    return Rect(0.0, legend, width, height - legend)
