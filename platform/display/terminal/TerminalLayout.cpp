#include "platform/display/terminal/TerminalLayout.h"

#include <algorithm>
#include <cstdint>

namespace platform::display::terminal {
namespace {

constexpr std::int32_t kTitleBackground = 0x000080;
constexpr std::int32_t kTitleText = 0xFFFFFF;
constexpr std::int32_t kBarColour = 0x3070D0;
constexpr int kButtonWidth = 12;
constexpr int kMinimumInner = 58;

struct Glyphs {
    const char *horizontal, *vertical, *topLeft, *topRight, *bottomLeft, *bottomRight, *full, *light;
};
constexpr Glyphs kUtf8{"\u2500", "\u2502", "\u250C", "\u2510", "\u2514", "\u2518", "\u2588", "\u2591"};
constexpr Glyphs kAscii{"-", "|", "+", "+", "+", "+", "#", "-"};

void Frame(CellFrame& frame, int left, int top, int width, int height, const Glyphs& g) {
    for (int x = left + 1; x < left + width - 1; ++x) {
        frame.Put(x, top, g.horizontal, kDefaultColour, kDefaultColour);
        frame.Put(x, top + height - 1, g.horizontal, kDefaultColour, kDefaultColour);
    }
    for (int y = top + 1; y < top + height - 1; ++y) {
        frame.Put(left, y, g.vertical, kDefaultColour, kDefaultColour);
        frame.Put(left + width - 1, y, g.vertical, kDefaultColour, kDefaultColour);
        for (int x = left + 1; x < left + width - 1; ++x) frame.Put(x, y, " ", kDefaultColour, kDefaultColour);
    }
    frame.Put(left, top, g.topLeft, kDefaultColour, kDefaultColour);
    frame.Put(left + width - 1, top, g.topRight, kDefaultColour, kDefaultColour);
    frame.Put(left, top + height - 1, g.bottomLeft, kDefaultColour, kDefaultColour);
    frame.Put(left + width - 1, top + height - 1, g.bottomRight, kDefaultColour, kDefaultColour);
}

// " text " centred in brackets, or in >< when it has the focus.
void Button(CellFrame& frame, Layout& layout, int column, int row, const ButtonScene& button, bool enabled) {
    std::string label = button.text.substr(0, kButtonWidth - 2);
    const int padding = kButtonWidth - 2 - static_cast<int>(label.size());
    label = std::string(static_cast<std::size_t>(padding / 2), ' ') + label +
            std::string(static_cast<std::size_t>(padding - padding / 2), ' ');
    const bool marked = button.focused && enabled;
    const std::string text = (marked ? ">" : "[") + label + (marked ? "<" : "]");
    std::uint8_t attributes = enabled ? 0 : kDim;
    if (marked) attributes |= kBold;
    if (button.pushed || marked) attributes |= kReverse;
    frame.Text(column, row, text, kDefaultColour, kDefaultColour, attributes);
    layout.targets.push_back(Layout::Target{column, row, kButtonWidth, button.window, false});
}

// The average colour of the picture's pixels in [x0, x1) x [y0, y1), clipped to the picture.
std::int32_t Average(const SurfaceView& picture, double x0, double y0, double x1, double y1) {
    const int left = std::clamp(static_cast<int>(x0), 0, picture.width - 1);
    const int top = std::clamp(static_cast<int>(y0), 0, picture.height - 1);
    const int right = std::clamp(static_cast<int>(x1 + 0.999), left + 1, picture.width);
    const int bottom = std::clamp(static_cast<int>(y1 + 0.999), top + 1, picture.height);
    std::uint64_t r = 0, g = 0, b = 0, n = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::uint32_t p = picture.At(x, y);
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
            ++n;
        }
    }
    return static_cast<std::int32_t>(((r / n) << 16) | ((g / n) << 8) | (b / n));
}

