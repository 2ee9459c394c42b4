"""The nine announcement pictures, 400 x 120 pixels, in the order the window pages them.

Each page has a background of its own colours, an illustration on the left and a title with a
few lines of text on the right. In the text, {braces} mark words drawn in the page's accent
colour. A text that does not fit its box stops the generator rather than being cut off.

    for number, canvas in render_all(): ...
"""

import font
from canvas import Canvas, circle, hexcolour, lerp, polygon, polyline, rounded_box, segment, sin, PI

WIDTH, HEIGHT = 400, 120
TEXT_X = 136            # left edge of the text column
TEXT_RIGHT = 392        # right edge of the text column
TITLE_Y = 9
BODY_Y = 35
LINE_HEIGHT = 11
BOTTOM = 112            # nothing of the text goes below this row

# Resource ids in the order the window shows them: 120 is the first page.
PAGE_ORDER = [120, 116, 117, 118, 119, 121, 122, 123, 124]

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


class Theme:
    def __init__(self, top, bottom, glow, title, body, accent, shadow):
        self.top = hexcolour(top)        # background colour at the top left
        self.bottom = hexcolour(bottom)  # background colour at the bottom right
        self.glow = hexcolour(glow)      # soft light behind the illustration
        self.title = hexcolour(title)
        self.body = hexcolour(body)
        self.accent = hexcolour(accent)  # highlighted words and illustration details
        self.shadow = hexcolour(shadow)  # drop shadow of the title


def background(c, theme):
    def paint(x, y):
        t = (x / WIDTH) * 0.35 + (y / HEIGHT) * 0.65
        return lerp(theme.top, theme.bottom, t)

    c.fill_all(paint)
    # A wide soft glow behind the illustration and two faint discs on the right for depth.
    for radius, opacity in ((70.0, 0.10), (52.0, 0.10), (36.0, 0.12)):
        c.shape(circle(66.0, 60.0, radius), theme.glow, opacity)
    c.shape(circle(372.0, 8.0, 46.0), theme.glow, 0.06)
    c.shape(circle(300.0, 132.0, 40.0), theme.glow, 0.05)
    # A thin line between illustration and text.
    c.shape(rounded_box(TEXT_X - 8, 14, TEXT_X - 7, 106), theme.glow, 0.35)


def draw_marked(c, x, y, line, colour, accent):
    """One line of text in which {words} are drawn in the accent colour."""
    pen = x
    current = colour
    run = ""
    for ch in line + "\0":
        if ch in "{}\0":
            if run:
                pen += c.text(pen, y, run, current) + font.SPACING
                run = ""
            current = accent if ch == "{" else colour
            continue
        run += ch
    return pen


def text_block(c, theme, title, body, page):
    c.page_text = page_text(theme, title, body, page)
    c.text(TEXT_X, TITLE_Y, title, theme.title, scale=2, shadow=(theme.shadow, 1, 1))
    if font.text_width(title, 2) > TEXT_RIGHT - TEXT_X:
        raise ValueError("title %r is too wide" % title)
    lines = font.wrap(body, TEXT_RIGHT - TEXT_X, ignore="{}")
    y = BODY_Y
    marked = False
    for line in lines:
        # A highlighted stretch broken over two lines goes on highlighted on the next one.
        if marked:
            line = "{" + line
        marked = line.rfind("{") > line.rfind("}")
        if line:
            draw_marked(c, TEXT_X, y, line, theme.body, theme.accent)
        y += LINE_HEIGHT
    if y - LINE_HEIGHT + font.HEIGHT > BOTTOM:
        raise ValueError("text of page %d runs out of the picture" % page)
    number = "%d/9" % page
    c.text(WIDTH - 6 - font.text_width(number), HEIGHT - 11, number, theme.glow)


def page_text(theme, title, body, page):
    """The words of a page as a text resource, for displays that cannot show the picture's
    small print: the title; the page's colours (background top and bottom, title, body, accent)
    as #rrggbb; its number as drawn in the corner; an empty line; then the body with its {marks}
    and line breaks as drawn."""
    colours = " ".join("#%02x%02x%02x" % colour for colour in
                       (theme.top, theme.bottom, theme.title, theme.body, theme.accent))
    return ("%s\n%s\n%d/9\n\n%s\n" % (title, colours, page, body)).encode("utf-8")


# Pieces of illustration used on several pages.

