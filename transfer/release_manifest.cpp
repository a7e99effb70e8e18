#include "transfer/release_manifest.h"

#include <cstring>

#include "transfer/file_names.h"

namespace {

const char kHeading[] = "release manifest 1";

// Takes the next line (its end removed) from text at position; false at
// the end of the text, or for a line with a control character or no end.
bool nextLine(const std::string& text, size_t& position, std::string& line) {
    size_t end = text.find('\n', position);
    if (end == std::string::npos) return false;
    line.assign(text, position, end - position);
    position = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

// Splits "<key> <rest>" off line; false when the line has another key.
bool takeKey(const std::string& line, const char* key, std::string& rest) {
    size_t length = std::strlen(key);
    if (line.compare(0, length, key) != 0 || line.size() <= length || line[length] != ' ') {
        return false;
    }
    rest.assign(line, length + 1, std::string::npos);
    return true;
}

bool parseSize(const std::string& digits, uint64_t& size) {
    if (digits.empty() || digits.size() > 19 || (digits[0] == '0' && digits.size() > 1)) {
        return false;
    }
    size = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

int lowerHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool parseSha256(const std::string& hex, unsigned char* digest) {
    if (hex.size() != 2 * platform::kSha256Bytes) return false;
    for (size_t at = 0; at < platform::kSha256Bytes; ++at) {
        int high = lowerHexDigit(hex[2 * at]);
        int low = lowerHexDigit(hex[2 * at + 1]);
        if (high < 0 || low < 0) return false;
        digest[at] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

// Splits "<size> <sha256> " off the front of fields; false for another form.
bool takeSizeAndSha256(std::string& fields, uint64_t& size, unsigned char* sha256) {
    size_t first = fields.find(' ');
    if (first == std::string::npos) return false;
    size_t second = fields.find(' ', first + 1);
    if (second == std::string::npos || !parseSize(fields.substr(0, first), size) ||
        !parseSha256(fields.substr(first + 1, second - first - 1), sha256)) {
        return false;
    }
    fields.erase(0, second + 1);
    return true;
}

bool isFileName(const std::string& name) {
    return name.size() < kNameCapacity && isPlainName(name.c_str());
}

// "<size> <sha256> <name>"; false for another form or a name that is not a
// plain file name.
bool parseFile(std::string fields, ManifestFile& file) {
    if (!takeSizeAndSha256(fields, file.size, file.sha256)) return false;
    file.name = fields;
    return isFileName(file.name);
}

// "<size> <sha256> <size> <sha256> <patch>".
bool parseFrom(std::string fields, ManifestPatch& patch) {
    if (!takeSizeAndSha256(fields, patch.oldSize, patch.oldSha256) ||
        !takeSizeAndSha256(fields, patch.patchSize, patch.patchSha256)) {
        return false;
    }
    patch.patchName = fields;
    return isFileName(patch.patchName);
}

// One line of the body: a file, or an earlier version of the patched file
// before it.
bool parseEntry(const std::string& line, ReleaseManifest& manifest) {
    std::string fields;
    if (takeKey(line, "from", fields)) {
        ManifestPatch patch;
        if (manifest.files.empty() || manifest.files.back().whole || !parseFrom(fields, patch)) {
            return false;
        }
        manifest.files.back().patches.push_back(patch);
        return true;
    }
    ManifestFile file;
    file.whole = takeKey(line, "file", fields);
    if (!file.whole && !takeKey(line, "patched", fields)) return false;
    if (!parseFile(fields, file) || findManifestFile(manifest, file.name.c_str()) != nullptr) {
        return false;
    }
    manifest.files.push_back(file);
    return true;
}

// Every patch's name names nothing else in the data folder: no file of the
// manifest, no other patch.
bool patchNamesAreTheirOwn(const ReleaseManifest& manifest) {
    std::vector<const std::string*> names;
    for (const ManifestFile& file : manifest.files) names.push_back(&file.name);
    for (const ManifestFile& file : manifest.files) {
        for (const ManifestPatch& patch : file.patches) {
            for (const std::string* name : names) {
                if (*name == patch.patchName) return false;
            }
            names.push_back(&patch.patchName);
        }
    }
    return true;
}

bool parseManifest(const std::string& text, ReleaseManifest& manifest) {
    size_t position = 0;
    std::string line;
    if (!nextLine(text, position, line) || line != kHeading ||
        !nextLine(text, position, line) || !takeKey(line, "title", manifest.title) ||
        !nextLine(text, position, line) || !takeKey(line, "data", manifest.dataFolder) ||
        !nextLine(text, position, line) || !takeKey(line, "release", manifest.release)) {
        return false;
    }
    while (nextLine(text, position, line)) {
        if (line == "end") return position == text.size() && patchNamesAreTheirOwn(manifest);
        if (!parseEntry(line, manifest)) return false;
    }
    return false;
}

}  // namespace

bool readReleaseManifest(const SetupEngine& engine, ReleaseManifest& manifest) {
    if (engine.releaseManifest == nullptr) return false;
    std::string text(engine.releaseManifest, engine.releaseManifestSize);
    return parseManifest(text, manifest) && manifest.title == engine.productName &&
           manifest.dataFolder == engine.dataFolder;
}

const ManifestFile* findManifestFile(const ReleaseManifest& manifest, const char* name) {
    for (const ManifestFile& file : manifest.files) {
        if (file.name == name) return &file;
    }
    return nullptr;
}