// The picture scaled to columns x rows cells, two pixel rows to a cell (upper half-block with
// the upper colour in front, the lower behind); without UTF-8 one pixel row to a cell.
void Picture(CellFrame& frame, int left, int top, int columns, int rows, const SurfaceView& picture, bool utf8) {
    if (picture.width <= 0 || picture.height <= 0 || picture.pixels.empty()) {
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) frame.Put(left + x, top + y, " ", kDefaultColour, 0);
        return;
    }
    const double sx = static_cast<double>(picture.width) / columns;
    const int pixelRows = utf8 ? rows * 2 : rows;
    const double sy = static_cast<double>(picture.height) / pixelRows;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            if (utf8) {
                const std::int32_t upper = Average(picture, x0, (2 * y) * sy, x1, (2 * y + 1) * sy);
                const std::int32_t lower = Average(picture, x0, (2 * y + 1) * sy, x1, (2 * y + 2) * sy);
                frame.Put(left + x, top + y, "\u2580", upper, lower);
            } else {
                frame.Put(left + x, top + y, " ", kDefaultColour, Average(picture, x0, y * sy, x1, (y + 1) * sy));
            }
        }
    }
}

std::vector<std::string> Wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.size(), start + width);
        if (end < text.size()) {
            const std::size_t space = text.rfind(' ', end);
            if (space != std::string::npos && space > start) end = space;
        }
        lines.push_back(text.substr(start, end - start));
        start = end;
        while (start < text.size() && text[start] == ' ') ++start;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

void MessageBox(CellFrame& frame, Layout& layout, const BoxContent& box, const Glyphs& g) {
    const int maxWidth = std::max(frame.Columns() - 4, 16);
    const int textWidth = std::min(maxWidth - 4, std::max({static_cast<int>(box.text.size()),
                                                            static_cast<int>(box.caption.size()) + 2, 12}));
    std::vector<std::string> lines = Wrap(box.text, static_cast<std::size_t>(std::max(textWidth, 1)));
    const int maxLines = std::max(frame.Rows() - 7, 1);
    if (static_cast<int>(lines.size()) > maxLines) lines.resize(static_cast<std::size_t>(maxLines));
    const int width = textWidth + 4;
    const int height = static_cast<int>(lines.size()) + 6;
    const int left = std::max((frame.Columns() - width) / 2, 0);
    const int top = std::max((frame.Rows() - height) / 2, 0);
    Frame(frame, left, top, width, height, g);
    for (int x = left + 1; x < left + width - 1; ++x) frame.Put(x, top, " ", kTitleText, kTitleBackground, kBold);
    frame.Text(left + 2, top, box.caption, kTitleText, kTitleBackground, kBold, width - 4);
    for (std::size_t i = 0; i < lines.size(); ++i)
        frame.Text(left + 2, top + 2 + static_cast<int>(i), lines[i], kDefaultColour, kDefaultColour, 0, textWidth);
    ButtonScene ok{nullptr, "OK", true, false};
    const int okColumn = left + (width - kButtonWidth) / 2;
    Button(frame, layout, okColumn, top + height - 2, ok, true);
    layout.targets.back().isBoxButton = true;
}

} // namespace

int Layout::Hit(int column, int row) const {
    // The message box's button is drawn last and lies on top.
    for (int i = static_cast<int>(targets.size()) - 1; i >= 0; --i) {
        const Target& t = targets[static_cast<std::size_t>(i)];
        if (row == t.row && column >= t.column && column < t.column + t.width) return i;
    }
    return -1;
}

HWND MainWindow() {
    for (HWND window : TopLevelWindows()) {
        WindowView view;
        if (InspectWindow(window, &view) && view.visible) return window;
    }
    return nullptr;
}

