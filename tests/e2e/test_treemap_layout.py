"""The treemap picture, without the program: seeded random size trees shaped like "analyzeDisk"
replies are drawn and the SVG is checked on its own terms (needs no Wine)."""

import random

import pytest

from tidvale_client import treemap_layout as tl
from tidvale_client.display import human_bytes
from tidvale_client.treemap_svg import treemap_svg

from treemap_check import check_treemap


def random_tree(rng: random.Random, depth: int, name: str = "C:\\users\\sample") -> dict:
    """A size tree as analyzeDisk builds it: children largest first, folders' sizes the sums of
    their children, a folded "…" node now and then, empty files, folders at the depth limit."""
    node = {"name": name, "path": name, "isDir": True, "children": [], "files": 0, "size": 0}
    if depth == 0:
        node["size"] = rng.choice([0, rng.randrange(1, 10 ** rng.randrange(1, 10))])
        node["files"] = rng.randrange(0, 50)
        return node
    for i in range(rng.randrange(0, 12)):
        if rng.random() < 0.5:
            child = random_tree(rng, depth - 1, f"dir{i}")
        else:
            child = {"name": f"file-{i}.bin", "path": f"{name}\\file-{i}.bin", "isDir": False,
                     "children": [], "files": 1,
                     "size": rng.choice([0, rng.randrange(1, 10 ** rng.randrange(1, 10))])}
        node["children"].append(child)
    node["children"].sort(key=lambda c: c["size"], reverse=True)
    if node["children"] and rng.random() < 0.3:
        node["children"].append({"name": "…", "path": "", "size": rng.randrange(1, 10 ** 6),
                                 "files": 0, "isDir": False, "children": [], "isOther": True})
    node["size"] = sum(c["size"] for c in node["children"])
    node["files"] = sum(c["files"] for c in node["children"])
    return node


@pytest.mark.parametrize("seed", range(40))
def test_random_trees_draw_to_a_correct_picture(seed):
    rng = random.Random(seed)
    reply = random_tree(rng, rng.randrange(1, 4))
    reply.update(scanned=reply["files"], cancelled=False)
    counts = check_treemap(treemap_svg(reply))
    drawn = 1 + sum(1 for _ in _positive(reply)) if reply["size"] > 0 else 1
    assert counts["nodes"] == drawn, "every node of positive size is drawn, and only those"
    assert reply["name"] in counts["legend"] and human_bytes(reply["size"]) in counts["legend"]


def _positive(node):
    for child in node["children"]:
        if child["size"] > 0:
            yield child
            yield from _positive(child)


def test_folded_node_is_drawn_neutral_and_large_boxes_are_labelled():
    reply = {"name": "C:\\root", "path": "C:\\root", "size": 1000, "files": 3, "isDir": True,
             "scanned": 3, "cancelled": False,
             "children": [{"name": "Documents", "path": "C:\\root\\Documents", "size": 600,
                           "files": 2, "isDir": True, "children": []},
                          {"name": "…", "path": "", "size": 400, "files": 0, "isDir": False,
                           "children": [], "isOther": True}]}
    svg = treemap_svg(reply)
    counts = check_treemap(svg)
    assert counts["others"] == 1 and counts["nodes"] == 3
    assert counts["labels"] == 3, "boxes hundreds of pixels wide all carry their labels"
    assert "Documents  600 B" in svg


def test_equal_sizes_in_a_square_make_square_boxes():
    boxes = tl.squarify([1.0] * 16, tl.Rect(0, 0, 400, 400))
    assert sum(b.area for b in boxes) == pytest.approx(160000)
    for b in boxes:
        assert max(b.w / b.h, b.h / b.w) < 1.01, f"elongated box {b}: not squarified"


@pytest.mark.parametrize("seed", range(20))
def test_squarify_keeps_shares_and_stays_inside(seed):
    rng = random.Random(1000 + seed)
    values = [rng.uniform(0.001, 100) for _ in range(rng.randrange(1, 60))]
    box = tl.Rect(rng.uniform(0, 50), rng.uniform(0, 50), rng.uniform(1, 900), rng.uniform(1, 900))
    boxes = tl.squarify(values, box)
    for v, b in zip(values, boxes):
        assert box.contains(b, slack=1e-6)
        assert b.area == pytest.approx(v / sum(values) * box.area, rel=1e-6, abs=1e-9)
