#include "platform/desktop/DesktopNotification.h"

#if DUDEZ_HAVE_DBUS
#include "platform/runtime/SharedLibrary.h"

#include <dbus/dbus.h>
#include <sys/stat.h>

#include <cstdlib>

namespace platform::desktop {
namespace {

// libdbus is loaded when the first notification goes out, not at every start: with what it
// links (libsystemd, libgcrypt, three compressors) it is eight shared libraries, about 0.7 ms of
// loading and relocating for each run, and only a run that showed a desktop window notifies.
// Its soname is the one its -dev package links against; the types come from its header.
struct DBusLibrary {
#define DUDEZ_DBUS_FUNCTIONS(X)                                                                    \
    X(dbus_validate_utf8) X(dbus_address_escape_value) X(dbus_free) X(dbus_error_init)            \
    X(dbus_error_free) X(dbus_connection_open_private) X(dbus_connection_set_exit_on_disconnect)  \
    X(dbus_bus_register) X(dbus_message_new_method_call) X(dbus_message_iter_init_append)         \
    X(dbus_message_iter_append_basic) X(dbus_message_iter_open_container)                         \
    X(dbus_message_iter_close_container) X(dbus_message_unref) X(dbus_message_set_auto_start)     \
    X(dbus_connection_send_with_reply_and_block) X(dbus_connection_close) X(dbus_connection_unref)
    DUDEZ_DBUS_FUNCTIONS(DUDEZ_LIBRARY_POINTER)
    bool loaded = false;

    DBusLibrary() {
        void* library = platform::OpenSharedLibrary("libdbus-1.so.3");
        if (!library) return;
        bool found = true;
        DUDEZ_DBUS_FUNCTIONS(DUDEZ_LIBRARY_FIND)
        loaded = found;
    }
};

// Loaded once, on first use (a function-local static: safe from any thread).
const DBusLibrary& Library() {
    static const DBusLibrary library;
    return library;
}

// The longest the end of the program waits for the service's answer.
constexpr int kReplyTimeoutMs = 1000;

// Appends one hint (a string key and a string variant) to an open a{sv} array.
bool AppendStringHint(DBusMessageIter* hints, const char* key, const char* value) {
    const DBusLibrary& dbus = Library();
    DBusMessageIter entry, variant;
    return dbus.dbus_message_iter_open_container(hints, DBUS_TYPE_DICT_ENTRY, nullptr, &entry) &&
           dbus.dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key) &&
           dbus.dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, DBUS_TYPE_STRING_AS_STRING, &variant) &&
           dbus.dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &value) &&
           dbus.dbus_message_iter_close_container(&entry, &variant) && dbus.dbus_message_iter_close_container(hints, &entry);
}

// Where the session's bus listens: the address the session gives (DBUS_SESSION_BUS_ADDRESS),
// else the user's bus of a systemd session ($XDG_RUNTIME_DIR/bus); empty when there is none.
// libdbus would otherwise start a bus of its own for the X display (dbus-launch), which would
// outlive the program for nobody to listen to.
std::string SessionBusAddress() {
    const DBusLibrary& dbus = Library();
    const char* given = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (given && *given) return given;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string path = std::string(runtime) + "/bus";
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode)) return {};
    char* escaped = dbus.dbus_address_escape_value(path.c_str());
    if (!escaped) return {};
    std::string address = std::string("unix:path=") + escaped;
    dbus.dbus_free(escaped);
    return address;
}

// Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout).
DBusMessage* NotifyCall(const std::string& summary, const std::string& body) {
    const DBusLibrary& dbus = Library();
    DBusMessage* call = dbus.dbus_message_new_method_call("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                                     "org.freedesktop.Notifications", "Notify");
    if (!call) return nullptr;
    const char* application = "DUDEZ";
    const dbus_uint32_t replaces = 0;
    const char* icon = "dudez";
    const char* summaryText = summary.c_str();
    const char* bodyText = body.c_str();
    const dbus_int32_t expires = -1;   // the service's own choice
    DBusMessageIter args, actions, hints;
    dbus.dbus_message_iter_init_append(call, &args);
    const bool built =
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &application) &&
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &replaces) &&
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &icon) &&
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &summaryText) &&
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &bodyText) &&
        dbus.dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &actions) &&
        dbus.dbus_message_iter_close_container(&args, &actions) &&
        dbus.dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &hints) &&
        // Which program it comes from, by its desktop entry: the desktop shows its name and icon.
        AppendStringHint(&hints, "desktop-entry", "dudez") && dbus.dbus_message_iter_close_container(&args, &hints) &&
        dbus.dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &expires);
    if (!built) {
        dbus.dbus_message_unref(call);
        return nullptr;
    }
    return call;
}

} // namespace

bool Notify(const std::string& summary, const std::string& body) {
    const DBusLibrary& dbus = Library();
    if (!dbus.loaded) return false;
    // The texts must be UTF-8, or libdbus refuses the message (and ends the process, by default,
    // on such a misuse).
    if (!dbus.dbus_validate_utf8(summary.c_str(), nullptr) || !dbus.dbus_validate_utf8(body.c_str(), nullptr)) return false;
    const std::string address = SessionBusAddress();
    if (address.empty()) return false;
    DBusError error;
    dbus.dbus_error_init(&error);
    // A private connection, closed here: the program has no other use for the bus.
    DBusConnection* bus = dbus.dbus_connection_open_private(address.c_str(), &error);
    if (!bus) {
        dbus.dbus_error_free(&error);
        return false;
    }
    dbus.dbus_connection_set_exit_on_disconnect(bus, FALSE);
    bool sent = false;
    DBusMessage* call = dbus.dbus_bus_register(bus, &error) ? NotifyCall(summary, body) : nullptr;
    if (call) {
        // A service the bus starts on demand is started; with none at all the bus answers at
        // once (ServiceUnknown).
        dbus.dbus_message_set_auto_start(call, TRUE);
        DBusMessage* reply = dbus.dbus_connection_send_with_reply_and_block(bus, call, kReplyTimeoutMs, &error);
        sent = reply != nullptr;
        if (reply) dbus.dbus_message_unref(reply);
        dbus.dbus_message_unref(call);
    }
    dbus.dbus_error_free(&error);
    dbus.dbus_connection_close(bus);
    dbus.dbus_connection_unref(bus);
    return sent;
}

} // namespace platform::desktop

#else
// Built without libdbus: there is no notification to send.
bool platform::desktop::Notify(const std::string&, const std::string&) {
    return false;
}
#endif
