// Writes a release's checksum file, as players' own tools (7-Zip's CRC
// view, QuickSFV, cksfv) check it:
//
//   release_sfv <checksum file> <folder> <names>
//
// <names> holds the names of files in <folder>, one a line in UTF-8. The
// checksum file gets a "; " comment line, then one line a name in that
// order, "<name> <CRC-32 in 8 hexadecimal digits>", with the name in code
// page 932, as a Japanese Windows names the file, and CRLF line ends. On
// failure it says why, removes the unfinished file and exits non-zero.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "code_page.h"
#include "file_crc.h"

namespace fs = std::filesystem;

namespace {

constexpr char kComment[] = "; CRC-32 of the files in this folder";

bool fail(const std::string& what) {
    std::fprintf(stderr, "release_sfv: %s\n", what.c_str());
    return false;
}

// The line of one file, its end included.
bool sfvLine(const fs::path& folder, const std::string& name, std::string& line) {
    std::string stored;
    if (!toCodePage932(name, stored)) {
        return fail("\"" + name + "\" has no name in code page 932 that reads back the same");
    }
    uint32_t crc = 0;
    if (!fileCrc(folder / name, crc)) return fail("cannot read " + (folder / name).string());
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(crc));
    line = stored + " " + digits + "\r\n";
    return true;
}

bool writeSfv(const fs::path& sfv, const fs::path& folder, const fs::path& names) {
    std::ifstream list(names);
    if (!list) return fail("cannot read " + names.string());
    std::ofstream out(sfv, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + sfv.string());
    out << kComment << "\r\n";
    std::string name;
    std::string line;
    while (std::getline(list, name)) {
        if (name.empty()) continue;
        if (!sfvLine(folder, name, line)) return false;
        out << line;
    }
    out.close();
    return (!list.bad() && out) || fail("cannot write " + sfv.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: release_sfv <checksum file> <folder> <names>\n");
        return 2;
    }
    if (!writeSfv(argv[1], argv[2], argv[3])) {
        std::error_code ignored;
        fs::remove(argv[1], ignored);
        return 1;
    }
    return 0;
}
