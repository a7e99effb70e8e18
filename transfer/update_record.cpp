// Writing and reading ~UPDATE.LOG, the record of a replace step under way.
#include "transfer/update_record.h"

#include <string>

#include "base/bounded_text.h"
#include "base/paths.h"
#include "transfer/reserved_names.h"
#include "transfer/text_file.h"

namespace {

const char kHeading[] = "update record 1";
const char kEnd[] = ".";

bool recordPath(char* path, size_t capacity, const char* gameFolder) {
    return joinPath(path, capacity, gameFolder, kUpdateRecordName);
}

bool isInList(FileList list, const std::string& name) {
    for (int index = 0; list != nullptr && list[index][0] != '\0'; ++index) {
        if (name == list[index]) return true;
    }
    return false;
}

// One line of the body: "+name" or "-name" of a listed name. A listed name
// holds no NUL, so a line with one names no listed file.
RecordState parseEntry(const std::string& entry, FileList installFiles, FileList updateFiles,
                       UpdateFile& file) {
    if (entry.empty() || (entry[0] != '+' && entry[0] != '-')) return RecordState::NotWhole;
    std::string name = entry.substr(1);
    copyText(file.name, sizeof file.name, name.c_str());
    if (!isInList(installFiles, name) && !isInList(updateFiles, name)) {
        return RecordState::Foreign;
    }
    file.present = true;
    file.hadOld = entry[0] == '+';
    return RecordState::Whole;
}

RecordState parseRecord(const std::string& text, FileList installFiles, FileList updateFiles,
                        UpdateFiles& files, char* foreign) {
    size_t line = 0;
    for (size_t begin = 0; begin < text.size(); ++line) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) return RecordState::NotWhole;
        std::string entry = text.substr(begin, end - begin);
        begin = end + 1;
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        if (line == 0) {
            if (entry != kHeading) return RecordState::NotWhole;
            continue;
        }
        if (entry == kEnd) return RecordState::Whole;
        UpdateFile file{};
        RecordState state = parseEntry(entry, installFiles, updateFiles, file);
        if (state == RecordState::Foreign) copyText(foreign, kNameCapacity, file.name);
        if (state != RecordState::Whole) return state;
        files.push_back(file);
    }
    return RecordState::NotWhole;
}

}  // namespace

bool writeUpdateRecord(const char* gameFolder, const UpdateFiles& files) {
    char path[kTextCapacity];
    if (!recordPath(path, sizeof path, gameFolder)) return false;
    std::string text = std::string(kHeading) + "\r\n";
    for (const UpdateFile& file : files) {
        if (!file.present) continue;
        // A plain name holds no line end.
        text += file.hadOld ? '+' : '-';
        text += file.name;
        text += "\r\n";
    }
    text += std::string(kEnd) + "\r\n";
    return platform::writeFileToDisk(path, text.data(), text.size());
}

RecordState readUpdateRecord(const char* gameFolder, FileList installFiles,
                             FileList updateFiles, UpdateFiles& files, char* foreign) {
    char path[kTextCapacity];
    if (!recordPath(path, sizeof path, gameFolder)) return RecordState::None;
    platform::Presence presence = platform::findPath(path);
    if (presence == platform::Presence::Missing) return RecordState::None;
    std::string text;
    if (presence != platform::Presence::File || !readTextFile(path, text)) {
        return RecordState::Unreadable;
    }
    return parseRecord(text, installFiles, updateFiles, files, foreign);
}

bool deleteUpdateRecord(const char* gameFolder) {
    char path[kTextCapacity];
    return recordPath(path, sizeof path, gameFolder) && platform::deleteFile(path);
}
