// Dialog templates written and read, windows made from them, and the system dialog class's
// default processing.
#include "platform/user/UserDialog.h"

#include "platform/user/DialogTemplate.h"
#include "platform/resources/Resources.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/Window.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/SameName.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace platform {
namespace {

// Classes the template names by number.
struct NumberedClass {
    WORD number;
    const char* name;
};
constexpr NumberedClass kNumberedClasses[] = {
    {0x0080, "button"}, {0x0081, "edit"},      {0x0082, "static"},
    {0x0083, "listbox"}, {0x0084, "scrollbar"}, {0x0085, "combobox"},
};

struct Writer {
    std::vector<unsigned char> bytes;

    void Word(unsigned value) { byteorder::AppendLE16(bytes, static_cast<std::uint16_t>(value)); }
    void Dword(DWORD value) { byteorder::AppendLE32(bytes, value); }
    void Rect(int x, int y, int width, int height) {
        for (int value : {x, y, width, height}) Word(static_cast<unsigned>(value));
    }
    void Text(const char* text) {
        for (const char* c = text ? text : ""; *c; ++c) Word(static_cast<unsigned char>(*c));
        Word(0);
    }
    void AlignToDword() {
        while (bytes.size() % 4) bytes.push_back(0);
    }
};

// Reads numbers and texts in order. A read that would run past the end yields 0 (an empty text)
// and fails the whole template.
class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : mData(data), mSize(size) {}

    bool failed = false;

    bool Skip(std::size_t count) {
        if (count > mSize - mAt) {
            failed = true;
            return false;
        }
        mAt += count;
        return true;
    }
    WORD Word() { return Skip(2) ? byteorder::LE16(mData + mAt - 2) : 0; }
    DWORD Dword() { return Skip(4) ? byteorder::LE32(mData + mAt - 4) : 0; }
    void Rect(int* x, int* y, int* width, int* height) {
        for (int* value : {x, y, width, height}) *value = static_cast<std::int16_t>(Word());
    }
    // A text that ends with a 0 unit; units above 0xFF become '?'.
    std::string Text() {
        std::string text;
        for (WORD unit = Word(); unit != 0; unit = Word()) {
            text.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
        }
        return text;
    }
    // A number (0xFFFF and the number), or -1 and the text in *text.
    int TextOrNumber(std::string* text) {
        if (mAt + 2 <= mSize && byteorder::LE16(mData + mAt) == 0xFFFF) {
            mAt += 2;
            return Word();
        }
        *text = Text();
        return -1;
    }
    // Controls start on 4-byte boundaries, counted from the template's start.
    void AlignToDword() { Skip((4 - mAt % 4) % 4); }

private:
    const unsigned char* mData;
    std::size_t mSize;
    std::size_t mAt = 0;
};

} // namespace

std::vector<unsigned char> WriteDialogTemplate(const DialogSpec& spec) {
    Writer out;
    out.Dword(spec.font ? spec.style | DS_SETFONT : spec.style & ~DS_SETFONT);
    out.Dword(spec.exStyle);
    out.Word(static_cast<unsigned>(spec.count));
    out.Rect(spec.x, spec.y, spec.width, spec.height);
    out.Word(0); // no menu
    out.Text(spec.className);   // none: the empty text, the dialog class
    out.Text(spec.caption);
    if (spec.font) {
        out.Word(static_cast<unsigned>(spec.pointSize));
        out.Text(spec.font);
    }
    for (const DialogItemSpec& item : std::span(spec.items, spec.count)) {
        out.AlignToDword();
        out.Dword(item.style);
        out.Dword(item.exStyle);
        out.Rect(item.x, item.y, item.width, item.height);
        out.Word(static_cast<unsigned>(item.id));
        const auto known = std::find_if(std::begin(kNumberedClasses), std::end(kNumberedClasses), [&](const auto& entry) {
            return item.className && platform::SameName(item.className, entry.name);
        });
        if (known != std::end(kNumberedClasses)) {
            out.Word(0xFFFF);
            out.Word(known->number);
        } else {
            out.Text(item.className);
        }
        out.Text(item.text);
        out.Word(0); // no creation data
    }
    return std::move(out.bytes);
}