WindowScene ReadWindowScene(HWND main) {
    WindowScene scene;
    WindowView top;
    if (!main || !InspectWindow(main, &top)) return scene;
    scene.present = true;
    scene.enabled = top.enabled;
    scene.caption = top.text;
    for (HWND child : ChildWindows(main)) {
        WindowView view;
        if (!InspectWindow(child, &view)) continue;
        ButtonScene* button = nullptr;
        switch (view.id) {
        case 1005:
            scene.pictureWidth = view.rect.right - view.rect.left;
            scene.pictureHeight = view.rect.bottom - view.rect.top;
            ReadSurface(child, &scene.picture);
            break;
        case 1007: scene.credit = view.text; break;
        case 1002: scene.fileName = view.text; break;
        case 1001: scene.total = view.text; break;
        case 1000:
            scene.rangeLow = view.rangeLow;
            scene.rangeHigh = view.rangeHigh;
            scene.position = view.position;
            break;
        case 1003: button = &scene.previous; break;
        case 1004: button = &scene.next; break;
        case 3: button = &scene.finish; break;
        default: break;
        }
        if (button) *button = ButtonScene{child, view.text, view.focused, view.pushed};
    }
    return scene;
}

Layout DrawScreen(CellFrame& frame, const WindowScene& scene, const std::optional<BoxContent>& box, bool utf8) {
    Layout layout;
    const Glyphs& g = utf8 ? kUtf8 : kAscii;
    if (scene.present) {
        const int pictureW = std::max(scene.picture.width > 0 ? scene.picture.width : scene.pictureWidth, 1);
        const int pictureH = std::max(scene.picture.height > 0 ? scene.picture.height : scene.pictureHeight, 1);
        const int perCell = utf8 ? 2 : 1;
        // Scaled down (never up) to fit inside the frame with room for the three lines below.
        const double scale = std::min({1.0, static_cast<double>(frame.Columns() - 4) / pictureW,
                                       static_cast<double>((frame.Rows() - 5) * perCell) / pictureH});
        const int columns = std::max(static_cast<int>(pictureW * scale), 1);
        const int rows = std::max((static_cast<int>(pictureH * scale) + perCell - 1) / perCell, 1);
        const int inner = std::min(std::max(columns + 2, kMinimumInner), std::max(frame.Columns() - 2, 1));
        const int width = inner + 2;
        const int height = rows + 5;
        Frame(frame, 0, 0, width, height, g);
        for (int x = 1; x < width - 1; ++x) frame.Put(x, 0, " ", kTitleText, kTitleBackground, kBold);
        frame.Text(2, 0, scene.caption, kTitleText, kTitleBackground, kBold, width - 4);
        Picture(frame, 1 + (inner - columns) / 2, 1, columns, rows, scene.picture, utf8);

        const int creditRow = rows + 1, statusRow = rows + 2, barRow = rows + 3;
        frame.Text(2, creditRow, scene.credit, kDefaultColour, kDefaultColour, 0, inner - 2);
        const int nextColumn = inner - kButtonWidth;
        const int previousColumn = nextColumn - kButtonWidth - 1;
        const int textWidth = std::max(previousColumn - 3, 0);
        const int totalWidth = std::min(8, textWidth);
        frame.Text(2, statusRow, scene.fileName, kDefaultColour, kDefaultColour, 0, std::max(textWidth - totalWidth - 1, 0));
        const std::string total = scene.total.substr(0, static_cast<std::size_t>(totalWidth));
        frame.Text(2 + textWidth - static_cast<int>(total.size()), statusRow, total, kDefaultColour, kDefaultColour);

        const long long span = static_cast<long long>(scene.rangeHigh) - scene.rangeLow;
        const long long done = std::clamp<long long>(static_cast<long long>(scene.position) - scene.rangeLow, 0, std::max(span, 0LL));
        const int filled = span > 0 ? static_cast<int>(done * textWidth / span) : 0;
        for (int x = 0; x < textWidth; ++x) {
            if (x < filled) frame.Put(2 + x, barRow, g.full, kBarColour, kDefaultColour);
            else frame.Put(2 + x, barRow, g.light, kDefaultColour, kDefaultColour, kDim);
        }
        Button(frame, layout, previousColumn, statusRow, scene.previous, scene.enabled);
        Button(frame, layout, nextColumn, statusRow, scene.next, scene.enabled);
        Button(frame, layout, nextColumn, barRow, scene.finish, scene.enabled);
    }
    if (box) MessageBox(frame, layout, *box, g);
    return layout;
}

} // namespace platform::display::terminal
