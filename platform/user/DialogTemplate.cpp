// Writing and reading dialog template bytes.
#include "platform/user/DialogTemplate.h"

#include "platform/user/UserDialog.h"
#include "platform/runtime/SameName.h"

#include <cstdint>

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

class Writer {
public:
    void Word(unsigned value) {
        mBytes.push_back(static_cast<unsigned char>(value & 0xFF));
        mBytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    }
    void Dword(DWORD value) {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
    void Short(int value) { Word(static_cast<unsigned>(value) & 0xFFFF); }
    void Text(const char* text) {
        for (const char* c = text ? text : ""; *c; ++c) Word(static_cast<unsigned char>(*c));
        Word(0);
    }
    void AlignToDword() {
        while (mBytes.size() % 4) mBytes.push_back(0);
    }
    std::vector<unsigned char> Take() { return std::move(mBytes); }

private:
    std::vector<unsigned char> mBytes;
};

class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : mData(data), mSize(size) {}

    bool Word(WORD* value) {
        if (mAt + 2 > mSize) return false;
        *value = static_cast<WORD>(mData[mAt] | (mData[mAt + 1] << 8));
        mAt += 2;
        return true;
    }
    bool Dword(DWORD* value) {
        WORD low = 0, high = 0;
        if (!Word(&low) || !Word(&high)) return false;
        *value = static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16);
        return true;
    }
    bool Short(int* value) {
        WORD word = 0;
        if (!Word(&word)) return false;
        *value = static_cast<std::int16_t>(word);
        return true;
    }
    // A text that ends with a 0 unit; units above 0xFF become '?'.
    bool Text(std::string* text) {
        text->clear();
        for (;;) {
            WORD unit = 0;
            if (!Word(&unit)) return false;
            if (unit == 0) return true;
            text->push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
        }
    }
    // A number (0xFFFF and the number) or a text. *number is -1 for a text.
    bool TextOrNumber(std::string* text, int* number) {
        *number = -1;
        text->clear();
        if (mAt + 2 <= mSize && mData[mAt] == 0xFF && mData[mAt + 1] == 0xFF) {
            WORD value = 0;
            mAt += 2;
            if (!Word(&value)) return false;
            *number = value;
            return true;
        }
        return Text(text);
    }
    bool Skip(std::size_t count) {
        if (count > mSize - mAt) return false;
        mAt += count;
        return true;
    }
    // Controls start on 4-byte boundaries, counted from the template's start.
    bool AlignToDword() { return Skip((4 - mAt % 4) % 4); }

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
    out.Short(spec.x);
    out.Short(spec.y);
    out.Short(spec.width);
    out.Short(spec.height);
    out.Word(0); // no menu
    out.Text(spec.className);   // none: the empty text, the dialog class
    out.Text(spec.caption);
    if (spec.font) {
        out.Word(static_cast<unsigned>(spec.pointSize));
        out.Text(spec.font);
    }
    for (std::size_t i = 0; i < spec.count; ++i) {
        const DialogItemSpec& item = spec.items[i];
        out.AlignToDword();
        out.Dword(item.style);
        out.Dword(item.exStyle);
        out.Short(item.x);
        out.Short(item.y);
        out.Short(item.width);
        out.Short(item.height);
        out.Word(static_cast<unsigned>(item.id));
        WORD number = 0;
        for (const NumberedClass& known : kNumberedClasses) {
            if (item.className && platform::SameName(item.className, known.name)) number = known.number;
        }
        if (number) {
            out.Word(0xFFFF);
            out.Word(number);
        } else {
            out.Text(item.className);
        }
        out.Text(item.text);
        out.Word(0); // no creation data
    }
    return out.Take();
}

bool ReadDialogTemplate(const void* data, std::size_t size, DialogLayout* layout) {
    if (!data || !layout) return false;
    Reader in(static_cast<const unsigned char*>(data), size);
    DialogLayout read;
    WORD count = 0;
    std::string menu;
    int number = -1;
    if (!in.Dword(&read.style) || !in.Dword(&read.exStyle) || !in.Word(&count) || !in.Short(&read.x) ||
        !in.Short(&read.y) || !in.Short(&read.width) || !in.Short(&read.height) ||
        !in.TextOrNumber(&menu, &number)) {
        return false;
    }
    // A lone 0 unit is "no menu" (an empty text).
    read.hasMenu = number >= 0 || !menu.empty();
    if (!in.TextOrNumber(&read.className, &number)) return false;
    if (number >= 0) {
        // A class by number: only the dialog class itself is one here.
        if (number != 0x8002) return false;
        read.className.clear();
    }
    if (!in.Text(&read.caption)) return false;
    if (read.style & DS_SETFONT) {
        WORD points = 0;
        if (!in.Word(&points) || !in.Text(&read.font)) return false;
        read.pointSize = points;
    }
    for (WORD i = 0; i < count; ++i) {
        DialogItemLayout item;
        WORD id = 0;
        WORD extra = 0;
        if (!in.AlignToDword() || !in.Dword(&item.style) || !in.Dword(&item.exStyle) ||
            !in.Short(&item.x) || !in.Short(&item.y) || !in.Short(&item.width) ||
            !in.Short(&item.height) || !in.Word(&id) || !in.TextOrNumber(&item.className, &number)) {
            return false;
        }
        item.id = id;
        if (number >= 0) {
            item.className.clear();
            for (const NumberedClass& known : kNumberedClasses) {
                if (known.number == number) item.className = known.name;
            }
            if (item.className.empty()) return false;
        }
        if (!in.TextOrNumber(&item.text, &item.textNumber) || !in.Word(&extra) || !in.Skip(extra)) {
            return false;
        }
        read.items.push_back(std::move(item));
    }
    *layout = std::move(read);
    return true;
}

BaseUnits DialogBaseUnits(const DialogLayout& layout) {
    if (!(layout.style & DS_SETFONT) || layout.pointSize <= 0) return BaseUnits{8, 16};
    return BaseUnits{(4 * layout.pointSize + 2) / 5, (8 * layout.pointSize + 2) / 5};
}

} // namespace platform
