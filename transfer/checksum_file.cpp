// Reading the release's checksum file: finding a name's CRC-32 in a line
// of its own form, as the players' tools write them.
#include "transfer/checksum_file.h"

#include "platform/platform.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Splits a line (its end of line removed) into its name and checksum;
// false for a comment, a blank line or a line of another form.
bool parseLine(std::string line, std::string& name, uint32_t& checksum) {
    while (!line.empty() && (isBlank(line.back()) || line.back() == '\r')) line.pop_back();
    // No file's name holds a NUL: such a line names no file.
    if (line.size() < 10 || line[0] == ';' || line.find('\0') != std::string::npos) return false;
    const size_t digits = line.size() - 8;
    if (!isBlank(line[digits - 1])) return false;
    checksum = 0;
    for (size_t at = digits; at < line.size(); ++at) {
        int value = hexDigit(line[at]);
        if (value < 0) return false;
        checksum = (checksum << 4) | static_cast<uint32_t>(value);
    }
    size_t end = digits - 1;
    while (end > 0 && isBlank(line[end - 1])) --end;
    name.assign(line, 0, end);
    return !name.empty();
}

}  // namespace

bool findChecksum(const std::string& text, const char* name, uint32_t& checksum) {
    std::string lineName;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        if (parseLine(text.substr(begin, end - begin), lineName, checksum) &&
            platform::sameFileName(lineName.c_str(), name)) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}
