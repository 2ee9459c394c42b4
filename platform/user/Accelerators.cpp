// Accelerator tables and the translation of keys into commands.
#include "platform/user/UserAccelerators.h"

#include "platform/resources/Resources.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/runtime/ByteOrder.h"
#include "platform/runtime/HandleTable.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Window.h"

#include <cstdint>
#include <mutex>
#include <vector>

using namespace platform::user;

namespace {

struct Tables {
    std::mutex mutex;
    platform::HandleTable<std::vector<ACCEL>> tables{0x08000000};
};

Tables& TheTables() {
    static platform::NeverDestroyed<Tables> tables;
    return tables.get();
}

HACCEL AddTable(std::vector<ACCEL> entries) {
    Tables& all = TheTables();
    std::lock_guard<std::mutex> lock(all.mutex);
    return all.tables.Add<HACCEL>(std::move(entries));
}

bool Entries(HACCEL table, std::vector<ACCEL>* entries) {
    Tables& all = TheTables();
    std::lock_guard<std::mutex> lock(all.mutex);
    const std::vector<ACCEL>* found = all.tables.Find(table);
    if (!found) return false;
    *entries = *found;
    return true;
}

// The resource's entries up to the one marked last; false when no entry is marked.
bool ReadTable(const unsigned char* bytes, std::size_t size, std::vector<ACCEL>* entries) {
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const WORD flags = byteorder::LE16(bytes + at);
        entries->push_back(ACCEL{static_cast<BYTE>(flags & 0x7F), byteorder::LE16(bytes + at + 2), byteorder::LE16(bytes + at + 4)});
        if (flags & 0x80) return true;
    }
    return false;
}

bool Matches(const ACCEL& entry, const MSG& msg, bool shift, bool control, bool alt) {
    if (entry.fVirt & FVIRTKEY) {
        if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
        if (msg.wParam != entry.key) return false;
        // A virtual-key entry wants exactly its own Shift, Ctrl and Alt.
        return shift == ((entry.fVirt & FSHIFT) != 0) && control == ((entry.fVirt & FCONTROL) != 0) &&
               alt == ((entry.fVirt & FALT) != 0);
    }
    // A character entry: the character as typed, with Alt when it asks for Alt.
    if (msg.message != WM_CHAR && msg.message != WM_SYSCHAR) return false;
    return msg.wParam == entry.key && alt == ((entry.fVirt & FALT) != 0);
}

} // namespace

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    HRSRC found = FindResourceA(instance, name, RT_ACCELERATOR);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(instance, found)));
    std::vector<ACCEL> entries;
    if (!bytes || !ReadTable(bytes, SizeofResource(instance, found), &entries)) return nullptr;
    return AddTable(std::move(entries));
}

int TranslateAcceleratorA(HWND window, HACCEL table, MSG* msg) {
    if (!msg) return 0;
    std::vector<ACCEL> entries;
    if (!Entries(table, &entries)) return 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    // A key that comes as a system key came with Alt held.
    const bool alt = GetKeyState(VK_MENU) < 0 || msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSCHAR;
    for (const ACCEL& entry : entries) {
        if (!Matches(entry, *msg, shift, control, alt)) continue;
        {
            // A disabled window (under a modal box) takes no commands.
            ModelLock lock(ModelMutex());
            const Window* target = Find(window);
            if (!target || !EnabledWithAncestors(*target)) return 0;
        }
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

short GetKeyState(int virtualKey) {
    MessageQueue* queue = MessageQueue::CurrentIfAny();
    if (!queue || virtualKey < 0) return 0;
    return queue->KeyDown(static_cast<UINT>(virtualKey)) ? static_cast<short>(-32768) : 0;
}
