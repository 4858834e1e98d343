#!/usr/bin/python3
"""Writes content/3d/cube.obj: a cube with chamfered edges and corners, as triangles
in the `f v//vn` form with one flat normal per face, so the light catches each bevel.

The cube has half-size 0.95 (the scene swells it up to 1.6x along one axis in front of
the camera). Before writing, every triangle is checked to be wound counter-clockwise
seen from outside; a wrong one stops the script with a non-zero exit. --out DIR writes
DIR/cube.obj instead (the content check compares it there)."""

import argparse
import itertools
import math
import os
import sys

HALF_SIZE = 0.95
BEVEL = 0.12           # how far each chamfer cuts into the faces next to it
OUT_PATH = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        "content", "3d", "cube.obj")


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def normalize(a):
    length = math.sqrt(dot(a, a))
    return (a[0] / length, a[1] / length, a[2] / length)


def corner_vertex(signs, axis):
    """The vertex that the chamfer leaves near corner `signs` on the face across `axis`:
    it lies on that face, pulled in from the corner by BEVEL along the other two axes."""
    inner = HALF_SIZE - BEVEL
    return tuple(signs[k] * (HALF_SIZE if k == axis else inner) for k in range(3))


def polygons():
    """Yields (outward normal, vertex loop) for the 6 faces, 12 edge bevels and 8 corners.
    Loops may be in any order; they are wound from the normal afterwards."""
    corners = list(itertools.product((-1, 1), repeat=3))
    for axis in range(3):
        for side in (-1, 1):
            normal = tuple(side if k == axis else 0 for k in range(3))
            loop = [corner_vertex(c, axis) for c in corners if c[axis] == side]
            yield normal, loop
    for a, b in ((0, 1), (1, 2), (0, 2)):
        for sa in (-1, 1):
            for sb in (-1, 1):
                normal = [0, 0, 0]
                normal[a], normal[b] = sa, sb
                ends = [c for c in corners if c[a] == sa and c[b] == sb]
                loop = [corner_vertex(c, axis) for c in ends for axis in (a, b)]
                yield normalize(tuple(normal)), loop
    for c in corners:
        yield normalize(c), [corner_vertex(c, axis) for axis in range(3)]


def wound_triangles(normal, loop):
    """Orders a convex planar loop counter-clockwise around `normal` and fans it."""
    centre = tuple(sum(p[k] for p in loop) / len(loop) for k in range(3))
    u = normalize(sub(loop[0], centre))
    v = cross(normal, u)
    ordered = sorted(loop, key=lambda p: math.atan2(dot(sub(p, centre), v),
                                                    dot(sub(p, centre), u)))
    return [(ordered[0], ordered[i], ordered[i + 1]) for i in range(1, len(ordered) - 1)]


def check_winding(triangles):
    """Every triangle must face along its normal and away from the cube's centre."""
    for normal, (a, b, c) in triangles:
        face = cross(sub(b, a), sub(c, a))
        centroid = tuple((a[k] + b[k] + c[k]) / 3.0 for k in range(3))
        if dot(face, face) < 1e-12:
            sys.exit("make_mesh: degenerate triangle %r" % ((a, b, c),))
        if dot(face, normal) <= 0 or dot(normal, centroid) <= 0:
            sys.exit("make_mesh: triangle %r is wound clockwise or faces inward" % ((a, b, c),))


def check_closed(faces):
    """A watertight, consistently wound surface uses every directed edge exactly once and
    every edge in both directions; anything else is a hole or a flipped triangle."""
    directed = {}
    for face in faces:
        idx = [int(corner.split("//")[0]) for corner in face.split()[1:]]
        for a, b in zip(idx, idx[1:] + idx[:1]):
            directed[(a, b)] = directed.get((a, b), 0) + 1
    for (a, b), count in directed.items():
        if count != 1 or directed.get((b, a)) != 1:
            sys.exit("make_mesh: edge %d-%d is not shared by exactly two opposite faces" % (a, b))


def main():
    parser = argparse.ArgumentParser(description="Writes the show's bevelled cube mesh.")
    parser.add_argument("--out", metavar="DIR", help="folder to write cube.obj into (default content/3d)")
    args = parser.parse_args()
    out_path = os.path.join(os.path.abspath(args.out), "cube.obj") if args.out else OUT_PATH

    triangles = []
    for normal, loop in polygons():
        triangles += [(normal, tri) for tri in wound_triangles(normal, loop)]
    check_winding(triangles)

    positions, normals, faces = [], [], []

    def index_of(table, item):
        item = tuple(round(x, 6) + 0.0 for x in item)   # + 0.0 turns -0.0 into 0.0
        if item not in table:
            table.append(item)
        return table.index(item) + 1

    for normal, tri in triangles:
        vi = [index_of(positions, p) for p in tri]
        ni = index_of(normals, normal)
        faces.append("f %d//%d %d//%d %d//%d" % (vi[0], ni, vi[1], ni, vi[2], ni))
    check_closed(faces)

    # All positions and normals come before the first face, so a one-pass reader works.
    lines = ["# Bevelled cube for NITRATE, written by tools/make_mesh.py; do not edit by hand.",
             "# Half-size %.2f, chamfer %.2f, %d triangles, flat normals, counter-clockwise outside."
             % (HALF_SIZE, BEVEL, len(triangles))]
    lines += ["v %.6f %.6f %.6f" % p for p in positions]
    lines += ["vn %.6f %.6f %.6f" % n for n in normals]
    lines += faces

    os.makedirs(os.path.dirname(out_path), exist_ok=True)
    with open(out_path, "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")
    print("make_mesh: %d vertices, %d normals, %d triangles -> %s"
          % (len(positions), len(normals), len(triangles), os.path.relpath(out_path)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