def document(c, x0, y0, x1, y1, paper, edge, label=None, label_colour=None):
    """A sheet with a folded top-right corner; label centred in its lower half."""
    fold = (x1 - x0) * 0.3
    outline = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    c.shape(rounded_box(x0 + 2, y0 + 3, x1 + 2, y1 + 3, 2.0), BLACK, 0.25)
    c.shape(polygon(outline), edge)
    inner = [(x0 + 1.5, y0 + 1.5), (x1 - fold - 0.6, y0 + 1.5), (x1 - 1.5, y0 + fold + 0.6),
             (x1 - 1.5, y1 - 1.5), (x0 + 1.5, y1 - 1.5)]
    c.shape(polygon(inner), lambda x, y: lerp(paper, lerp(paper, BLACK, 0.12), (y - y0) / (y1 - y0)))
    c.shape(polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)]), edge)
    c.shape(polygon([(x1 - fold + 1.5, y0 + 2.5), (x1 - fold + 1.5, y0 + fold - 1.5),
                     (x1 - 2.5, y0 + fold - 1.5)]), lerp(paper, WHITE, 0.5))
    if label:
        w = font.text_width(label)
        c.text(int((x0 + x1 - w) / 2 + 0.5), int(y1 - 12), label, label_colour or edge)


def wave_points(x0, x1, y, amplitude, cycles, phase=0.0, step=1.0, envelope=True):
    points = []
    x = x0
    while x <= x1 + 0.001:
        t = (x - x0) / (x1 - x0)
        shape = sin(PI * t) if envelope else 1.0
        v = sin(2.0 * PI * cycles * t + phase) * 0.7 + sin(2.0 * PI * cycles * 2.3 * t + 1.1) * 0.3
        points.append((x, y - amplitude * shape * v))
        x += step
    return points


def waveform(c, x0, x1, y, amplitude, cycles, colour, half=1.0, phase=0.0, envelope=True):
    c.shape(polyline(wave_points(x0, x1, y, amplitude, cycles, phase, 1.0, envelope), half), colour)


def arrow(c, x0, x1, y, colour, half=2.0):
    """Horizontal arrow from x0 to its head at x1 (either way round)."""
    head = 7.0 if x1 > x0 else -7.0
    c.shape(segment(x0, y, x1 - head * 0.8, y, half), colour)
    c.shape(polygon([(x1 - head, y - abs(head) * 0.8), (x1, y), (x1 - head, y + abs(head) * 0.8)]),
            colour)


def keycap(c, x0, y0, x1, y1, label=None, face=(236, 240, 232), side=(150, 160, 150),
           ink=(40, 50, 45)):
    c.shape(rounded_box(x0 + 1, y0 + 3, x1 + 1, y1 + 3, 4.0), BLACK, 0.3)
    c.shape(rounded_box(x0, y0, x1, y1, 4.0), side)
    c.shape(rounded_box(x0 + 2, y0 + 1, x1 - 2, y1 - 4, 3.0),
            lambda x, y: lerp(face, lerp(face, side, 0.4), (y - y0) / (y1 - y0)))
    if label:
        w = font.text_width(label)
        c.text(int((x0 + x1 - w) / 2), int((y0 + y1 - 4) / 2) - 3, label, ink)


def button(c, x0, y0, x1, y1, label, face, ink, pressed=False):
    c.shape(rounded_box(x0, y0, x1, y1, 2.0), (30, 30, 30))
    c.shape(rounded_box(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 1.5), lerp(face, WHITE, 0.5 if not pressed else 0.0))
    c.shape(rounded_box(x0 + 2, y0 + 2, x1 - 1, y1 - 1, 1.0), lerp(face, BLACK, 0.25))
    c.shape(rounded_box(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 1.0), face)
    w = font.text_width(label)
    c.text(int((x0 + x1 - w) / 2), int((y0 + y1) / 2) - 4, label, ink)


def pointer(c, x, y):
    """The mouse pointer, its tip at (x, y)."""
    outline = [(0, 0), (0, 15), (3.8, 11.6), (6.6, 17.4), (9.2, 16.2), (6.4, 10.6), (11.4, 10.6)]
    c.shape(polygon([(x + px + 1.5, y + py + 1.5) for px, py in outline]), BLACK, 0.3)
    c.shape(polygon([(x + px, y + py) for px, py in outline]), BLACK)
    inner = [(1.2, 2.8), (1.2, 12.2), (4.2, 9.4), (7.1, 15.4), (7.9, 15.0), (5.0, 9.2), (8.6, 9.2)]
    c.shape(polygon([(x + px, y + py) for px, py in inner]), WHITE)


