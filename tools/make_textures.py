#!/usr/bin/env python3
"""Generate the sample particle textures into Data/TEXTURE/.

Pure standard library so it runs anywhere the repo builds. Every image is a
function of fixed constants and a seeded hash, so reruns are byte-identical.
"""

import math
import os
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Data", "TEXTURE")


# --------------------------------------------------------------------------
# PNG output
# --------------------------------------------------------------------------

def _chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, pixels):
    """pixels: flat list of (r, g, b, a) floats in 0..1, row-major, top row first."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter: none
        for x in range(width):
            for c in pixels[y * width + x]:
                raw.append(max(0, min(255, int(round(c * 255.0)))))
    # bit depth 8, colour type 6 (RGBA), no interlace
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr)
           + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)
    return len(png)


# --------------------------------------------------------------------------
# Shared helpers
# --------------------------------------------------------------------------

def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def smoothstep(e0, e1, v):
    t = clamp01((v - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


def render(size, shader):
    """Evaluate shader(u, v) at pixel centres; u, v run -1..1 across the image."""
    px = []
    for y in range(size):
        v = (y + 0.5) / size * 2.0 - 1.0
        for x in range(size):
            u = (x + 0.5) / size * 2.0 - 1.0
            px.append(shader(u, v))
    return px


def _hash2(ix, iy, seed):
    # Integer hash -> 0..1; fixed arithmetic keeps output stable across runs.
    h = (ix * 374761393 + iy * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967295.0


def value_noise(x, y, seed):
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = x - ix, y - iy
    # Quintic fade keeps derivatives continuous, so cell borders don't crease.
    sx = fx * fx * fx * (fx * (fx * 6 - 15) + 10)
    sy = fy * fy * fy * (fy * (fy * 6 - 15) + 10)
    a = _hash2(ix, iy, seed)
    b = _hash2(ix + 1, iy, seed)
    c = _hash2(ix, iy + 1, seed)
    d = _hash2(ix + 1, iy + 1, seed)
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy


def fbm(x, y, seed, octaves=4):
    total, amp, norm = 0.0, 1.0, 0.0
    for o in range(octaves):
        total += amp * value_noise(x, y, seed + o * 101)
        norm += amp
        # Rotating each octave hides the axis-aligned noise lattice.
        x, y = (x * 0.8 - y * 0.6) * 2.0 + 5.3, (x * 0.6 + y * 0.8) * 2.0 + 1.7
        amp *= 0.5
    return total / norm


def edge_fade(r):
    # Forces alpha to exactly 0 before the texture border so sprites never show a hard square.
    return 1.0 - smoothstep(0.85, 1.0, r)


# --------------------------------------------------------------------------
# Textures
# --------------------------------------------------------------------------

def flare():
    def shade(u, v):
        r = math.hypot(u, v)
        glow = math.exp(-r * r * 5.0) * 0.75 + math.exp(-r * r * 40.0) * 0.25
        a = clamp01(glow) * edge_fade(r)
        # A faint warm tint away from the core reads better under additive blending.
        return (1.0, 1.0 - 0.08 * r, 1.0 - 0.2 * r, a)
    return 128, render(128, shade)


def spark():
    def shade(u, v):
        r = math.hypot(u, v)
        au, av = abs(u), abs(v)
        # Two thin axis streaks plus fainter diagonals make the 4-point twinkle.
        horiz = math.exp(-(av * av) * 900.0) * (1.0 - smoothstep(0.0, 1.0, au))
        vert = math.exp(-(au * au) * 900.0) * (1.0 - smoothstep(0.0, 1.0, av))
        d1, d2 = abs(u - v) * 0.7071, abs(u + v) * 0.7071
        diag = (math.exp(-d1 * d1 * 1500.0) + math.exp(-d2 * d2 * 1500.0)) \
            * (1.0 - smoothstep(0.0, 0.55, r)) * 0.45
        core = math.exp(-r * r * 60.0)
        a = clamp01(horiz + vert + diag + core) * edge_fade(r)
        return (0.9 + 0.1 * core, 0.95 + 0.05 * core, 1.0, a)
    return 64, render(64, shade)


def smoke():
    def shade(u, v):
        r0 = math.hypot(u, v)
        # Warp the radius with noise so the rim is billowy rather than a perfect disc.
        n = fbm(u * 2.2 + 7.0, v * 2.2 + 3.0, seed=17, octaves=3)
        r = r0 * (0.82 + 0.36 * n)
        body = (1.0 - smoothstep(0.1, 0.88, r)) ** 1.2
        detail = fbm(u * 4.0 + 1.0, v * 4.0 + 9.0, seed=42, octaves=5)
        a = clamp01(body * (0.35 + 0.85 * detail) * 1.1) * edge_fade(r0)
        grey = 0.6 + 0.4 * detail
        return (grey, grey, min(1.0, grey * 1.03), a)
    return 128, render(128, shade)


def ring():
    def shade(u, v):
        r = math.hypot(u, v)
        d = (r - 0.68) / 0.12
        band = math.exp(-d * d * 2.0)
        # A sharper outer lip sells the leading edge of a shockwave.
        lip = math.exp(-((r - 0.76) / 0.03) ** 2) * 0.5
        a = clamp01(band + lip) * edge_fade(r)
        return (0.8 + 0.2 * band, 0.92 + 0.08 * band, 1.0, a)
    return 128, render(128, shade)


def _burst_cell(u, v, t):
    """One animation frame of an expanding burst; t runs 0..1 over the sequence."""
    r = math.hypot(u, v)
    ang = math.atan2(v, u)
    # Ease-out expansion: fast at first, slowing as the blast loses energy.
    radius = 0.12 + 0.68 * math.sqrt(t)
    # Hot filled core that burns out over the first half.
    core = math.exp(-(r / (0.18 + 0.3 * t)) ** 2) * (1.0 - t) ** 2.0 * 1.3
    # Expanding shell, broken up by angular noise so it reads as fire, not a hoop.
    br = 0.55 + 0.45 * fbm(math.cos(ang) * 2.0 + t * 3.0, math.sin(ang) * 2.0, seed=7, octaves=3)
    width = 0.07 + 0.12 * t
    shell = math.exp(-((r - radius) / width) ** 2) * br
    inner = (1.0 - smoothstep(radius - width, radius, r)) * 0.35 * (1.0 - t)
    # Twelve debris streaks of uneven length that overshoot the shell.
    sector = (ang / (2.0 * math.pi) + 0.5) * 12.0
    idx = int(math.floor(sector)) % 12
    across = abs(sector - math.floor(sector) - 0.5) * 2.0
    ray_len = radius * (1.0 + 0.35 * _hash2(idx, 3, 11))
    taper = 0.3 * (1.0 - 0.7 * clamp01(r / ray_len))
    ray = (1.0 - smoothstep(0.0, taper, across)) * (1.0 - smoothstep(ray_len * 0.6, ray_len, r)) \
        * smoothstep(radius * 0.3, radius * 0.7, r) * (0.25 + 0.5 * _hash2(idx, 5, 13))
    fade = (1.0 - t) ** 0.8
    a = clamp01(core + (shell + inner + ray) * fade) * edge_fade(r)
    # White-yellow when hot, cooling through orange to a dull red.
    heat = clamp01(core * 0.8 + (1.0 - t))
    return (1.0, 0.35 + 0.65 * heat, clamp01(heat * heat * 0.9), a)


def spritesheet():
    size, cell, cols = 256, 64, 4
    px = []
    for y in range(size):
        cy, py = divmod(y, cell)
        v = (py + 0.5) / cell * 2.0 - 1.0
        for x in range(size):
            cx, pxl = divmod(x, cell)
            u = (pxl + 0.5) / cell * 2.0 - 1.0
            # Sixteenths keep the final cell faintly visible rather than empty.
            t = (cy * cols + cx) / 16.0
            px.append(_burst_cell(u, v, t))
    return size, px


def _aa(dist, width=0.03):
    # Coverage from signed distance: 1 inside, 0 outside, soft over ~1.5 px.
    return 1.0 - smoothstep(-width, width, dist)


def icon_particle():
    dots = [  # (x, y, radius) in -1..1 space
        (-0.05, 0.05, 0.26),
        (0.52, -0.42, 0.14), (-0.55, -0.45, 0.12), (0.55, 0.48, 0.11),
        (-0.48, 0.58, 0.09), (0.1, -0.72, 0.08), (-0.78, 0.02, 0.07),
        (0.78, 0.05, 0.06),
    ]

    def shade(u, v):
        cov = 0.0
        for dx, dy, dr in dots:
            cov = max(cov, _aa(math.hypot(u - dx, v - dy) - dr))
        # Small sparkle cross on the big dot marks it as an emitter.
        cross = max(_aa(abs(u + 0.05) - 0.025) * _aa(abs(v - 0.05) - 0.45),
                    _aa(abs(v - 0.05) - 0.025) * _aa(abs(u + 0.05) - 0.45))
        a = max(cov, cross * 0.9)
        return (0.75, 0.9, 1.0, a)
    return 64, render(64, shade)


def icon_sound():
    def shade(u, v):
        # Speaker: box magnet plus trapezoid cone opening to the right.
        box = max(abs(u + 0.62) - 0.13, abs(v) - 0.2)
        cone_x = (u + 0.49) / 0.42  # 0 at magnet, 1 at mouth
        half_h = 0.2 + 0.32 * cone_x
        cone = max(-(u + 0.49), u - (-0.07), abs(v) - half_h)
        speaker = _aa(min(box, cone))
        # Three concentric arcs centred on the cone mouth, limited to a +-45 degree wedge.
        r = math.hypot(u + 0.1, v)
        wedge = _aa(abs(v) - (u + 0.1) * 0.95)
        waves = 0.0
        for wr in (0.32, 0.56, 0.80):
            waves = max(waves, _aa(abs(r - wr) - 0.045))
        a = max(speaker, waves * wedge * (1.0 if u > -0.05 else 0.0))
        return (0.95, 0.93, 0.8, a)
    return 64, render(64, shade)


def mask():
    def shade(u, v):
        # Soft horizontal bands of varying width; tiles vertically so UV scroll loops.
        t = (v + 1.0) * 0.5
        g = 0.5 + 0.5 * math.sin(t * 2.0 * math.pi * 3.0)
        g = 0.15 + 0.85 * g * (0.75 + 0.25 * math.sin(t * 2.0 * math.pi * 1.0))
        g = clamp01(g)
        return (g, g, g, 1.0)
    return 128, render(128, shade)


TEXTURES = [
    ("flare.png", flare),
    ("spark.png", spark),
    ("smoke.png", smoke),
    ("ring.png", ring),
    ("spritesheet.png", spritesheet),
    ("icon_particle.png", icon_particle),
    ("icon_sound.png", icon_sound),
    ("mask.png", mask),
]


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, fn in TEXTURES:
        size, px = fn()
        n = write_png(os.path.join(OUT_DIR, name), size, size, px)
        print(f"{name}: {size}x{size}, {n} bytes")


if __name__ == "__main__":
    main()
