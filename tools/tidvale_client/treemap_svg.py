"""Draws an "analyzeDisk" reply as a squarified treemap in SVG (layout in treemap_layout).

Every node is a <g class="node"> holding its <rect>, its label <text> when one fits, and its
children's groups, so the nesting of the picture is the nesting of the tree. Each group carries
its size (data-size) and, for a folder with children, the box its children fill (data-content),
so the picture can be checked against the reply it was drawn from.
"""

from __future__ import annotations

from pathlib import Path
from typing import Any
from xml.sax.saxutils import escape, quoteattr

from . import treemap_layout as tl
from .display import human_bytes

WIDTH, HEIGHT, LEGEND = 1200.0, 800.0, 40.0
OTHER_FILL = "#b0b0b0"  # the folded "…" node: neutral, whatever branch it sits in
HUES = (210, 150, 30, 280, 0, 180, 90, 330, 50, 240)
FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace"


def _num(v: float) -> str:
    return f"{v:.3f}".rstrip("0").rstrip(".") or "0"


def _box_attrs(r: tl.Rect) -> str:
    """x, y, width and height from edges rounded once, so that boxes sharing an edge in the
    layout share it exactly in the picture."""
    x0, y0 = round(r.x, 3), round(r.y, 3)
    x1, y1 = round(r.x + r.w, 3), round(r.y + r.h, 3)
    return f'x="{_num(x0)}" y="{_num(y0)}" width="{_num(x1 - x0)}" height="{_num(y1 - y0)}"'


def _fill(node: tl.Placed, hue: int) -> str:
    if node.is_other:
        return OTHER_FILL
    lightness = min(45 + 12 * node.depth, 85) + (0 if node.is_dir else 5)
    return f"hsl({hue}, 55%, {lightness}%)"


def _node_svg(node: tl.Placed, hue: int, out: list[str], indent: str) -> None:
    b = node.box
    attrs = [f'class="node{" other" if node.is_other else ""}"',
             f"data-name={quoteattr(node.name)}", f'data-size="{node.size}"',
             f'data-depth="{node.depth}"']
    if node.content is not None:
        c = node.content
        attrs.append(f'data-content="{_num(c.x)} {_num(c.y)} {_num(c.w)} {_num(c.h)}"')
    out.append(f"{indent}<g {' '.join(attrs)}>")
    title = f"{node.path or node.name}: {human_bytes(node.size)}"
    out.append(f'{indent}  <rect {_box_attrs(b)} fill="{_fill(node, hue)}">'
               f"<title>{escape(title)}</title></rect>")
    if node.label:
        x = b.x + tl.LABEL_PAD
        y = b.y + tl.LABEL_PAD + tl.FONT_SIZE * 0.8  # baseline: ascent of the face below the top
        out.append(f'{indent}  <text x="{_num(x)}" y="{_num(y)}" font-size="{_num(tl.FONT_SIZE)}">'
                   f"{escape(node.label)}</text>")
    for i, child in enumerate(node.children):
        child_hue = HUES[i % len(HUES)] if node.depth == 0 else hue
        _node_svg(child, child_hue, out, indent + "  ")
    out.append(f"{indent}</g>")


def treemap_svg(reply: Any) -> str:
    """The SVG text of an analyzeDisk reply."""
    if not isinstance(reply, dict) or not {"name", "size", "children"} <= set(reply):
        raise ValueError(f"not a disk analysis reply: {reply!r}")
    root = tl.layout(reply, tl.root_box(WIDTH, HEIGHT, LEGEND), human_bytes)
    files = int(reply.get("files", 0))
    legend = (f"root: {reply['name']}   total: {human_bytes(int(reply['size']))} "
              f"in {files} file{'' if files == 1 else 's'}")
    if reply.get("cancelled"):
        legend += "   (cancelled: partial)"
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{_num(WIDTH)}" '
           f'height="{_num(HEIGHT)}" viewBox="0 0 {_num(WIDTH)} {_num(HEIGHT)}" '
           f'font-family="{FONT}">',
           '  <style>rect { stroke: #ffffff; stroke-width: 0.5; } '
           "text { fill: #111111; pointer-events: none; }</style>",
           '  <g class="legend">',
           f'    <text x="8" y="16" font-size="13">{escape(legend)}</text>',
           f'    <rect x="8" y="24" width="10" height="10" fill="{OTHER_FILL}"/>',
           '    <text x="22" y="33" font-size="11">… folded: the smaller entries of a folder'
           "</text>",
           "  </g>"]
    _node_svg(root, HUES[0], out, "  ")
    out.append("</svg>")
    return "\n".join(out) + "\n"


def write_treemap(reply: Any, path: Path) -> Path:
    path = Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(treemap_svg(reply), encoding="utf-8")
    return path