def small_window(c, x0, y0, x1, y1, frame, face, title_colour=None):
    """A window with a title bar; returns the top of its client area."""
    c.shape(rounded_box(x0 + 2, y0 + 3, x1 + 2, y1 + 3, 3.0), BLACK, 0.3)
    c.shape(rounded_box(x0, y0, x1, y1, 3.0), frame)
    c.shape(rounded_box(x0 + 2, y0 + 12, x1 - 2, y1 - 2, 1.0), face)
    if title_colour is not None:
        for i, dot in enumerate(((236, 96, 90), (240, 190, 70), (110, 200, 100))):
            c.shape(circle(x0 + 7.5 + i * 7, y0 + 6.5, 2.3), dot)
    return y0 + 12


# The pages.

def page_welcome(c):
    t = Theme("#0a1a3a", "#0f6470", "#7fd8e6", "#fff4dc", "#e2eef4", "#ffd36e", "#02101c")
    background(c, t)
    document(c, 10, 26, 46, 80, (240, 234, 214), (70, 52, 30), "KOB", (120, 60, 20))
    c.text(15, 40, "0110", (150, 120, 80))
    c.text(15, 49, "1001", (150, 120, 80))
    arrow(c, 52, 72, 53, t.accent)
    document(c, 78, 26, 116, 80, (226, 244, 250), (20, 60, 90), "WAV", (20, 80, 140))
    waveform(c, 82, 112, 50, 9.0, 2.5, (40, 120, 210), 0.9)
    c.text(12, 92, "in", t.glow)
    c.text(84, 92, "out", t.glow)
    text_block(c, t, "Welcome to DUDEZ",
               "DUDEZ restores the sound held in {KOB} files. Every recording in them becomes "
               "a {WAVE} file (16-bit PCM), written next to the KOB file it came from.\n"
               "\n"
               "Press {Next} or the {Right} arrow for more.", 1)


def page_damage(c):
    t = Theme("#2a0812", "#7c2f0e", "#ffb08a", "#fff0e0", "#f6e4dc", "#ffd25a", "#1a0005")
    background(c, t)
    c.shape(rounded_box(46, 18, 80, 76, 3.0), (255, 70, 60), 0.22)
    c.shape(rounded_box(46, 18, 80, 76, 3.0) - rounded_box(47, 19, 79, 75, 2.0), (255, 120, 100), 0.8)
    left = wave_points(10, 46, 47, 22.0, 2.2, 0.0, 1.0, False)
    for i, (x, y) in enumerate(left):
        left[i] = (x, 47 + (y - 47) * ((46 - x) / 36.0 * 0.3 + 0.7))
    c.shape(polyline(left, 1.1), (255, 226, 140))
    c.shape(segment(46, 47, 80, 47, 1.1), (255, 226, 140))
    right = wave_points(80, 122, 47, 22.0, 2.6, 0.6, 1.0, False)
    c.shape(polyline(right, 1.1), (255, 226, 140))
    crack = [(58, 20), (63, 28), (57, 34), (65, 42)]
    c.shape(polyline(crack, 1.0), (255, 90, 70))
    c.text(52, 62, "0000", (255, 200, 180))
    document(c, 40, 82, 86, 112, (250, 246, 236), (90, 40, 30))
    c.text(46, 87, "take", (90, 40, 30))
    c.text(46, 97, ".err", (200, 50, 40))
    text_block(c, t, "Damaged blocks",
               "Every block is checked as it is restored. A damaged block becomes {silence}, "
               "and the rest of the sound comes back as usual. The damaged stretches are "
               "listed in a text file beside the sound: {take.wav.err}", 2)


def page_keys(c):
    t = Theme("#0b2a1a", "#24623e", "#a6f0b8", "#f4ffe8", "#e4f2e6", "#ffe27a", "#02140a")
    background(c, t)
    keycap(c, 10, 12, 58, 34, "Esc")
    keycap(c, 66, 12, 116, 34, "Return")
    keycap(c, 10, 44, 58, 70)
    keycap(c, 66, 44, 116, 70)
    ink = (40, 60, 48)
    arrow(c, 44, 22, 55, ink, 1.6)
    arrow(c, 80, 102, 55, ink, 1.6)
    keycap(c, 10, 80, 58, 102, "PgUp")
    keycap(c, 66, 80, 116, 102, "PgDn")
    text_block(c, t, "Keys at hand",
               "{Left} or {Page Up}: the previous page\n"
               "{Right} or {Page Down}: the next page\n"
               "{Escape}: ends DUDEZ at any time\n"
               "{Return}: closes DUDEZ once the button reads {Done}", 3)


