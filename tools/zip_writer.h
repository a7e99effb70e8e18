// A zip archive written entry by entry through minizip, each entry as a
// Japanese Windows unpacks it: the name in code page 932 without the UTF-8
// flag, from an MS-DOS host, and its UTF-8 form beside it for the unpackers
// that read one.
#pragma once

#include <filesystem>
#include <string>

class ZipWriter {
public:
    ZipWriter() = default;
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    ~ZipWriter();

    bool open(const std::filesystem::path& zip);
    // Entries under a UTF-8 name whose parts are separated by '/', with the
    // times of source: a folder (the '/' at its end is added here) and a
    // file with the contents of source.
    bool addFolder(const std::string& name, const std::filesystem::path& source);
    bool addFile(const std::string& name, const std::filesystem::path& source);
    // Writes the central directory; the archive is whole only after this.
    bool close();

private:
    bool openEntry(const std::string& name, const std::filesystem::path& source, bool folder,
                   bool large);
    bool copyContents(const std::filesystem::path& source);

    void* zip_ = nullptr;
};
