#!/usr/bin/env python3
"""Generate the sample meshes into Data/MODEL/ as text-format DirectX .x files.

Coordinates follow Direct3D's left-handed convention: a front face is wound
clockwise when seen from outside, which for these component-wise cross products
means cross(b - a, c - a) points along the outward normal. Every face is checked
against that before writing so a winding slip fails loudly here, not in the editor.
"""

import math
import os

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Data", "MODEL")

WHITE = (1.0, 1.0, 1.0, 1.0)


class Mesh:
    def __init__(self, name):
        self.name = name
        self.pos, self.nrm, self.uv = [], [], []
        self.faces, self.face_mat = [], []
        self.materials = []

    def vert(self, p, n, uv):
        self.pos.append(p)
        self.nrm.append(n)
        self.uv.append(uv)
        return len(self.pos) - 1

    def tri(self, a, b, c, mat=0):
        self.faces.append((a, b, c))
        self.face_mat.append(mat)


# --------------------------------------------------------------------------
# Writing
# --------------------------------------------------------------------------

def fmt(v):
    s = f"{v:.6f}"
    # "-0.000000" would make otherwise identical runs differ in platform-dependent ways.
    return "0.000000" if s == "-0.000000" else s


def _list(items, indent):
    # .x text lists: entries separated by ",", the whole list closed by ";".
    lines = [indent + it + ("," if i + 1 < len(items) else ";") for i, it in enumerate(items)]
    return "\n".join(lines)


def vec3(v):
    return f"{fmt(v[0])};{fmt(v[1])};{fmt(v[2])};"


def face3(f):
    return f"3;{f[0]},{f[1]},{f[2]};"


def material_block(rgba, indent):
    r, g, b, a = rgba
    return (f"{indent}Material {{\n"
            f"{indent} {fmt(r)};{fmt(g)};{fmt(b)};{fmt(a)};;\n"
            f"{indent} {fmt(0.0)};\n"
            f"{indent} {fmt(0.0)};{fmt(0.0)};{fmt(0.0)};;\n"
            f"{indent} {fmt(0.0)};{fmt(0.0)};{fmt(0.0)};;\n"
            f"{indent}}}")


def to_x(mesh):
    i1, i2, i3 = "  ", "   ", "    "
    out = ["xof 0303txt 0032", "", f"Frame {mesh.name}_root {{",
           " FrameTransformMatrix {",
           "  1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,"
           "0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,1.000000;;",
           " }", "", f" Mesh {mesh.name} {{",
           f"{i1}{len(mesh.pos)};", _list([vec3(p) for p in mesh.pos], i1),
           f"{i1}{len(mesh.faces)};", _list([face3(f) for f in mesh.faces], i1), "",
           f"{i1}MeshNormals {{",
           f"{i2}{len(mesh.nrm)};", _list([vec3(n) for n in mesh.nrm], i2),
           f"{i2}{len(mesh.faces)};", _list([face3(f) for f in mesh.faces], i2),
           f"{i1}}}", "",
           f"{i1}MeshTextureCoords {{",
           f"{i2}{len(mesh.uv)};", _list([f"{fmt(u)};{fmt(v)};" for u, v in mesh.uv], i2),
           f"{i1}}}", "",
           f"{i1}MeshMaterialList {{",
           f"{i2}{len(mesh.materials)};", f"{i2}{len(mesh.face_mat)};",
           _list([str(m) for m in mesh.face_mat], i2)]
    out += [material_block(m, i2) for m in mesh.materials]
    out += [f"{i1}}}", " }", "}", ""]
    return "\n".join(out)


# --------------------------------------------------------------------------
# Validation
# --------------------------------------------------------------------------

def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def check(mesh):
    assert mesh.materials and all(0 <= m < len(mesh.materials) for m in mesh.face_mat)
    for a, b, c in mesh.faces:
        pa, pb, pc = mesh.pos[a], mesh.pos[b], mesh.pos[c]
        geo = cross(sub(pb, pa), sub(pc, pa))
        assert dot(geo, geo) > 1e-12, f"{mesh.name}: degenerate face {(a, b, c)}"
        avg = [sum(mesh.nrm[i][k] for i in (a, b, c)) for k in range(3)]
        assert dot(geo, avg) > 0.0, f"{mesh.name}: face {(a, b, c)} is not clockwise from outside"


# --------------------------------------------------------------------------
# Meshes
# --------------------------------------------------------------------------

def add_quad(m, corners, normal, uvs, mat=0):
    """corners listed clockwise as seen from the side the normal points to."""
    idx = [m.vert(p, normal, uv) for p, uv in zip(corners, uvs)]
    m.tri(idx[0], idx[1], idx[2], mat)
    m.tri(idx[0], idx[2], idx[3], mat)


QUAD_UV = [(0.0, 0.0), (1.0, 0.0), (1.0, 1.0), (0.0, 1.0)]


def plane():
    m = Mesh("plane")
    # From +y looking down with +z at the top of view: far-left, far-right, near-right, near-left.
    add_quad(m, [(-0.5, 0.0, 0.5), (0.5, 0.0, 0.5), (0.5, 0.0, -0.5), (-0.5, 0.0, -0.5)],
             (0.0, 1.0, 0.0), QUAD_UV)
    m.materials = [WHITE]
    return m