def page_files(c):
    t = Theme("#160f3c", "#46308a", "#c4b0ff", "#fbf4ff", "#ebe4fa", "#ffd86a", "#08041c")
    background(c, t)
    back = (214, 160, 60)
    front = (244, 196, 90)
    c.shape(rounded_box(10, 22, 50, 34, 3.0), lerp(back, BLACK, 0.1))
    c.shape(rounded_box(10, 28, 118, 104, 4.0), back)
    c.shape(rounded_box(20, 14, 110, 80, 2.0), (250, 250, 246))
    names = [("take.kob", (110, 80, 40)), ("take.wav", (40, 90, 150)),
             ("take.1.wav", (200, 60, 60))]
    for i, (name, colour) in enumerate(names):
        y = 20 + i * 12
        c.shape(rounded_box(25, y, 31, y + 8, 1.0), colour)
        c.text(35, y, name, (50, 50, 60))
    c.shape(polygon([(6, 58), (122, 58), (116, 106), (12, 106)]),
            lambda x, y: lerp(front, lerp(front, back, 0.8), (y - 58) / 48.0))
    c.shape(segment(10, 59, 118, 59, 0.6), (255, 230, 160))
    c.text(44, 78, "one", (120, 80, 20))
    c.text(38, 88, "folder", (120, 80, 20))
    text_block(c, t, "Nothing overwritten",
               "Each WAVE file goes into the folder of its KOB file, named after the "
               "recording's stored name. An existing file is never touched: when {take.wav} "
               "is there already, the new file is {take.1.wav}, then {take.2.wav}, and so on.", 4)


def page_progress(c):
    t = Theme("#0c2230", "#1f5868", "#9ee4f4", "#f0fcff", "#dff0f4", "#ffcf5e", "#020c12")
    background(c, t)
    face = (212, 208, 200)
    top = small_window(c, 6, 16, 124, 98, (40, 70, 130), face, title_colour=True)
    c.shape(rounded_box(10, top + 6, 76, top + 16, 0.0), (255, 255, 255))
    c.text(12, top + 7, "take.wav", (20, 20, 20))
    c.shape(rounded_box(80, top + 6, 120, top + 16, 0.0), (255, 255, 255))
    c.text(118 - font.text_width("88200"), top + 7, "88200", (20, 20, 20))
    c.shape(rounded_box(10, top + 24, 120, top + 38, 0.0), (90, 90, 90))
    c.shape(rounded_box(11, top + 25, 119, top + 37, 0.0), (245, 245, 245))
    for i in range(9):
        x = 13 + i * 8
        c.shape(rounded_box(x, top + 27, x + 6, top + 35, 0.0),
                lambda px, py: lerp((60, 200, 90), (20, 120, 50), (py - top - 27) / 8.0))
    button(c, 78, top + 48, 120, top + 64, "Abort", face, (10, 10, 10))
    pointer(c, 110, top + 57)
    text_block(c, t, "Progress and Abort",
               "While a file is written the window shows its name, its size in bytes and a "
               "bar that fills as the work goes on. {Abort} or {Escape} stops at once: the "
               "unfinished file is {deleted}, and finished ones stay.", 5)


def page_entries(c):
    t = Theme("#2c1804", "#7c4c12", "#ffd89a", "#fff6e4", "#f6ead6", "#9ae6ff", "#140a00")
    background(c, t)
    document(c, 8, 32, 42, 86, (246, 236, 210), (90, 60, 20), "KOB", (130, 70, 20))
    for i in range(3):
        c.shape(rounded_box(13, 38 + i * 7, 33, 42 + i * 7, 1.0), (200, 150, 80))
    colours = [(70, 150, 230), (80, 190, 120), (230, 110, 90)]
    for i, colour in enumerate(colours):
        y = 12 + i * 34
        c.shape(polyline([(44, 59), (60, 59), (70, y + 16), (78, y + 16)], 1.2), t.accent, 0.8)
        document(c, 82, y, 116, y + 30, (236, 246, 252), (30, 60, 90))
        waveform(c, 85, 110, y + 18, 6.0, 1.5 + i * 0.7, colour, 0.9, phase=i * 1.3)
        c.text(86, y + 3, "%d" % (i + 1), colour)
    text_block(c, t, "Several in one",
               "One KOB file can hold several recordings, one after the other. Each becomes "
               "a WAVE file of its own, all in the KOB file's folder, and a recording with "
               "damage gets a listing of its own.", 6)


