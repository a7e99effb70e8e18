// Writes a release's manifest, which the programs carry inside them (signed
// with them) to know the release they came with:
//
//   release_manifest <manifest> <folder> <names> <title> <data folder> <release>
//
// <names> holds the names of files in <folder>, one a line in UTF-8, each
// once. The manifest holds, with CRLF line ends:
//
//   release manifest 1
//   title <title>
//   data <data folder>
//   release <release>
//   file <size> <SHA-256> <name>      one line a name, in the order of <names>
//   end
//
// Title, data folder and names arrive in UTF-8 and are written in code page
// 932, as the programs read them; the release is printable ASCII. The size
// is in bytes, the SHA-256 in 64 lowercase hexadecimal digits. On failure
// it says why, removes the unfinished file and exits non-zero.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "code_page.h"
#include "file_sha256.h"

namespace fs = std::filesystem;

namespace {

bool fail(const std::string& what) {
    std::fprintf(stderr, "release_manifest: %s\n", what.c_str());
    return false;
}

bool hasControl(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// A text of the manifest in code page 932: what (for the message), the text.
bool manifestText(const std::string& what, const std::string& utf8, std::string& cp932) {
    if (utf8.empty() || hasControl(utf8)) {
        return fail(what + " \"" + utf8 + "\" is empty or holds a control character");
    }
    if (!toCodePage932(utf8, cp932)) {
        return fail(what + " \"" + utf8 + "\" has no form in code page 932 that reads back the same");
    }
    return true;
}

bool releaseName(const std::string& release) {
    for (unsigned char c : release) {
        if (c < 0x20 || c > 0x7E) {
            return fail("the release \"" + release + "\" is not printable ASCII");
        }
    }
    return !release.empty() || fail("the release has no name");
}

// The line of one file, its end included.
bool fileLine(const fs::path& folder, const std::string& name, std::string& line) {
    std::string stored;
    if (!manifestText("the name", name, stored)) return false;
    std::string digest;
    std::uint64_t size = 0;
    if (!fileSha256(folder / name, digest, size)) {
        return fail("cannot read " + (folder / name).string());
    }
    char digits[24];
    std::snprintf(digits, sizeof digits, "%" PRIu64, size);
    line = "file " + std::string(digits) + " " + digest + " " + stored + "\r\n";
    return true;
}

// The title, data folder and release lines after the first.
bool headLines(char** texts, std::string& lines) {
    std::string title;
    std::string data;
    if (!manifestText("the title", texts[0], title) ||
        !manifestText("the data folder", texts[1], data) || !releaseName(texts[2])) {
        return false;
    }
    lines = "title " + title + "\r\ndata " + data + "\r\nrelease " + texts[2] + "\r\n";
    return true;
}

bool writeManifest(const fs::path& manifest, const fs::path& folder, const fs::path& names,
                   char** texts) {
    std::string head;
    if (!headLines(texts, head)) return false;
    std::ifstream list(names);
    if (!list) return fail("cannot read " + names.string());
    std::ofstream out(manifest, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + manifest.string());
    out << "release manifest 1\r\n" << head;
    std::set<std::string> seen;
    std::string name;
    std::string line;
    while (std::getline(list, name)) {
        if (name.empty()) continue;
        if (!seen.insert(name).second) return fail("\"" + name + "\" is listed twice");
        if (!fileLine(folder, name, line)) return false;
        out << line;
    }
    out << "end\r\n";
    out.close();
    return (!list.bad() && out) || fail("cannot write " + manifest.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: release_manifest <manifest> <folder> <names> <title> "
                             "<data folder> <release>\n");
        return 2;
    }
    if (!writeManifest(argv[1], argv[2], argv[3], argv + 4)) {
        std::error_code ignored;
        fs::remove(argv[1], ignored);
        return 1;
    }
    return 0;
}
