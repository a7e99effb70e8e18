// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends; plus small file helpers.
#pragma once

#include <string>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // The path of name inside the folder.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

void writeWholeFile(const std::string& path, const std::string& contents);
std::string readWholeFile(const std::string& path);