def page_terminal(c):
    t = Theme("#060a08", "#1a3024", "#7cf0a0", "#eaffef", "#d2ecda", "#7cf0a0", "#000000")
    background(c, t)
    top = small_window(c, 6, 18, 124, 100, (70, 80, 76), (12, 20, 14), title_colour=True)
    green = (110, 240, 140)
    dim = (70, 150, 96)
    c.text(11, top + 4, "$ dudez *.kob", green)
    c.text(11, top + 16, "take.wav", dim)
    c.shape(rounded_box(11, top + 28, 80, top + 36, 0.0), (40, 90, 56))
    c.shape(rounded_box(11, top + 28, 56, top + 36, 0.0), dim)
    c.text(11, top + 42, "$", green)
    c.shape(rounded_box(19, top + 42, 24, top + 49, 0.0), green)
    c.shape(rounded_box(6, 18, 124, 100, 3.0), lambda x, y: (0, 0, 0) if int(y) % 2 else green, 0.03)
    text_block(c, t, "No display needed",
               "Without an X display DUDEZ draws its window in the {terminal}. With no "
               "terminal either it runs {headless}: messages go to standard error, and it "
               "ends by itself once all files are done.", 7)


def page_lossless(c):
    t = Theme("#0e0f38", "#4c1c64", "#d0a8ff", "#fbf2ff", "#ece2f6", "#8ef0c8", "#06021a")
    background(c, t)
    waveform(c, 6, 124, 60, 30.0, 3.0, (120, 90, 200), 1.0, envelope=False)
    shield = [(66, 14), (100, 24), (98, 60), (66, 106), (34, 60), (32, 24)]
    c.shape(polygon([(x + 2, y + 3) for x, y in shield]), BLACK, 0.3)
    c.shape(polygon(shield), (230, 226, 246))
    inner = [(66, 19), (95, 28), (93, 58), (66, 99), (39, 58), (37, 28)]
    c.shape(polygon(inner), lambda x, y: lerp((90, 200, 160), (30, 110, 110), (y - 19) / 80.0))
    c.shape(polyline([(50, 56), (62, 70), (84, 40)], 4.0), (255, 255, 255))
    text_block(c, t, "Lossless and checked",
               "KOB is lossless: DUDEZ gives back every sample {bit for bit}. Checksums "
               "guard every header and the samples of every block, so damage is found, and "
               "never passed on as sound.", 8)


def page_failure(c):
    t = Theme("#34102a", "#b24a2c", "#ffc49a", "#fff4ea", "#fae8e0", "#ffe45c", "#160410")
    background(c, t)
    face = (226, 222, 214)
    top = small_window(c, 6, 20, 124, 98, (150, 50, 60), face)
    c.text(10, 23, "Error", (255, 236, 230))
    tri = [(22, top + 6), (34, top + 27), (10, top + 27)]
    c.shape(polygon(tri), (240, 190, 40))
    c.shape(segment(22, top + 12, 22, top + 19, 1.3), (40, 30, 10))
    c.shape(circle(22, top + 23.5, 1.4), (40, 30, 10))
    c.text(40, top + 6, "odd.kob is", (20, 20, 20))
    c.text(40, top + 16, "not a KOB", (20, 20, 20))
    c.text(40, top + 26, "file...", (20, 20, 20))
    button(c, 46, top + 44, 84, top + 60, "OK", face, (10, 10, 10))
    text_block(c, t, "When a file fails",
               "A file that is not a KOB file, or too damaged to read, is named in a message "
               "box. Press {OK} and DUDEZ goes on with the next file.\n"
               "\n"
               "{Next} takes you back to the first page.", 9)


_PAGES = {120: page_welcome, 116: page_damage, 117: page_keys, 118: page_files,
          119: page_progress, 121: page_entries, 122: page_terminal, 123: page_lossless,
          124: page_failure}


def render(ident):
    c = Canvas(WIDTH, HEIGHT)
    _PAGES[ident](c)
    return c


def render_all():
    """(resource id, canvas) for every picture, by resource id."""
    return [(ident, render(ident)) for ident in sorted(_PAGES)]
