#include "platform/text/EscapedName.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

void AppendHex(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

bool NamesUtf8(const char* locale) {
    std::string charset(locale ? locale : "");
    for (char& c : charset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return charset.find("utf-8") != std::string::npos || charset.find("utf8") != std::string::npos;
}

} // namespace

std::string EscapeName(std::string_view name, NameUse use, bool utf8) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte == '\\' && use == NameUse::Report) {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            AppendHex(out, byte);
        } else if (utf8 && byte == 0xC2 && i + 1 < name.size() &&
                   static_cast<unsigned char>(name[i + 1]) >= 0x80 && static_cast<unsigned char>(name[i + 1]) <= 0x9F) {
            // U+0080-U+009F: a terminal in UTF-8 reads them as controls (U+009B starts a sequence
            // like ESC [). Both bytes are written, so undoing the escapes gives the name back.
            AppendHex(out, byte);
            AppendHex(out, static_cast<unsigned char>(name[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

std::string EscapeName(std::string_view name, NameUse use) {
    return EscapeName(name, use, LocaleIsUtf8());
}

bool LocaleIsUtf8() {
    // The first of them that is set decides, as for every program of the platform.
    static const bool utf8 = [] {
        for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value && *value) return NamesUtf8(value);
        }
        return false;
    }();
    return utf8;
}

} // namespace platform
