"""A small drawing surface for the pictures and the icon.

Colours are (red, green, blue) in 0..255. The canvas keeps premultiplied floating-point colour
and coverage per pixel; shapes are given as signed distance functions (negative inside, in
pixels) and drawn with one pixel of soft edge, so curves and slanted lines come out smooth.
Text is drawn crisp, pixel for pixel, from the font module.

WATCHOUT: the generated files must come out byte for byte the same on every machine. Only the
operations IEEE arithmetic rounds exactly are used here (+, -, *, /, math.sqrt); sine and cosine
are computed by our own series rather than the C library's, and nothing sums floats with sum()
(whose rounding changed between Python versions).

    c = Canvas(400, 120)
    c.fill_all(lambda x, y: lerp(TOP, BOTTOM, y / 120))
    c.shape(rounded_box(10, 10, 60, 40, 6), (255, 255, 255))
    c.text(70, 12, "Hello", (0, 0, 0), scale=2)
"""

import math

import font

PI = 3.141592653589793


def sin(x):
    """Sine by range reduction to [-pi/2, pi/2] and a Taylor series (deterministic)."""
    twopi = 2.0 * PI
    k = math.floor(x / twopi + 0.5)
    x = x - k * twopi              # now in [-pi, pi]
    if x > PI / 2.0:
        x = PI - x
    elif x < -PI / 2.0:
        x = -PI - x
    term = x
    total = x
    x2 = x * x
    for n in range(1, 12):
        term = -term * x2 / ((2 * n) * (2 * n + 1))
        total = total + term
    return total


def cos(x):
    return sin(x + PI / 2.0)


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def lerp(a, b, t):
    """Colour between a (t = 0) and b (t = 1)."""
    t = clamp(t, 0.0, 1.0)
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t)


def hexcolour(text):
    v = int(text.lstrip("#"), 16)
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)


# Signed distance functions. Each returns a function of a point (x, y) plus the bounding box
# (x0, y0, x1, y1) outside which the distance is certainly positive.

class Shape:
    def __init__(self, fn, box):
        self.fn = fn
        self.box = box

    def __or__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: min(a(x, y), b(x, y)), _union_box(self.box, other.box))

    def __sub__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def __and__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: max(a(x, y), b(x, y)), self.box)


def _union_box(p, q):
    return (min(p[0], q[0]), min(p[1], q[1]), max(p[2], q[2]), max(p[3], q[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r,
                 (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, half):
    return Shape(lambda x, y: abs(math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r) - half,
                 (cx - r - half, cy - r - half, cx + r + half, cy + r + half))


def rounded_box(x0, y0, x1, y1, radius=0.0):
    """Box from (x0, y0) to (x1, y1) in pixel edges, corners rounded by radius."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def fn(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        ox, oy = max(qx, 0.0), max(qy, 0.0)
        return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - radius

    return Shape(fn, (x0, y0, x1, y1))


def _segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0.0 else clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0)
    px, py = ax + t * dx - x, ay + t * dy - y
    return math.sqrt(px * px + py * py)


def segment(ax, ay, bx, by, half):
    """Stroke of half-width half from (ax, ay) to (bx, by), with round ends."""
    return Shape(lambda x, y: _segment_distance(x, y, ax, ay, bx, by) - half,
                 (min(ax, bx) - half, min(ay, by) - half, max(ax, bx) + half, max(ay, by) + half))


def polyline(points, half):
    """Stroke through the points, joints rounded."""
    pairs = list(zip(points, points[1:]))

    def fn(x, y):
        best = None
        for (ax, ay), (bx, by) in pairs:
            d = _segment_distance(x, y, ax, ay, bx, by)
            if best is None or d < best:
                best = d
        return best - half

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(fn, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half))


def polygon(points):
    """Filled polygon (even-odd rule)."""
    edges = list(zip(points, points[1:] + points[:1]))

    def fn(x, y):
        best = None
        inside = False
        for (ax, ay), (bx, by) in edges:
            d = _segment_distance(x, y, ax, ay, bx, by)
            if best is None or d < best:
                best = d
            if (ay > y) != (by > y):
                cross = ax + (y - ay) * (bx - ax) / (by - ay)
                if x < cross:
                    inside = not inside
        return -best if inside else best

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(fn, (min(xs), min(ys), max(xs), max(ys)))


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        n = width * height
        # Premultiplied colour and coverage per pixel, row by row from the top.
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.a = [0.0] * n

    def blend(self, x, y, colour, alpha):
        """Lays colour with opacity alpha over pixel (x, y)."""
        if alpha <= 0.0 or x < 0 or y < 0 or x >= self.width or y >= self.height:
            return
        i = y * self.width + x
        keep = 1.0 - alpha
        self.r[i] = colour[0] * alpha + self.r[i] * keep
        self.g[i] = colour[1] * alpha + self.g[i] * keep
        self.b[i] = colour[2] * alpha + self.b[i] * keep
        self.a[i] = alpha + self.a[i] * keep

    def fill_all(self, paint):
        """Covers the whole canvas with paint(x, y), a colour per pixel centre."""
        for y in range(self.height):
            for x in range(self.width):
                self.blend(x, y, paint(x + 0.5, y + 0.5), 1.0)

    def shape(self, shape, paint, opacity=1.0):
        """Fills a shape with a colour, or with paint(x, y) for a colour per pixel."""
        x0, y0, x1, y1 = shape.box
        xa, ya = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        xb, yb = min(self.width, int(math.ceil(x1)) + 1), min(self.height, int(math.ceil(y1)) + 1)
        fn = shape.fn
        painter = paint if callable(paint) else None
        for y in range(ya, yb):
            py = y + 0.5
            for x in range(xa, xb):
                px = x + 0.5
                cover = 0.5 - fn(px, py)
                if cover <= 0.0:
                    continue
                if cover > 1.0:
                    cover = 1.0
                self.blend(x, y, painter(px, py) if painter else paint, cover * opacity)

    def text(self, x, y, text, colour, scale=1, shadow=None):
        """Draws one line of text with its top-left corner at (x, y); returns its width.

        shadow is an optional (colour, dx, dy) drawn first, offset behind the letters.
        """
        if shadow is not None:
            self._text(x + shadow[1], y + shadow[2], text, shadow[0], scale)
        return self._text(x, y, text, colour, scale)

    def _text(self, x, y, text, colour, scale):
        pen = x
        for ch in text:
            for col, row in font.glyph_pixels(ch):
                for sy in range(scale):
                    for sx in range(scale):
                        self.blend(pen + col * scale + sx, y + row * scale + sy, colour, 1.0)
            pen += (font.glyph_width(ch) + font.SPACING) * scale
        return pen - x

    def rgba(self, background=None):
        """Rounded 8-bit pixels, top row first: (r, g, b, alpha) tuples.

        With a background colour every pixel is first laid over it, so all come out opaque.
        """
        out = []
        for i in range(self.width * self.height):
            r, g, b, a = self.r[i], self.g[i], self.b[i], self.a[i]
            if background is not None:
                keep = 1.0 - a
                r, g, b, a = (r + background[0] * keep, g + background[1] * keep,
                              b + background[2] * keep, 1.0)
            if a > 0.0:
                r, g, b = r / a, g / a, b / a
            out.append((_byte(r), _byte(g), _byte(b), _byte(a * 255.0)))
        return out


def _byte(v):
    return int(clamp(math.floor(v + 0.5), 0, 255))
