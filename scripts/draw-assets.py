#!/usr/bin/env python3
"""Draws deskfind's icon and pictures and writes them into assets/.

The drawing is plain Python; Pillow (Debian's python3-pil) writes the files.
The output is deterministic: every run writes the same bytes, so the files kept
in the repository can be checked against a fresh drawing (--check).

    scripts/draw-assets.py                 write assets/*.ico, assets/*.bmp
    scripts/draw-assets.py --check         exit 1 if a stored file differs
    scripts/draw-assets.py --preview DIR   also write enlarged PNG previews
"""

import argparse
import io
import math
import os
import sys

try:
    from PIL import Image
except ImportError:
    # Debian's python3-pil is seen by the system's interpreter only, not by another python3
    # found first on PATH.
    system = "/usr/bin/python3"
    if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
        os.execv(system, [system, os.path.abspath(__file__)] + sys.argv[1:])
    sys.exit("draw-assets.py needs Pillow: apt-get install python3-pil")

# ---------------------------------------------------------------------------
# Canvas: premultiplied RGBA samples, drawn supersampled and averaged down.
# Coordinates are in output pixels; pixel (i, j) covers [i, i+1) x [j, j+1).
# ---------------------------------------------------------------------------


def _trig(angle):
    # Rounded so that a last-bit difference between C libraries cannot
    # change a single output byte.
    return round(math.cos(angle), 9), round(math.sin(angle), 9)


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def shade(color, factor):
    """Darkens (factor < 1) or lightens (factor > 1, towards white) a colour."""
    if factor <= 1:
        return tuple(c * factor for c in color)
    return mix(color, (255, 255, 255), factor - 1)


