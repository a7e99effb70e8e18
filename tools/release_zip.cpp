// Writes a folder into a new zip as a Japanese Windows unpacks it:
//
//   release_zip <zip> <folder>
//
// The zip holds the folder itself and everything in it, each folder before
// its contents and names in byte order. On failure it says why, removes the
// unfinished zip and exits non-zero.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "zip_writer.h"

namespace fs = std::filesystem;

namespace {

bool fail(const std::string& what) {
    std::fprintf(stderr, "release_zip: %s\n", what.c_str());
    return false;
}

std::vector<fs::path> sortedChildren(const fs::path& folder) {
    std::vector<fs::path> children;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        children.push_back(entry.path());
    }
    std::sort(children.begin(), children.end());
    return children;
}

// A folder under name, then its files and folders.
bool addTree(ZipWriter& zip, const std::string& name, const fs::path& folder) {
    if (!zip.addFolder(name, folder)) return false;
    for (const fs::path& child : sortedChildren(folder)) {
        const std::string childName = name + "/" + child.filename().string();
        const fs::file_status status = fs::symlink_status(child);
        bool added = false;
        if (fs::is_directory(status)) {
            added = addTree(zip, childName, child);
        } else if (fs::is_regular_file(status)) {
            added = zip.addFile(childName, child);
        } else {
            added = fail(child.string() + " is neither a file nor a folder");
        }
        if (!added) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: release_zip <zip> <folder>\n");
        return 2;
    }
    const fs::path zipPath = argv[1];
    fs::path folder = fs::absolute(argv[2]).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    if (!fs::is_directory(folder)) {
        fail("no folder " + folder.string());
        return 1;
    }
    bool written = false;
    {
        ZipWriter zip;
        try {
            written = zip.open(zipPath) && addTree(zip, folder.filename().string(), folder) &&
                      zip.close();
        } catch (const fs::filesystem_error& error) {
            fail(error.what());
        }
    }
    if (!written) {
        std::error_code ignored;
        fs::remove(zipPath, ignored);
        return 1;
    }
    return 0;
}
