// Writes a release's manifest, which the programs carry inside them (signed
// with them) to know the release they came with:
//
//   release_manifest <manifest> <folder> <names> <title> <data folder> <release>
//            [<plan> <new files>]
//
// <names> holds the listed names, one a line in UTF-8, each once. The
// manifest holds, with CRLF line ends:
//
//   release manifest 1
//   title <title>
//   data <data folder>
//   release <release>
//   <entries>                           one a name, in the order of <names>
//   end
//
// Without a plan, <folder> holds every listed file and each entry is
//
//   file <size> <SHA-256> <name>
//
// With a plan, the manifest is a patch release's: <folder> is its data
// folder, holding the files it ships whole and the patches, and <new
// files> the new version's files. The plan (UTF-8) holds one decision a
// line, fields parted by a tab:
//
//   whole <name>                 a file entry: <folder> holds <name> whole
//   patched <name>               a patched entry, of <new files>/<name>:
//                                the player's file becomes it by the patches
//                                of the from lines after it, or is it already
//   from <earlier> <patch>       the earlier file <earlier> (a path) becomes
//                                the new one by <folder>/<patch>
//
// which become "patched <size> <SHA-256> <name>" and "from <size> <SHA-256>
// <size> <SHA-256> <patch>" (the earlier file's, then the patch's). A patch
// is a plain name, unique in the folder and none of the listed or reserved
// names (patch_names.h); an earlier file is another than the new one and
// than the entry's other earlier files, and small enough for the 32-bit
// player to apply its patch.
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
#include <vector>

#include "code_page.h"
#include "file_sha256.h"
#include "patch_names.h"

namespace fs = std::filesystem;

namespace {

// The 32-bit player holds the new file whole (the decoder's window) and
// maps the earlier one: the largest window a plain 32-bit process decoded
// in our test, and the most of its address space both may take.
constexpr std::uint64_t kNewFileLimit = std::uint64_t{1} << 29;
constexpr std::uint64_t kBothFilesLimit = std::uint64_t{768} << 20;

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

// A file's size and SHA-256 as the manifest gives them.
struct Contents {
    std::uint64_t size = 0;
    std::string digest;