bool ReadDialogTemplate(const void* data, std::size_t size, DialogLayout* layout) {
    if (!data || !layout) return false;
    Reader in(static_cast<const unsigned char*>(data), size);
    DialogLayout read;
    read.style = in.Dword();
    read.exStyle = in.Dword();
    const WORD count = in.Word();
    in.Rect(&read.x, &read.y, &read.width, &read.height);
    std::string menu;
    // A lone 0 unit is "no menu" (an empty text).
    read.hasMenu = in.TextOrNumber(&menu) >= 0 || !menu.empty();
    // A class by number: only the dialog class itself is one here.
    const int dialogClass = in.TextOrNumber(&read.className);
    if (dialogClass >= 0 && dialogClass != 0x8002) return false;
    read.caption = in.Text();
    if (read.style & DS_SETFONT) {
        read.pointSize = in.Word();
        read.font = in.Text();
    }
    for (WORD i = 0; i < count && !in.failed; ++i) {
        DialogItemLayout item;
        in.AlignToDword();
        item.style = in.Dword();
        item.exStyle = in.Dword();
        in.Rect(&item.x, &item.y, &item.width, &item.height);
        item.id = in.Word();
        const int number = in.TextOrNumber(&item.className);
        if (number >= 0) {
            const auto known = std::find_if(std::begin(kNumberedClasses), std::end(kNumberedClasses),
                                            [number](const NumberedClass& entry) { return entry.number == number; });
            if (known == std::end(kNumberedClasses)) return false;
            item.className = known->name;
        }
        // A text by number (an icon's resource id) is left empty.
        in.TextOrNumber(&item.text);
        in.Skip(in.Word()); // creation data
        read.items.push_back(std::move(item));
    }
    if (in.failed) return false;
    *layout = std::move(read);
    return true;
}

} // namespace platform

using namespace platform::user;

namespace {

// Dialog units to pixels: a dialog unit is a quarter of the base unit across and an eighth of it
// down, in whole pixels of the template's font.
struct Scale {
    double baseX;
    double baseY;
    // Rounded to the nearest pixel, halves away from zero (the quotients are exact in a double).
    int X(int dialogUnits) const { return static_cast<int>(std::lround(dialogUnits * baseX / 4)); }
    int Y(int dialogUnits) const { return static_cast<int>(std::lround(dialogUnits * baseY / 8)); }
};

} // namespace

HWND CreateDialogIndirectParamA(HINSTANCE instance, const void* dialogTemplate, std::size_t size,
                                HWND owner, DLGPROC procedure, LPARAM param) {
    platform::DialogLayout layout;
    if (!platform::ReadDialogTemplate(dialogTemplate, size, &layout)) return nullptr;
    // A font of p points has the base units (4p + 2) / 5 across and (8p + 2) / 5 down; without a
    // font the system font's 8 x 16 serve.
    const int points = (layout.style & DS_SETFONT) ? layout.pointSize : 0;
    const Scale scale = points <= 0 ? Scale{8, 16}
                                    : Scale{static_cast<double>((4 * points + 2) / 5),
                                            static_cast<double>((8 * points + 2) / 5)};
    int x = scale.X(layout.x);
    int y = scale.Y(layout.y);
    RECT ownerRect{};
    if (owner && !(layout.style & DS_ABSALIGN) && GetWindowRect(owner, &ownerRect)) {
        x += ownerRect.left;
        y += ownerRect.top;
    }
    // The window is shown only once its controls are there.
    HWND dialog = CreateWindowExA(layout.exStyle, layout.className.empty() ? WC_DIALOG : layout.className.c_str(),
                                  layout.caption.c_str(), layout.style & ~WS_VISIBLE, x, y,
                                  scale.X(layout.width), scale.Y(layout.height), owner, nullptr,
                                  instance, nullptr);
    if (!dialog) return nullptr;
    WithWindow(dialog, [procedure](Window& window) { return window.dialogProcedure = procedure; });

    HWND firstFocus = nullptr;
    for (const platform::DialogItemLayout& item : layout.items) {
        HWND control = CreateWindowExA(item.exStyle, item.className.c_str(), item.text.c_str(),
                                       item.style | WS_CHILD, scale.X(item.x), scale.Y(item.y),
                                       scale.X(item.width), scale.Y(item.height), dialog,
                                       reinterpret_cast<HMENU>(static_cast<std::intptr_t>(item.id)),
                                       instance, nullptr);
        if (!control) {
            if (layout.style & DS_NOFAILCREATE) continue;
            DestroyWindow(dialog);
            return nullptr;
        }
        const bool takesFocus = (item.style & WS_TABSTOP) && (item.style & WS_VISIBLE) && !(item.style & WS_DISABLED);
        if (!firstFocus && takesFocus) firstFocus = control;
    }
    if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstFocus), param) && firstFocus) {
        SetFocus(firstFocus);
    }
    if (!IsWindow(dialog)) return nullptr; // it closed itself while it was being set up
    if (layout.style & WS_VISIBLE) ShowWindow(dialog, SW_SHOWNORMAL);
    return dialog;
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure, LPARAM param) {
    // No such template: no bytes, which make no window.
    HRSRC found = FindResourceA(instance, name, RT_DIALOG);
    return CreateDialogIndirectParamA(instance, LockResource(LoadResource(instance, found)),
                                      SizeofResource(instance, found), owner, procedure, param);
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const DLGPROC procedure = WithWindow(dialog, [](Window& window) { return window.dialogProcedure; });
    if (const INT_PTR handled = procedure ? procedure(dialog, message, wParam, lParam) : 0) return handled;
    switch (message) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        // A dialog closes the way its Cancel button would.
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    default:
        return DefWindowProcA(dialog, message, wParam, lParam);
    }
}
