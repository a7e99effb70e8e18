// Test support shared by the tests that run against the real system: scratch
// folders, whole-file and folder helpers. Paths are Windows paths
// (backslashes).
#pragma once

#include <string>
#include <vector>

// folder\name, with one backslash between them.
inline std::string joinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}
// Removes a folder with all its contents, read-only ones too; true when
// nothing is left.
bool removeTree(const std::string& path);

// A new empty folder under the temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder() { removeTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    // The path of name (a file or a folder) inside the folder.
    std::string pathOf(const std::string& name) const { return joinPath(path_, name); }

private:
    std::string path_;
};

// True when the folder exists afterwards (made now or already there).
bool makeFolder(const std::string& path);
bool folderExists(const std::string& path);
bool fileExists(const std::string& path);
// The names in a folder, "." and ".." aside; none when it is missing.
std::vector<std::string> namesIn(const std::string& folder);

// Replaces the file's contents; false when it could not all be written.
bool writeWholeFile(const std::string& path, const std::string& contents);
// The file's contents, or "<unreadable>" when it cannot be opened, so that a
// missing file never passes for an empty one.
std::string readWholeFile(const std::string& path);