    std::string text() const {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%" PRIu64, size);
        return std::string(digits) + " " + digest;
    }
};

bool readContents(const fs::path& file, Contents& contents) {
    return fileSha256(file, contents.digest, contents.size) ||
           fail("cannot read " + file.string());
}

// The line "<kind> <size> <SHA-256> <name>" of a file, its end included.
bool entryLine(const char* kind, const fs::path& file, const std::string& name,
               Contents& contents, std::string& line) {
    std::string stored;
    if (!manifestText("the name", name, stored) || !readContents(file, contents)) return false;
    line = std::string(kind) + " " + contents.text() + " " + stored + "\r\n";
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

// The listed names, each once.
bool readNames(const fs::path& file, std::vector<std::string>& names) {
    std::ifstream list(file);
    if (!list) return fail("cannot read " + file.string());
    std::set<std::string> seen;
    std::string name;
    while (std::getline(list, name)) {
        if (name.empty()) continue;
        if (!seen.insert(name).second) return fail("\"" + name + "\" is listed twice");
        names.push_back(name);
    }
    return !list.bad() || fail("cannot read " + file.string());
}

std::vector<std::string> tabFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

// Writes a patch release's entries from its plan.
class PlanWriter {
public:
    PlanWriter(const fs::path& folder, const fs::path& newFiles,
               const std::vector<std::string>& names)
        : folder_(folder), newFiles_(newFiles), names_(names) {
        for (const std::string& name : names) patchNames_.keep(name);
    }

    // The entries' lines for the plan's lines, in order.
    bool write(std::istream& plan, std::ostream& out) {
        std::string line;
        std::string entry;
        for (lineNumber_ = 1; std::getline(plan, line); ++lineNumber_) {
            if (!decide(tabFields(line), entry)) return false;
            out << entry;
        }
        if (plan.bad()) return fail("cannot read the plan");
        return next_ == names_.size() ||
               fail("the plan ends before \"" + names_[next_] + "\", which it must decide");
    }

private:
    bool planFail(const std::string& what) const {
        return fail("plan line " + std::to_string(lineNumber_) + ": " + what);
    }

    bool decide(const std::vector<std::string>& fields, std::string& line) {
        const std::string& kind = fields[0];
        if (kind == "whole" && fields.size() == 2) return entry(fields[1], false, line);
        if (kind == "patched" && fields.size() == 2) return entry(fields[1], true, line);
        if (kind == "from" && fields.size() == 3) return from(fields[1], fields[2], line);
        return planFail("not \"whole\", \"patched\" or \"from\" with its fields");
    }

    // A file or patched entry of the next listed name.
    bool entry(const std::string& name, bool patched, std::string& line) {
        if (next_ == names_.size() || names_[next_] != name) {
            return planFail("\"" + name + "\" is not the next listed name (" +
                            (next_ == names_.size() ? "none" : "\"" + names_[next_] + "\"") + ")");
        }
        ++next_;
        patched_ = patched;
        earlier_.clear();
        if (!patched) return entryLine("file", folder_ / name, name, newFile_, line);
        return entryLine("patched", newFiles_ / name, name, newFile_, line);
    }

    bool from(const fs::path& earlier, const std::string& patch, std::string& line) {
        if (!patched_) return planFail("a from line follows no patched entry");
        std::string why;
        if (!patchNames_.take(patch, why)) return planFail("the patch \"" + patch + "\" " + why);
        Contents old;
        Contents patchFile;
        std::string stored;
        if (!readContents(earlier, old) || !readContents(folder_ / patch, patchFile) ||
            !manifestText("the patch", patch, stored)) {
            return false;
        }
        if (old.digest == newFile_.digest) return planFail(earlier.string() + " is the new file");
        if (!earlier_.insert(old.digest).second) {
            return planFail(earlier.string() + " is an earlier file of the entry already");
        }
        if (newFile_.size > kNewFileLimit || old.size + newFile_.size > kBothFilesLimit) {
            return planFail(earlier.string() + " and the new file are too large for the " +
                            "32-bit player to patch");
        }
        line = "from " + old.text() + " " + patchFile.text() + " " + stored + "\r\n";
        return true;
    }

    const fs::path folder_;
    const fs::path newFiles_;
    const std::vector<std::string>& names_;
    PatchNames patchNames_;
    size_t next_ = 0;
    size_t lineNumber_ = 0;
    bool patched_ = false;
    Contents newFile_;
    std::set<std::string> earlier_;
};

bool writeEntries(const fs::path& folder, const std::vector<std::string>& names,
                  std::ostream& out) {
    std::string line;
    Contents contents;
    for (const std::string& name : names) {
        if (!entryLine("file", folder / name, name, contents, line)) return false;
        out << line;
    }
    return true;
}

bool writeManifest(int argc, char** argv) {
    const fs::path manifest = argv[1];
    std::string head;
    std::vector<std::string> names;
    if (!headLines(argv + 4, head) || !readNames(argv[3], names)) return false;
    std::ofstream out(manifest, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + manifest.string());
    out << "release manifest 1\r\n" << head;
    if (argc == 7) {
        if (!writeEntries(argv[2], names, out)) return false;
    } else {
        std::ifstream plan(argv[7]);
        if (!plan) return fail("cannot read " + std::string(argv[7]));
        if (!PlanWriter(argv[2], argv[8], names).write(plan, out)) return false;
    }
    out << "end\r\n";
    out.close();
    return out || fail("cannot write " + manifest.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 9) {
        std::fprintf(stderr, "usage: release_manifest <manifest> <folder> <names> <title> "
                             "<data folder> <release> [<plan> <new files>]\n");
        return 2;
    }
    if (!writeManifest(argc, argv)) {
        std::error_code ignored;
        fs::remove(argv[1], ignored);
        return 1;
    }
    return 0;
}