def linear(p0, p1, stops):
    """Shader for a linear gradient from p0 to p1; stops are (t, colour)."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = ((x - p0[0]) * dx + (y - p0[1]) * dy) / length2
        if t <= stops[0][0]:
            return stops[0][1]
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                return mix(c0, c1, (t - t0) / (t1 - t0))
        return stops[-1][1]

    return paint


def wood(base, along=(1.0, 0.0), period=3.1, strength=0.07, gradient=None):
    """Shader for wood with fine grain running in direction `along`."""
    ax, ay = along
    nx, ny = -ay, ax

    def paint(x, y):
        colour = gradient(x, y) if gradient else base
        u = x * ax + y * ay  # along the grain
        v = x * nx + y * ny  # across the grain
        # A triangle wave across the fibres, made wavy along them.
        w = v / period + 0.35 * _trig(u * 0.21 + v * 0.05)[1]
        frac = w - math.floor(w)
        tri = abs(frac - 0.5) * 2  # 0..1
        f = 1 - strength * (tri * tri)
        return tuple(c * f for c in colour)

    return paint


class Canvas:
    def __init__(self, width, height, background=None, supersample=4, scale=1.0):
        # scale: output pixels per drawing unit, so one drawing serves several sizes.
        self.width, self.height, self.ss = width, height, supersample
        self.k = supersample * scale
        self.sw, self.sh = width * supersample, height * supersample
        n = self.sw * self.sh
        self.r, self.g, self.b, self.a = [0.0] * n, [0.0] * n, [0.0] * n, [0.0] * n
        if background is not None:
            self.fill_rect(0, 0, width / scale, height / scale, background)

    # -- the one primitive everything else is made of -----------------------
    def fill_path(self, rings, paint, alpha=1.0):
        """Fills polygons (even-odd rule); paint is a colour or shader(x, y)."""
        unit = self.k
        edges = []
        for ring in rings:
            pts = [(x * unit, y * unit) for x, y in ring]
            for i, p0 in enumerate(pts):
                p1 = pts[(i + 1) % len(pts)]
                if p0[1] != p1[1]:
                    edges.append((p0[0], p0[1], p1[0], p1[1]))
        if not edges:
            return
        ys = [e[1] for e in edges] + [e[3] for e in edges]
        row0 = max(0, int(math.floor(min(ys))))
        row1 = min(self.sh - 1, int(math.ceil(max(ys))))
        shader = paint if callable(paint) else None
        if shader is None:
            cr, cg, cb = paint
        r, g, b, a = self.r, self.g, self.b, self.a
        for row in range(row0, row1 + 1):
            yc = row + 0.5
            xs = []
            for x0, y0, x1, y1 in edges:
                if (y0 <= yc < y1) or (y1 <= yc < y0):
                    xs.append(x0 + (yc - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            base = row * self.sw
            for k in range(0, len(xs) - 1, 2):
                c0 = max(0, math.ceil(xs[k] - 0.5))
                c1 = min(self.sw, math.ceil(xs[k + 1] - 0.5))
                for col in range(c0, c1):
                    if shader is not None:
                        cr, cg, cb = shader((col + 0.5) / unit, yc / unit)
                    i = base + col
                    keep = 1.0 - alpha
                    r[i] = cr * alpha + r[i] * keep
                    g[i] = cg * alpha + g[i] * keep
                    b[i] = cb * alpha + b[i] * keep
                    a[i] = alpha + a[i] * keep

    # -- shapes --------------------------------------------------------------
    def polygon(self, pts, paint, outline=None, width=1.0, alpha=1.0):
        self.fill_path([pts], paint, alpha)
        if outline is not None:
            n = len(pts)
            for i in range(n):
                self.line(pts[i], pts[(i + 1) % n], outline, width, cap=True)

    def fill_rect(self, x0, y0, x1, y1, paint, alpha=1.0):
        self.fill_path([[(x0, y0), (x1, y0), (x1, y1), (x0, y1)]], paint, alpha)

    def rect(self, x0, y0, x1, y1, paint, outline=None, width=1.0, alpha=1.0):
        """Filled rectangle whose outline lies inside its bounds."""
        self.fill_rect(x0, y0, x1, y1, paint, alpha)
        if outline is not None:
            w = width
            self.fill_path(
                [
                    [(x0, y0), (x1, y0), (x1, y1), (x0, y1)],
                    [(x0 + w, y0 + w), (x1 - w, y0 + w), (x1 - w, y1 - w), (x0 + w, y1 - w)],
                ],
                outline,
            )

    def line(self, p0, p1, paint, width=1.0, alpha=1.0, cap=False):
        (x0, y0), (x1, y1) = p0, p1
        length = math.hypot(x1 - x0, y1 - y0)
        if length == 0:
            return
        h = width / 2
        nx, ny = -(y1 - y0) / length * h, (x1 - x0) / length * h
        ex, ey = (x1 - x0) / length * h, (y1 - y0) / length * h
        if not cap:
            ex = ey = 0.0
        self.fill_path(
            [[(x0 + nx - ex, y0 + ny - ey), (x1 + nx + ex, y1 + ny + ey),
              (x1 - nx + ex, y1 - ny + ey), (x0 - nx - ex, y0 - ny - ey)]],
            paint,
            alpha,
        )

    def ellipse(self, cx, cy, rx, ry, paint, alpha=1.0, segments=64):
        self.fill_path([ellipse_points(cx, cy, rx, ry, segments)], paint, alpha)

    def soft_shadow(self, cx, cy, rx, ry, strength=0.35, steps=8, colour=(60, 50, 40)):
        """A blurred floor shadow: concentric ellipses, darkest in the middle."""
        per_step = 1 - (1 - strength) ** (1 / steps)
        for k in range(steps):
            t = 1 - k / steps
            self.ellipse(cx, cy, rx * t, ry * t, colour, per_step)

    # -- output --------------------------------------------------------------
    def image(self):
        """The drawing as an RGBA image, colour not premultiplied."""
        ss, n = self.ss, self.ss * self.ss
        out = bytearray()
        for y in range(self.height):
            for x in range(self.width):
                sr = sg = sb = sa = 0.0
                for sy in range(y * ss, y * ss + ss):
                    base = sy * self.sw + x * ss
                    for i in range(base, base + ss):
                        sr += self.r[i]
                        sg += self.g[i]
                        sb += self.b[i]
                        sa += self.a[i]
                if sa <= 0:
                    out += bytes(4)
                    continue
                out += bytes((_byte(sr / sa), _byte(sg / sa), _byte(sb / sa), _byte(sa / n * 255)))
        return Image.frombytes("RGBA", (self.width, self.height), bytes(out))


def _byte(v):
    return max(0, min(255, int(v + 0.5)))


def ellipse_points(cx, cy, rx, ry, segments=64):
    pts = []
    for k in range(segments):
        c, s = _trig(2 * math.pi * k / segments)
        pts.append((cx + rx * c, cy + ry * s))
    return pts


def rounded_rect_points(x0, y0, x1, y1, radius, per_corner=8):
    pts = []
    corners = [(x1 - radius, y0 + radius, -90), (x1 - radius, y1 - radius, 0),
               (x0 + radius, y1 - radius, 90), (x0 + radius, y0 + radius, 180)]
    for cx, cy, start in corners:
        for k in range(per_corner + 1):
            c, s = _trig(math.radians(start + 90 * k / per_corner))
            pts.append((cx + radius * c, cy + radius * s))
    return pts


# ---------------------------------------------------------------------------
# A simple oblique projection: x to the right, y up, z (depth) away from the
# viewer, drawn up and to the right. Visible faces of a box: front, top, right.
# ---------------------------------------------------------------------------


class Oblique:
    def __init__(self, ox, oy, kx=0.5, ky=0.5):
        self.ox, self.oy, self.kx, self.ky = ox, oy, kx, ky

    def __call__(self, x, y, z):
        return (self.ox + x + z * self.kx, self.oy - y - z * self.ky)

    def front(self, x0, x1, y0, y1, z):
        return [self(x0, y1, z), self(x1, y1, z), self(x1, y0, z), self(x0, y0, z)]

    def top(self, x0, x1, y, z0, z1):
        return [self(x0, y, z0), self(x1, y, z0), self(x1, y, z1), self(x0, y, z1)]

    def side(self, x, y0, y1, z0, z1):
        return [self(x, y1, z0), self(x, y1, z1), self(x, y0, z1), self(x, y0, z0)]


def box(cv, P, x0, x1, y0, y1, z0, z1, front, top, side, outline=None, width=0.6):
    """Draws the three visible faces of a box, each a colour or a shader."""
    cv.polygon(P.side(x1, y0, y1, z0, z1), side)
    cv.polygon(P.top(x0, x1, y1, z0, z1), top)
    cv.polygon(P.front(x0, x1, y0, y1, z0), front)
    if outline is not None:
        silhouette = [P(x0, y0, z0), P(x0, y1, z0), P(x0, y1, z1), P(x1, y1, z1),
                      P(x1, y0, z1), P(x1, y0, z0)]
        for i, p in enumerate(silhouette):
            cv.line(p, silhouette[(i + 1) % len(silhouette)], outline, width, cap=True)
        cv.line(P(x0, y1, z0), P(x1, y1, z0), outline, width * 0.7)
        cv.line(P(x1, y1, z0), P(x1, y0, z0), outline, width * 0.7)


# ---------------------------------------------------------------------------
# Palette
# ---------------------------------------------------------------------------

INK = (52, 36, 24)
OAK_TOP = (226, 188, 138)
OAK_FRONT = (196, 146, 92)
OAK_SIDE = (160, 113, 68)
OAK_SHADE = (122, 84, 50)
WALNUT = (140, 88, 52)
WALNUT_TOP = (176, 118, 74)
WALNUT_SIDE = (104, 64, 38)
METAL = (92, 94, 102)
PLASTIC = (46, 48, 56)
PLASTIC_HI = (84, 88, 100)
SCREEN_TOP = (58, 112, 178)
SCREEN_BOTTOM = (28, 62, 112)
BRASS = (214, 166, 72)


def background(cv):
    cv.fill_rect(0, 0, cv.width, cv.height,
                 linear((0, 0), (0, cv.height), [(0, (252, 251, 249)), (1, (234, 232, 228))]))


# ---------------------------------------------------------------------------
# Pictures
# ---------------------------------------------------------------------------


def draw_monitor(cv, P, x0, x1, z, y_base, height, detail=True):
    """A flat screen on a stand, facing the viewer, standing on y_base."""
    stand_h = height * 0.16
    y0, y1 = y_base + stand_h, y_base + height
    cx = (x0 + x1) / 2
    thick = 1.4
    # Foot of the stand, lying on the desk.
    foot = P.top(cx - 5, cx + 5, y_base, z - 2.5, z + 2.5)
    cv.polygon(foot, PLASTIC_HI, outline=PLASTIC, width=0.5)
    # Neck.
    cv.polygon(P.front(cx - 1.4, cx + 1.4, y_base, y0 + 2, z + 0.6), linear(
        P(cx - 1.4, 0, z), P(cx + 1.4, 0, z), [(0, PLASTIC_HI), (1, PLASTIC)]))
    # Case: right side, top edge, then the front bezel.
    cv.polygon(P.side(x1, y0, y1, z - thick, z), (30, 31, 36))
    cv.polygon(P.top(x0, x1, y1, z - thick, z), (70, 72, 82))
    bezel = P.front(x0, x1, y0, y1, z - thick)
    cv.polygon(bezel, PLASTIC, outline=(24, 24, 28), width=0.5)
    # Screen with a soft diagonal reflection.
    b = 1.6
    sx0, sx1, sy0, sy1 = x0 + b, x1 - b, y0 + b + (0.6 if detail else 0), y1 - b
    screen = P.front(sx0, sx1, sy0, sy1, z - thick)
    top_left, bottom_right = screen[0], screen[2]
    cv.polygon(screen, linear(top_left, bottom_right, [(0, SCREEN_TOP), (1, SCREEN_BOTTOM)]))
    if detail:
        w, h = sx1 - sx0, sy1 - sy0
        cv.fill_path([[P(sx0, sy1, z - thick), P(sx0 + w * 0.42, sy1, z - thick),
                       P(sx0, sy1 - h * 0.62, z - thick)]], (255, 255, 255), 0.13)
        # A window on the desktop, so the screen reads as switched on.
        wx0, wx1 = sx0 + w * 0.45, sx0 + w * 0.88
        wy1, wy0 = sy1 - h * 0.2, sy1 - h * 0.68
        cv.polygon(P.front(wx0, wx1, wy0, wy1, z - thick), (226, 234, 244))
        cv.polygon(P.front(wx0, wx1, wy1 - 1.6, wy1, z - thick), (236, 160, 72))
        for k in range(3):
            ly = wy1 - 3.2 - k * 2.0
            cv.polygon(P.front(wx0 + 1.2, wx1 - 1.2 - k * 1.6, ly - 0.7, ly, z - thick),
                       (150, 166, 190))
        # Power light.
        cv.ellipse(*P(x1 - 2.5, y0 + 0.8, z - thick), 0.45, 0.45, (110, 220, 120))


def draw_keyboard(cv, P, x0, x1, z0, z1, y):
    body = P.top(x0, x1, y + 0.9, z0, z1)
    cv.polygon(P.front(x0, x1, y, y + 0.9, z0), (28, 29, 34))
    cv.polygon(body, PLASTIC, outline=(24, 24, 28), width=0.4)
    rows, cols = 4, 13
    kw = (x1 - x0 - 2) / cols
    kd = (z1 - z0 - 1.6) / rows
    for rrow in range(rows):
        for c in range(cols):
            if rrow == 0 and 4 <= c <= 9:
                continue  # the space bar takes this room
            kx0 = x0 + 1 + c * kw + 0.18
            kz0 = z0 + 0.8 + rrow * kd + 0.15
            cv.polygon(P.top(kx0, kx0 + kw - 0.36, y + 0.9, kz0, kz0 + kd - 0.3), PLASTIC_HI)
    sx0 = x0 + 1 + 4 * kw + 0.18
    cv.polygon(P.top(sx0, sx0 + 6 * kw - 0.36, y + 0.9, z0 + 0.95, z0 + 0.8 + kd - 0.15),
               (104, 108, 120))


def draw_desk_picture():
    cv = Canvas(100, 100)
    background(cv)
    P = Oblique(5, 90, kx=0.5, ky=0.45)
    W, H, D, T = 72, 36, 28, 3.2  # width, height, depth, top thickness
    out = INK

    cv.soft_shadow(*P(W / 2 + 1, 0, D / 2), 50, 12, strength=0.45)

    top_grad = linear(P(0, H, D), P(W, H, 0), [(0, shade(OAK_TOP, 1.08)), (1, OAK_TOP)])
    # Back (modesty) panel, seen through the knee space.
    cv.polygon(P.front(3, 48, 12, H - T, D - 2), shade(OAK_SHADE, 0.85))
    # Left side panel: its inner face is in shadow, its front edge catches the light.
    cv.polygon(P.side(3.2, 0, H - T, 0, D - 0.5), linear(
        P(3, H, 0), P(3, 0, D), [(0, OAK_SHADE), (1, shade(OAK_SHADE, 0.7))]))
    box(cv, P, 0, 3.2, 0, H - T, 0.5, D - 0.5, wood(OAK_FRONT, (0, 1)), OAK_TOP, OAK_SIDE,
        out, 0.5)
    # Right pedestal with three drawers.
    px0, px1 = 48, W - 1
    box(cv, P, px0, px1, 0, H - T, 0.5, D - 1,
        wood(OAK_FRONT, (1, 0), gradient=linear(P(px0, H, 0), P(px1, 0, 0),
                                                [(0, shade(OAK_FRONT, 1.06)), (1, OAK_FRONT)])),
        OAK_TOP, linear(P(px1, H, 0), P(px1, 0, D), [(0, OAK_SIDE), (1, shade(OAK_SIDE, 0.8))]),
        out, 0.5)
    cv.polygon(P.front(px0, px0 + 1.0, 0.3, H - T, 0.5), (0, 0, 0), alpha=0.12)  # plinth edge
    gap = 0.9
    rows = [(1.5, 11.5), (12.5, 22.0), (23.0, H - T - 1.2)]
    for d0, d1 in rows:
        face = P.front(px0 + 1.6, px1 - 1.6, d0, d1, 0.5)
        cv.polygon(face, wood(shade(OAK_FRONT, 1.1), (1, 0), strength=0.05))
        # Shadow along the top and left of each drawer's gap, light along the bottom.
        cv.line(face[0], face[1], (90, 60, 36), gap * 0.6)
        cv.line(face[3], face[2], (250, 226, 190), 0.5)
        hx = (px0 + px1) / 2
        hy = (d0 + d1) / 2 + 1
        handle = P.front(hx - 4, hx + 4, hy - 0.55, hy + 0.55, 0.2)
        cv.polygon(handle, linear(handle[0], handle[3], [(0, (206, 208, 214)), (1, METAL)]),
                   outline=(60, 60, 66), width=0.35)
    # The top: front edge, right edge, then the surface with grain.
    box(cv, P, -1, W + 1, H - T, H, -1.5, D, wood(OAK_SIDE, (1, 0), gradient=linear(
        P(0, H, 0), P(0, H - T, 0), [(0, shade(OAK_FRONT, 1.05)), (1, OAK_SIDE)])),
        wood(OAK_TOP, (1, 0), gradient=top_grad, strength=0.08), shade(OAK_SIDE, 0.85), out, 0.6)
    cv.line(P(-0.6, H - 0.35, -1.5), P(W + 0.6, H - 0.35, -1.5), (250, 228, 196), 0.45)

    # What stands on it: the monitor's shadow, the monitor, keyboard and mouse.
    cv.fill_path([P.top(17, 49, H, 17, 24)], (60, 40, 20), 0.18)
    draw_monitor(cv, P, 15, 47, 21, H, 30)
    cv.fill_path([P.top(13.5, 46, H, 3.5, 12)], (60, 40, 20), 0.2)
    draw_keyboard(cv, P, 13, 45, 3, 11, H)
    # Mouse on its pad.
    cv.polygon(P.top(51, 61, H + 0.1, 3, 12), (70, 104, 140), outline=(40, 60, 84), width=0.35)
    mx, my = P(56, H + 0.2, 7.5)
    cv.ellipse(mx, my + 0.5, 2.0, 1.5, (0, 0, 0), 0.25)
    cv.ellipse(mx, my, 1.9, 1.4, (236, 237, 240))
    cv.ellipse(mx - 0.4, my - 0.5, 0.8, 0.5, (255, 255, 255))
    return cv


def draw_chest_picture():
    cv = Canvas(100, 100)
    background(cv)
    P = Oblique(17, 93, kx=0.5, ky=0.45)
    W, H, D = 56, 70, 26
    feet = 5
    out = (48, 28, 16)

    cv.soft_shadow(*P(W / 2 + 1, 0, D / 2), 40, 10, strength=0.45)

    # Feet: four tapered blocks (the back-left one is hidden).
    for fx, fz in ((1.5, 1.5), (W - 6.5, 1.5), (W - 6.5, D - 6.5)):
        box(cv, P, fx, fx + 5, 0, feet, fz, fz + 5,
            linear(P(fx, 0, fz), P(fx + 5, 0, fz), [(0, shade(WALNUT, 0.8)),
                                                  (1, shade(WALNUT, 0.55))]),
            WALNUT, WALNUT_SIDE, out, 0.45)
    # Body.
    body_front = wood(WALNUT, (1, 0), gradient=linear(
        P(0, H, 0), P(W, feet, 0), [(0, shade(WALNUT, 1.08)), (1, shade(WALNUT, 0.92))]))
    body_side = wood(WALNUT_SIDE, (0, 1), gradient=linear(
        P(W, H, 0), P(W, feet, D), [(0, WALNUT_SIDE), (1, shade(WALNUT_SIDE, 0.75))]))
    box(cv, P, 0, W, feet, H - 3, 0, D, body_front, WALNUT_TOP, body_side, out, 0.55)
    # Plinth rail along the bottom of the front.
    plinth = P.front(0.3, W - 0.3, feet + 0.3, feet + 3, 0)
    cv.polygon(plinth, shade(WALNUT, 0.78))
    cv.line(plinth[0], plinth[1], (70, 40, 22), 0.4)
    # Top slab, slightly overhanging.
    box(cv, P, -1.5, W + 1.5, H - 3, H, -1.5, D + 0.5,
        linear(P(0, H, 0), P(0, H - 3, 0), [(0, shade(WALNUT_TOP, 1.05)), (1, WALNUT)]),
        wood(WALNUT_TOP, (1, 0), gradient=linear(P(0, H, D), P(W, H, 0), [
            (0, shade(WALNUT_TOP, 1.12)), (1, WALNUT_TOP)]), strength=0.09),
        shade(WALNUT_SIDE, 1.05), out, 0.6)
    cv.line(P(-1.1, H - 0.3, -1.5), P(W + 1.1, H - 0.3, -1.5), (236, 196, 150), 0.45)

    # Four drawers, the lowest a little deeper.
    bottoms = [feet + 4, 22.5, 36.5, 50.0, H - 4]
    for k in range(4):
        d0, d1 = bottoms[k] + 0.6, bottoms[k + 1] - 0.6
        x0, x1 = 2.2, W - 2.2
        recess = P.front(x0 - 0.7, x1 + 0.7, d0 - 0.6, d1 + 0.6, 0)
        cv.polygon(recess, (62, 36, 20))
        face = P.front(x0, x1, d0, d1, -0.3)
        cv.polygon(face, wood(shade(WALNUT, 1.1), (1, 0), strength=0.09, gradient=linear(
            face[0], face[2], [(0, shade(WALNUT, 1.16)), (1, shade(WALNUT, 0.98))])))
        cv.line(face[0], face[1], (214, 164, 118), 0.45)  # lit upper edge
        cv.line(face[1], face[2], (214, 164, 118), 0.35)
        cv.line(face[3], face[2], (70, 40, 22), 0.5)
        # A pair of brass knobs on a small back plate.
        cy = (d0 + d1) / 2
        for hx in (W * 0.28, W * 0.72):
            x, y = P(hx, cy, -0.3)
            cv.ellipse(x + 0.35, y + 0.9, 2.2, 1.6, (0, 0, 0), 0.3)
            cv.ellipse(x, y, 2.1, 2.1, linear((x - 2, y - 2), (x + 2, y + 2), [
                (0, (250, 222, 140)), (0.55, BRASS), (1, (120, 84, 28))]))
            cv.ellipse(x - 0.6, y - 0.7, 0.7, 0.55, (255, 246, 210))
    return cv


# 5x7 letters for the shop's name, Столвер.
GLYPHS = {
    "С": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "Т": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "О": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "Л": ["..###", ".#..#", ".#..#", ".#..#", ".#..#", ".#..#", "#...#"],
    "В": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "Е": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "Р": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
}


def draw_text(cv, text, x, y, scale, colour):
    for ch in text:
        for row, bits in enumerate(GLYPHS[ch]):
            for col, bit in enumerate(bits):
                if bit == "#":
                    cv.fill_rect(x + col * scale, y + row * scale,
                                 x + (col + 1) * scale, y + (row + 1) * scale, colour)
        x += 6 * scale


def text_width(text, scale):
    return (6 * len(text) - 1) * scale


def draw_logo():
    cv = Canvas(120, 120, background=(255, 255, 255))
    cx, cy, r = 60, 50, 43
    deep, rich = (74, 44, 24), (128, 80, 44)
    cream = (248, 236, 212)
    # Medallion: dark wood disc, brass ring, inner hairline.
    cv.ellipse(cx + 0.8, cy + 1.6, r, r, (0, 0, 0), 0.18, segments=96)
    cv.ellipse(cx, cy, r, r, linear((cx, cy - r), (cx, cy + r), [(0, (236, 190, 96)),
                                                                 (1, (170, 118, 40))]), segments=96)
    cv.ellipse(cx, cy, r - 3, r - 3, wood(rich, (1, 0), period=4.0, strength=0.12,
                                          gradient=linear((cx - r, cy - r), (cx + r, cy + r),
                                                          [(0, rich), (1, deep)])), segments=96)
    cv.fill_path([ellipse_points(cx, cy, r - 5.5, r - 5.5, 96),
                  ellipse_points(cx, cy, r - 6.3, r - 6.3, 96)], (232, 190, 110), 0.7)

    # Emblem: a desk with a drawer pedestal and a screen on it, in cream.
    P = Oblique(cx - 26, cy + 22, kx=0.45, ky=0.35)
    W, H, D, T = 46, 22, 14, 3.6
    side = (214, 190, 152)
    top_face = (255, 248, 232)
    # Screen first, behind the top.
    sx0, sx1 = 9, 31
    scr = P.front(sx0, sx1, H + 4, H + 20, D - 4)
    cv.polygon(P.front((sx0 + sx1) / 2 - 1.5, (sx0 + sx1) / 2 + 1.5, H, H + 5, D - 3.5), side)
    cv.polygon(scr, cream)
    cv.polygon(P.front(sx0 + 2, sx1 - 2, H + 6, H + 18, D - 4), linear(
        scr[0], scr[2], [(0, (120, 78, 44)), (1, (92, 56, 30))]))
    cv.fill_path([[P(sx0 + 2, H + 18, D - 4), P(sx0 + 10, H + 18, D - 4),
                   P(sx0 + 2, H + 10, D - 4)]], cream, 0.25)
    # Left panel, pedestal and top.
    box(cv, P, 1, 5, 0, H - T, 0.5, D - 0.5, cream, top_face, side)
    px0, px1 = 28, W - 1
    box(cv, P, px0, px1, 0, H - T, 0.5, D - 0.5, cream, top_face, side)
    for dy in (6.0, 12.0):
        cv.line(P(px0 + 1.5, dy, 0.5), P(px1 - 1.5, dy, 0.5), deep, 1.0)
    for dy in (3.0, 9.0, 15.0):
        hx = (px0 + px1) / 2
        cv.line(P(hx - 2.5, dy, 0.5), P(hx + 2.5, dy, 0.5), deep, 1.0)
    box(cv, P, -1, W + 1, H - T, H, 0, D, cream, top_face, side)

    name = "СТОЛВЕР"
    scale = 2
    tx = (cv.width - text_width(name, scale)) // 2
    draw_text(cv, name, tx, 102, scale, deep)
    cv.fill_rect(tx, 99, tx + text_width(name, scale), 99.6, (200, 150, 70))
    return cv


# The icon's sizes: the small and large icons at 100 % to 200 % scale, and the shell's views.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def draw_icon(size):
    """The 16-pixel drawing sits on the pixel grid; larger sizes scale the 32-pixel one."""
    big = size >= 20
    # Fewer samples for the largest image: its pixels are small enough already.
    cv = Canvas(size, size, supersample=2 if size > 64 else 4, scale=size / 32 if big else 1.0)
    out = (40, 26, 16)
    if big:
        P = Oblique(1, 30.5, kx=0.5, ky=0.5)
        W, H, D, T = 24, 12, 8, 2.5
        cv.soft_shadow(*P(W / 2 + 1, 0, D / 2), 15, 3.0, strength=0.35, steps=5)
        box(cv, P, 0.5, 2.5, 0, H - T, 0.5, D - 0.5, OAK_FRONT, OAK_TOP, OAK_SIDE, out, 0.8)
        box(cv, P, 15, W - 0.5, 0, H - T, 0.5, D - 0.5, OAK_FRONT, OAK_TOP, OAK_SIDE, out, 0.8)
        for dy in (3.2, 6.4):
            cv.line(P(15.6, dy, 0.5), P(W - 1.1, dy, 0.5), (110, 70, 40), 0.8)
        for dy in (1.6, 4.8, 7.9):
            cv.line(P(18, dy, 0.5), P(21, dy, 0.5), (70, 50, 36), 0.8)
        box(cv, P, -0.5, W + 0.5, H - T, H, 0, D,
            shade(OAK_FRONT, 0.95), shade(OAK_TOP, 1.05), OAK_SIDE, out, 0.9)
        # Monitor.
        mx0, mx1, mz = 3, 20, 5.5
        cv.polygon(P.front(10.5, 12.5, H, H + 3, mz), PLASTIC)
        cv.polygon(P.top(8, 15, H, mz - 1.2, mz + 1.2), PLASTIC_HI, outline=(20, 20, 24),
                   width=0.6)
        cv.polygon(P.side(mx1, H + 2.5, H + 15, mz - 1, mz), (24, 24, 28))
        cv.polygon(P.top(mx0, mx1, H + 15, mz - 1, mz), (80, 82, 92))
        bez = P.front(mx0, mx1, H + 2.5, H + 15, mz - 1)
        cv.polygon(bez, PLASTIC, outline=(18, 18, 22), width=0.8)
        scr = P.front(mx0 + 1.5, mx1 - 1.5, H + 4, H + 13.5, mz - 1)
        cv.polygon(scr, linear(scr[0], scr[2], [(0, (88, 150, 220)), (1, (30, 70, 130))]))
        cv.fill_path([[scr[0], (scr[0][0] + 6, scr[0][1]), (scr[0][0], scr[0][1] + 6)]],
                     (255, 255, 255), 0.25)
        # Keyboard.
        kb = P.top(4.5, 16.5, H, 1, 3.5)
        cv.polygon(kb, (70, 72, 82), outline=(24, 24, 28), width=0.6)
    else:
        # 16x16: drawn on the pixel grid so the edges stay sharp.
        cv.rect(3, 0, 13, 8, PLASTIC, outline=(16, 16, 20))
        cv.fill_rect(4, 1, 12, 7, linear((4, 1), (12, 7), [(0, (96, 158, 226)),
                                                             (1, (32, 74, 136))]))
        cv.fill_path([[(4, 1), (7, 1), (4, 4)]], (255, 255, 255), 0.3)
        cv.fill_rect(7, 8, 9, 9, PLASTIC)
        cv.fill_rect(0, 9, 16, 12, OAK_TOP)
        cv.fill_rect(0, 9, 16, 10, shade(OAK_TOP, 1.15))
        cv.rect(1, 11, 3, 16, OAK_FRONT, outline=out)
        cv.rect(9, 11, 15, 16, OAK_FRONT, outline=out)
        cv.fill_rect(10, 13, 14, 14, (120, 80, 46))
        cv.rect(0, 9, 16, 12, OAK_TOP, outline=out)
        cv.fill_rect(1, 10, 15, 11, shade(OAK_TOP, 1.1))
    return cv


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

# Pixels per metre as the pictures have always been stored; Windows ignores them.
DPI = (72, 72)


def encode(image, kind, **options):
    out = io.BytesIO()
    image.save(out, kind, **options)
    return out.getvalue()


def icon_file(images):
    """An icon file of images given smallest first, each stored as PNG: read by Windows since
    Vista, and smaller than a bitmap at every size, which keeps the program small."""
    *smaller, largest = images
    return encode(largest, "ICO", sizes=[image.size for image in images], append_images=smaller)


def palette_bitmap(image):
    """An 8-bit palette bitmap: a quarter of the 24-bit size for a picture whose colours are
    few, like the logo's. The max-coverage palette keeps every pixel of it within 4 of 255 of
    the drawing in each channel; Pillow's other methods stray further."""
    return encode(image.convert("RGB").quantize(256, Image.Quantize.MAXCOVERAGE), "BMP",
                  dpi=DPI)