def sphere(radius=10.0, slices=16, stacks=12):
    m = Mesh("sphere")
    # Seam column duplicated so u can run 0..1 without wrapping back across the sphere.
    for i in range(stacks + 1):
        phi = math.pi * i / stacks
        for j in range(slices + 1):
            theta = 2.0 * math.pi * j / slices
            n = (math.sin(phi) * math.cos(theta), math.cos(phi), math.sin(phi) * math.sin(theta))
            m.vert(tuple(radius * c for c in n), n, (j / slices, i / stacks))
    row = slices + 1
    for i in range(stacks):
        for j in range(slices):
            a, b = i * row + j, i * row + j + 1
            c, d = a + row, b + row
            # Pole rows collapse to a point, so only one triangle per quad there.
            if i != 0:
                m.tri(a, b, c)
            if i != stacks - 1:
                m.tri(b, d, c)
    m.materials = [WHITE]
    return m


def cube():
    m = Mesh("cube")
    h = 0.5
    # Each face: corners clockwise seen from outside, top-left first so UVs map upright.
    faces = [
        ((1, 0, 0), [(h, h, -h), (h, h, h), (h, -h, h), (h, -h, -h)], 0),
        ((-1, 0, 0), [(-h, h, h), (-h, h, -h), (-h, -h, -h), (-h, -h, h)], 0),
        ((0, 1, 0), [(-h, h, h), (h, h, h), (h, h, -h), (-h, h, -h)], 0),
        ((0, -1, 0), [(-h, -h, -h), (h, -h, -h), (h, -h, h), (-h, -h, h)], 1),
        ((0, 0, 1), [(h, h, h), (-h, h, h), (-h, -h, h), (h, -h, h)], 1),
        ((0, 0, -1), [(-h, h, -h), (h, h, -h), (h, -h, -h), (-h, -h, -h)], 1),
    ]
    for n, corners, mat in faces:
        add_quad(m, corners, tuple(float(c) for c in n), QUAD_UV, mat)
    # Two distinct materials so loaders produce two subsets.
    m.materials = [WHITE, (0.8, 0.8, 1.0, 1.0)]
    return m


def cone(radius=5.0, height=10.0, segments=16):
    m = Mesh("cone")
    # Centred on its bounding box so a spinning mesh particle stays in place.
    y0, y1 = -height * 0.5, height * 0.5
    slant = math.hypot(radius, height)

    def side_normal(theta):
        return (height * math.cos(theta) / slant, radius / slant, height * math.sin(theta) / slant)

    base = []
    for j in range(segments + 1):
        t = 2.0 * math.pi * j / segments
        base.append(m.vert((radius * math.cos(t), y0, radius * math.sin(t)), side_normal(t),
                           (j / segments, 1.0)))
    for j in range(segments):
        # One apex vertex per segment so each gets its own normal and u.
        t = 2.0 * math.pi * (j + 0.5) / segments
        apex = m.vert((0.0, y1, 0.0), side_normal(t), ((j + 0.5) / segments, 0.0))
        m.tri(apex, base[j + 1], base[j])

    down = (0.0, -1.0, 0.0)
    centre = m.vert((0.0, y0, 0.0), down, (0.5, 0.5))
    rim = []
    for j in range(segments + 1):
        t = 2.0 * math.pi * j / segments
        c, s = math.cos(t), math.sin(t)
        rim.append(m.vert((radius * c, y0, radius * s), down, (0.5 + 0.5 * c, 0.5 - 0.5 * s)))
    for j in range(segments):
        m.tri(centre, rim[j], rim[j + 1])
    m.materials = [WHITE]
    return m


def ring(inner=8.0, outer=10.0, height=1.0, segments=48):
    """Rectangular-section band; u runs around the ring, v across each side."""
    m = Mesh("ring")
    y0, y1 = -height * 0.5, height * 0.5

    def band(p0, p1, normal_of):
        # p0/p1 give (radius, y) at v = 0 and v = 1; normal_of(theta) gives the side normal.
        cols = []
        for j in range(segments + 1):
            t = 2.0 * math.pi * j / segments
            c, s = math.cos(t), math.sin(t)
            n = normal_of(c, s)
            a = m.vert((p0[0] * c, p0[1], p0[0] * s), n, (j / segments, 0.0))
            b = m.vert((p1[0] * c, p1[1], p1[0] * s), n, (j / segments, 1.0))
            cols.append((a, b))
        for j in range(segments):
            a0, b0 = cols[j]
            a1, b1 = cols[j + 1]
            # Orientation is fixed up below from the normal, which keeps the four bands uniform.
            for tri in ((a0, a1, b1), (a0, b1, b0)):
                pa, pb, pc = (m.pos[i] for i in tri)
                if dot(cross(sub(pb, pa), sub(pc, pa)), m.nrm[tri[0]]) < 0.0:
                    tri = (tri[0], tri[2], tri[1])
                m.tri(*tri)

    band((inner, y1), (outer, y1), lambda c, s: (0.0, 1.0, 0.0))
    band((inner, y0), (outer, y0), lambda c, s: (0.0, -1.0, 0.0))
    band((outer, y1), (outer, y0), lambda c, s: (c, 0.0, s))
    band((inner, y1), (inner, y0), lambda c, s: (-c, 0.0, -s))
    m.materials = [WHITE]
    return m


MODELS = [("plane.x", plane), ("sphere.x", sphere), ("cube.x", cube),
          ("cone.x", cone), ("ring.x", ring)]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, fn in MODELS:
        mesh = fn()
        check(mesh)
        text = to_x(mesh)
        with open(os.path.join(OUT_DIR, name), "w", newline="\n") as f:
            f.write(text)
        print(f"{name}: {len(mesh.pos)} vertices, {len(mesh.faces)} triangles, "
              f"{len(mesh.materials)} material(s), {len(text)} bytes")


if __name__ == "__main__":
    main()
