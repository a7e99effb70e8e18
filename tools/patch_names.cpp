#include "patch_names.h"

#include <regex>

#include "code_page.h"

namespace {

// Names the update keeps for itself in the game and data folders, read
// from transfer/reserved_names.h when the tools are configured.
const char* const kReservedNames[] = {
#include "reserved_names.inc"
};

// A file list's slot in the programs holds 128 bytes.
constexpr size_t kNameLimit = 127;

// The code points of valid UTF-8 text (toCodePage932 has checked it).
std::u32string codePoints(const std::string& utf8) {
    std::u32string points;
    for (size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int i = 1; i <= extra && at + i < utf8.size(); ++i) {
            point = point << 6 | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
        }
        points += point;
        at += 1 + extra;
    }
    return points;
}

// Letters that Windows takes as one in file names: ASCII's and the
// full-width Latin, Greek, Cyrillic and Roman numeral letters of code page
// 932, as cmake/product.cmake folds the listed names.
char32_t capital(char32_t c) {
    if ((c >= U'a' && c <= U'z') || (c >= 0xFF41 && c <= 0xFF5A) ||
        (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) || (c >= 0x0430 && c <= 0x044F)) {
        return c - 0x20;
    }
    if (c == 0x0451) return 0x0401;
    if (c >= 0x2170 && c <= 0x2179) return c - 0x10;
    return c;
}

std::u32string nameKey(const std::string& utf8) {
    std::u32string key = codePoints(utf8);
    for (char32_t& c : key) c = capital(c);
    return key;
}

// Why a name is no plain file name that Windows opens as written, or empty.
std::string plainNameProblem(const std::string& name) {
    static const std::regex kDevice("(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *(\\..*)?",
                                    std::regex::icase);
    if (name.empty()) return "is empty";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "holds a control character";
    }
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos ||
        name.back() == '.' || name.back() == ' ') {
        return "is no plain file name (one of \\ / : * ? \" < > |, or a dot or blank at its end)";
    }
    if (std::regex_match(name, kDevice)) return "is a device's name on Windows";
    return "";
}

}  // namespace

void PatchNames::keep(const std::string& utf8) { taken_.insert(nameKey(utf8)); }

bool PatchNames::take(const std::string& utf8, std::string& why) {
    std::string cp932;
    why = plainNameProblem(utf8);
    if (why.empty() && !toCodePage932(utf8, cp932)) {
        why = "has no form in code page 932 that reads back the same";
    } else if (why.empty() && cp932.size() > kNameLimit) {
        why = "is " + std::to_string(cp932.size()) + " bytes in code page 932; at most " +
              std::to_string(kNameLimit) + " fit";
    }
    if (!why.empty()) return false;
    const std::u32string key = nameKey(utf8);
    for (const char* reserved : kReservedNames) {
        if (key == nameKey(reserved)) {
            why = "is " + std::string(reserved) + ", a name the update keeps for itself";
            return false;
        }
    }
    if (!taken_.insert(key).second) {
        why = "is a listed name or another patch's (letter case aside)";
        return false;
    }
    return true;
}