def enlarge(image, factor):
    """Nearest-neighbour enlargement; transparent parts over a light checkerboard."""
    big = image.convert("RGBA").resize((image.width * factor, image.height * factor),
                                       Image.Resampling.NEAREST)
    board = Image.new("RGBA", big.size, (250, 250, 250, 255))
    dark = Image.new("RGBA", (8, 8), (236, 236, 236, 255))
    for y in range(0, big.height, 8):
        for x in range(8 - y % 16, big.width, 16):
            board.paste(dark, (x, y))
    return Image.alpha_composite(board, big)


# ---------------------------------------------------------------------------


def render():
    """Every file of assets/ this script owns, name -> bytes."""
    return {
        "deskfind.ico": icon_file([draw_icon(size).image() for size in ICON_SIZES]),
        "logo.bmp": palette_bitmap(draw_logo().image()),
        "desk.bmp": encode(draw_desk_picture().image().convert("RGB"), "BMP", dpi=DPI),
        "chest.bmp": encode(draw_chest_picture().image().convert("RGB"), "BMP", dpi=DPI),
    }


def write_previews(files, folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        stem = os.path.splitext(name)[0]
        # Read back from the bytes, so the previews show what is stored.
        stored = Image.open(io.BytesIO(data))
        for size in sorted(stored.info.get("sizes", [stored.size])):
            if size != stored.size:
                stored.size = size  # an icon file loads the image of the size set
            stored.load()
            suffix = "-%d" % size[0] if name.endswith(".ico") else ""
            factor = max(1, 400 // size[0])
            enlarge(stored, factor).save(os.path.join(folder, "%s%s.png" % (stem, suffix)))
            stored.save(os.path.join(folder, "%s%s-1x.png" % (stem, suffix)))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(epilog=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, os.pardir, "assets"),
                        help="folder to write into (default: the repository's assets/)")
    parser.add_argument("--check", action="store_true",
                        help="compare with the stored files instead of writing them")
    parser.add_argument("--preview", metavar="DIR", help="also write PNG previews into DIR")
    args = parser.parse_args(argv)

    files = render()
    if not args.check:
        os.makedirs(args.out, exist_ok=True)
    status = 0
    for name, data in files.items():
        path = os.path.join(args.out, name)
        if args.check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print("%s: differs from a fresh drawing" % os.path.normpath(path), file=sys.stderr)
                status = 1
        else:
            with open(path, "wb") as f:
                f.write(data)
            print("%s: %d bytes" % (os.path.normpath(path), len(data)))
    if args.preview:
        write_previews(files, args.preview)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
