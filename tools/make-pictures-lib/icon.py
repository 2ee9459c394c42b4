"""The program's icon: a sound file, a sheet with a folded corner and level bars on it.

Drawn from shapes in a unit square, so it comes out sharp at any size: 32 x 32 for the icon
group (16 and 256 colours, each with a transparency mask) and larger for the desktop PNGs.

    canvas = draw(32)
"""

from canvas import Canvas, lerp, polygon, rounded_box

TOP = (40, 84, 196)       # sheet colour at the top
BOTTOM = (14, 150, 160)   # sheet colour at the bottom
EDGE = (10, 24, 64)       # outline
FOLD = (170, 210, 250)    # the folded-over corner
WAVE = (255, 255, 255)    # level bars at their middle
GLOW = (255, 222, 120)    # level bars at their ends
SHADE = (8, 30, 70)       # shadow under the bars


def draw(size):
    c = Canvas(size, size)
    s = size / 32.0

    def p(x, y):
        return (x * s, y * s)

    fold = 8.0
    sheet = [p(4, 1), p(28 - fold, 1), p(28, 1 + fold), p(28, 31), p(4, 31)]
    c.shape(polygon(sheet), EDGE)
    inner = [p(5.3, 2.3), p(27.4 - fold, 2.3), p(26.7, 1.6 + fold), p(26.7, 29.7), p(5.3, 29.7)]
    c.shape(polygon(inner), lambda x, y: lerp(TOP, BOTTOM, y / size))
    c.shape(polygon([p(28 - fold, 1), p(28 - fold, 1 + fold), p(28, 1 + fold)]), EDGE)
    c.shape(polygon([p(28 - fold + 1.2, 2.8), p(28 - fold + 1.2, fold - 0.2),
                     p(28 - 1.8, fold - 0.2)]), FOLD)

    # Level bars read as sound even at 32 pixels; they sit on whole pixels there, so they
    # stay sharp in the 16-colour image.
    for i, half in enumerate((3.0, 6.0, 9.0, 5.0, 7.0, 2.0)):
        x = 8.0 + 3.0 * i
        c.shape(rounded_box(x * s + s, (18.0 - half) * s + s, (x + 2.0) * s + s,
                            (18.0 + half) * s + s, 0.6 * s), SHADE, 0.6)
        c.shape(rounded_box(x * s, (18.0 - half) * s, (x + 2.0) * s, (18.0 + half) * s, 0.6 * s),
                lambda px, py: lerp(WAVE, GLOW, abs(py / s - 18.0) / 9.0))
    return c
