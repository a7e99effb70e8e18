// The fake platform: the functions of platform/platform.h and the test
// controls of fake_platform.h over one shared "world".
//
// The world is guarded by one mutex, because the install copy uses streams,
// the clock, controls and call counts from two threads at once. The test
// hook (onWrite) runs outside the lock, so it may call back into the fake.
#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;

struct platform::Stream {
    std::FILE* file;
    bool failed;  // an injected read failure
};

namespace fake {
namespace {

struct FileState {
    bool heldOpen = false;
    bool readOnly = false;
    bool hasReportedSize = false;
    uint64_t reportedSize = 0;
    platform::FileTimes times{0, 0, 0};
};

struct Drive {
    unsigned kind;
    std::string label;
    bool hasVolume;
};

struct ControlState {
    std::vector<std::string> texts;
    bool enabled = true;
};

struct OpenKey {
    std::string path;  // lower case
};

struct TimeFile {
    std::string key;
};

// A folder chosen in the fake browse dialog; an empty path is a virtual one.
struct ShellItem {
    std::string path;
};

// The window handle the fake browse dialog hands to its callback.
platform::WindowHandle const browseDialog = reinterpret_cast<platform::WindowHandle>(0xB0);

struct FakeThread {
    std::thread thread;
};

struct World {
    std::string root;
    std::string currentDirectory = "c:\\";
    std::map<std::string, FileState> files;  // by host path
    std::map<char, Drive> drives;
    uint64_t freeBytes = 100ull << 30;
    std::string moduleFile = "c:\\Setup\\update.exe";
    bool noFileIndex = false;
    int64_t diskSpace = -1;
    std::set<std::string> registryKeys;  // lower-case paths
    std::map<std::string, std::map<std::string, RegistryValue>> registryValues;
    int openKeys = 0;
    std::vector<int> answers;
    std::vector<ShownMessage> messages;
    std::map<std::pair<platform::WindowHandle, int>, ControlState> controls;
    std::vector<ControlMessage> controlMessages;
    uint32_t clock = 0;
    std::function<void()> writeHook;
    std::map<int, std::string> specialFolders;
    int failuresLeft[static_cast<int>(Call::Count)] = {};
    int passesLeft[static_cast<int>(Call::Count)] = {};
    std::set<std::pair<int, std::string>> failingPaths;  // call, host path
    int counts[static_cast<int>(Call::Count)] = {};
    uint32_t nextThreadId = 100;
    std::vector<ShellOpen> shellOpens;
    int comSessions = 0;
    std::vector<std::string> browseAnswers;
    std::vector<BrowseRequest> browseRequests;
};

std::mutex worldMutex;
World world;

using Lock = std::lock_guard<std::mutex>;

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Resolves "." and ".." in the part of a host path below the root, as the
// system does with a full path: by the names alone, and ".." at a drive's
// root stays there. So no path, whatever its names, reaches outside the
// temporary root.
std::string resolveDots(const std::string& belowRoot) {
    std::vector<std::string> parts;
    for (size_t begin = 0; begin <= belowRoot.size();) {
        size_t end = std::min(belowRoot.find('/', begin), belowRoot.size());
        std::string part = belowRoot.substr(begin, end - begin);
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    std::string resolved;
    for (const std::string& part : parts) resolved += "/" + part;
    return resolved;
}

// Host path of a Windows path; the lock must be held.
std::string hostPathLocked(const std::string& windowsPath) {
    std::string path = windowsPath;
    if (path.size() < 2 || path[1] != ':') {
        std::string base = world.currentDirectory;
        if (!path.empty() && path[0] == '\\') base = base.substr(0, 2);
        else if (!base.empty() && base.back() != '\\') base += '\\';
        path = base + path;
    }
    std::string host = world.root + "/";
    host += static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    std::string rest = path.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    if (!rest.empty() && rest[0] != '/') host += '/';
    host += rest;
    return world.root + resolveDots(host.substr(world.root.size()));
}

// Counts the call and tells whether it is to fail; the lock must be held.
bool failsLocked(Call call, const char* windowsPath = nullptr) {
    int index = static_cast<int>(call);
    ++world.counts[index];
    if (windowsPath != nullptr &&
        world.failingPaths.count({index, hostPathLocked(windowsPath)}) != 0) {
        return true;
    }
    int& left = world.failuresLeft[index];
    if (left == 0) return false;
    if (world.passesLeft[index] > 0) {
        --world.passesLeft[index];
        return false;
    }
    if (left > 0) --left;
    return true;
}

FileState& stateLocked(const std::string& host) { return world.files[host]; }

bool heldOpenLocked(const std::string& host) {
    auto found = world.files.find(host);
    return found != world.files.end() && found->second.heldOpen;
}

bool readOnlyLocked(const std::string& host) {
    auto found = world.files.find(host);
    return found != world.files.end() && found->second.readOnly;
}

bool isRegularFile(const std::string& host) {
    std::error_code error;
    return fs::is_regular_file(host, error);
}

bool writeHostFile(const std::string& host, const std::string& contents) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << contents;
    return static_cast<bool>(out);
}

bool readHostFile(const std::string& host, std::string& contents) {
    std::ifstream in(host, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    contents = buffer.str();
    return true;
}

void copyBounded(char* buffer, size_t capacity, const std::string& text) {
    if (capacity == 0) return;
    size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void makeHostFolder(const std::string& windowsPath) {
    std::error_code error;
    fs::create_directories(hostPathLocked(windowsPath), error);
}

// Removes the last temporary root when the test program ends.
struct RootCleaner {
    ~RootCleaner() {
        if (world.root.empty()) return;
        std::error_code error;
        fs::remove_all(world.root, error);
    }
} rootCleaner;

}  // namespace

// ---- World ------------------------------------------------------------------

void reset() {
    Lock lock(worldMutex);
    std::string oldRoot = world.root;
    world = World();
    if (!oldRoot.empty()) {
        std::error_code error;
        fs::remove_all(oldRoot, error);
    }
    std::string pattern = (fs::temp_directory_path() / "fake_platform_XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) std::abort();
    world.root = name.data();
    world.drives['c'] = Drive{3, "", true};
    makeHostFolder("c:\\");
    world.specialFolders[22] = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu";
    world.specialFolders[23] = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    makeHostFolder(world.specialFolders[23]);
}

// ---- Files (test side) ---------------------------------------------------------

std::string hostPath(const std::string& windowsPath) {
    Lock lock(worldMutex);
    return hostPathLocked(windowsPath);
}

void writeFile(const std::string& windowsPath, const std::string& contents) {
    Lock lock(worldMutex);
    fs::path host = hostPathLocked(windowsPath);
    fs::create_directories(host.parent_path());
    writeHostFile(host.string(), contents);
}

std::string readFile(const std::string& windowsPath) {
    Lock lock(worldMutex);
    std::string contents;
    readHostFile(hostPathLocked(windowsPath), contents);
    return contents;
}

bool exists(const std::string& windowsPath) {
    Lock lock(worldMutex);
    std::error_code error;
    return fs::exists(hostPathLocked(windowsPath), error);
}

void makeFolder(const std::string& windowsPath) {
    Lock lock(worldMutex);
    makeHostFolder(windowsPath);
}

void holdOpen(const std::string& windowsPath) {
    Lock lock(worldMutex);
    stateLocked(hostPathLocked(windowsPath)).heldOpen = true;
}

void setReadOnly(const std::string& windowsPath, bool readOnly) {
    Lock lock(worldMutex);
    stateLocked(hostPathLocked(windowsPath)).readOnly = readOnly;
}

bool isReadOnly(const std::string& windowsPath) {
    Lock lock(worldMutex);
    return readOnlyLocked(hostPathLocked(windowsPath));
}

void setTimes(const std::string& windowsPath, const platform::FileTimes& times) {
    Lock lock(worldMutex);
    stateLocked(hostPathLocked(windowsPath)).times = times;
}

platform::FileTimes times(const std::string& windowsPath) {
    Lock lock(worldMutex);
    return stateLocked(hostPathLocked(windowsPath)).times;
}

void setReportedSize(const std::string& windowsPath, uint64_t size) {
    Lock lock(worldMutex);
    FileState& state = stateLocked(hostPathLocked(windowsPath));
    state.hasReportedSize = true;
    state.reportedSize = size;
}

void setDiskSpaceForWrites(int64_t bytes) {
    Lock lock(worldMutex);
    world.diskSpace = bytes;
}

// ---- Drives, program file (test side) -------------------------------------------

void setDrive(char letter, unsigned kind, const std::string& label, bool hasVolume) {
    Lock lock(worldMutex);
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    world.drives[lower] = Drive{kind, label, hasVolume};
    makeHostFolder(std::string(1, lower) + ":\\");
}

void setFreeBytes(uint64_t bytes) {
    Lock lock(worldMutex);
    world.freeBytes = bytes;
}

void reportNoFileIndex() {
    Lock lock(worldMutex);
    world.noFileIndex = true;
}

void setModuleFileName(const std::string& windowsPath) {
    Lock lock(worldMutex);
    world.moduleFile = windowsPath;
}

// ---- Registry (test side) ----------------------------------------------------------

namespace {

// Adds the key and every key above it, as key creation does.
void addKeyLocked(const std::string& key) {
    std::string lower = lowerCase(key);
    for (size_t at = lower.find('\\'); at != std::string::npos; at = lower.find('\\', at + 1)) {
        world.registryKeys.insert(lower.substr(0, at));
    }
    world.registryKeys.insert(lower);
}

}  // namespace

void setRegistryValue(const std::string& key, const std::string& name, uint32_t type,
                      const std::vector<unsigned char>& data) {
    Lock lock(worldMutex);
    addKeyLocked(key);
    world.registryValues[lowerCase(key)][lowerCase(name)] = RegistryValue{type, data};
}

void setRegistryText(const std::string& key, const std::string& name, const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    setRegistryValue(key, name, platform::kRegistryText, data);
}

bool registryKeyExists(const std::string& key) {
    Lock lock(worldMutex);
    return world.registryKeys.count(lowerCase(key)) != 0;
}

bool registryValue(const std::string& key, const std::string& name, RegistryValue& value) {
    Lock lock(worldMutex);
    auto values = world.registryValues.find(lowerCase(key));
    if (values == world.registryValues.end()) return false;
    auto found = values->second.find(lowerCase(name));
    if (found == values->second.end()) return false;
    value = found->second;
    return true;
}

int openRegistryKeys() {
    Lock lock(worldMutex);
    return world.openKeys;
}

// ---- Message boxes, controls, time, hooks (test side) --------------------------------

void answerNext(int answer) {
    Lock lock(worldMutex);
    world.answers.push_back(answer);
}

std::vector<ShownMessage> shownMessages() {
    Lock lock(worldMutex);
    return world.messages;
}

std::string controlText(platform::WindowHandle dialog, int controlId) {
    Lock lock(worldMutex);
    auto found = world.controls.find({dialog, controlId});
    if (found == world.controls.end() || found->second.texts.empty()) return "";
    return found->second.texts.back();
}

std::vector<std::string> controlTextHistory(platform::WindowHandle dialog, int controlId) {
    Lock lock(worldMutex);
    auto found = world.controls.find({dialog, controlId});
    if (found == world.controls.end()) return {};
    return found->second.texts;
}

bool controlEnabled(platform::WindowHandle dialog, int controlId) {
    Lock lock(worldMutex);
    auto found = world.controls.find({dialog, controlId});
    return found == world.controls.end() || found->second.enabled;
}

std::vector<ControlMessage> controlMessages() {
    Lock lock(worldMutex);
    return world.controlMessages;
}

void advanceClock(uint32_t milliseconds) {
    Lock lock(worldMutex);
    world.clock += milliseconds;
}

void onWrite(std::function<void()> hook) {
    Lock lock(worldMutex);
    world.writeHook = std::move(hook);
}

// ---- Shell: opening files and choosing folders (test side) ----------------------------

std::vector<ShellOpen> shellOpens() {
    Lock lock(worldMutex);
    return world.shellOpens;
}

int openComSessions() {
    Lock lock(worldMutex);
    return world.comSessions;
}

void chooseInBrowser(const std::string& folder) {
    Lock lock(worldMutex);
    world.browseAnswers.push_back(folder);
}

std::vector<BrowseRequest> browseRequests() {
    Lock lock(worldMutex);
    return world.browseRequests;
}

// ---- Failure injection and counting -----------------------------------------------------

void failCall(Call call, int times, int after) {
    Lock lock(worldMutex);
    world.failuresLeft[static_cast<int>(call)] = times < 0 ? -1 : times;
    world.passesLeft[static_cast<int>(call)] = after;
}

void failCallFor(Call call, const std::string& windowsPath) {
    Lock lock(worldMutex);
    world.failingPaths.insert({static_cast<int>(call), hostPathLocked(windowsPath)});
}

int callCount(Call call) {
    Lock lock(worldMutex);
    return world.counts[static_cast<int>(call)];
}

}  // namespace fake

// =========================================================================
// The platform layer as the engine sees it.
// =========================================================================

namespace platform {

using fake::Call;
using fake::Lock;
using fake::world;
using fake::worldMutex;

// ---- Buffered file streams ---------------------------------------------------

Stream* openStream(const char* path, const char* mode) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::OpenStream, path)) return nullptr;
    std::string host = fake::hostPathLocked(path);
    bool writing = std::strpbrk(mode, "wa+") != nullptr;
    if (writing && (fake::heldOpenLocked(host) || fake::readOnlyLocked(host))) return nullptr;
    if (!writing && !fake::isRegularFile(host)) return nullptr;
    std::FILE* file = std::fopen(host.c_str(), mode);
    if (file == nullptr) return nullptr;
    return new Stream{file, false};
}

size_t readStream(Stream* stream, void* buffer, size_t size) {
    {
        Lock lock(worldMutex);
        if (fake::failsLocked(Call::ReadStream)) {
            stream->failed = true;
            return 0;
        }
    }
    return std::fread(buffer, 1, size, stream->file);
}

bool streamFailed(Stream* stream) {
    return stream->failed || std::ferror(stream->file) != 0;
}

size_t writeStream(Stream* stream, const void* buffer, size_t size) {
    size_t allowed = size;
    std::function<void()> hook;
    {
        Lock lock(worldMutex);
        if (fake::failsLocked(Call::WriteStream)) return 0;
        if (world.diskSpace >= 0) {
            allowed = std::min<uint64_t>(size, static_cast<uint64_t>(world.diskSpace));
            world.diskSpace -= static_cast<int64_t>(allowed);
        }
        hook = world.writeHook;
    }
    size_t written = std::fwrite(buffer, 1, allowed, stream->file);
    if (hook) hook();
    return written;
}

bool closeStream(Stream* stream) {
    bool injected;
    {
        Lock lock(worldMutex);
        injected = fake::failsLocked(Call::CloseStream);
    }
    bool closed = std::fclose(stream->file) == 0;
    delete stream;
    return closed && !injected;
}

// ---- Files and folders ----------------------------------------------------------

bool canOpenForReading(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::CanOpenForReading, path)) return false;
    return fake::isRegularFile(fake::hostPathLocked(path));
}

bool exclusiveFileSize(const char* path, uint32_t& lowSize) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ExclusiveFileSize, path)) return false;
    std::string host = fake::hostPathLocked(path);
    if (!fake::isRegularFile(host) || fake::heldOpenLocked(host)) return false;
    auto state = world.files.find(host);
    uint64_t size = (state != world.files.end() && state->second.hasReportedSize)
                        ? state->second.reportedSize
                        : static_cast<uint64_t>(fs::file_size(host));
    lowSize = static_cast<uint32_t>(size);
    return true;
}

bool systemCopyFile(const char* source, const char* target) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::SystemCopyFile, target)) return false;
    std::string from = fake::hostPathLocked(source);
    std::string to = fake::hostPathLocked(target);
    if (fake::heldOpenLocked(to) || fake::readOnlyLocked(to)) return false;
    std::string contents;
    if (!fake::isRegularFile(from) || !fake::readHostFile(from, contents)) return false;
    return fake::writeHostFile(to, contents);
}

bool setAttributesNormal(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::SetAttributesNormal, path)) return false;
    std::string host = fake::hostPathLocked(path);
    std::error_code error;
    if (!fs::exists(host, error)) return false;
    fake::stateLocked(host).readOnly = false;
    return true;
}

// Only the read-only attribute is kept; every other file reads as normal,
// and a host symbolic link as a reparse point.
bool fileAttributes(const char* path, uint32_t& attributes) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::FileAttributes, path)) return false;
    std::error_code error;
    std::string host = fake::hostPathLocked(path);
    if (!fs::exists(host, error)) return false;
    attributes = fake::readOnlyLocked(host) ? kAttributeReadOnly : 0x80;
    if (fs::is_symlink(host, error)) attributes |= kAttributeReparsePoint;
    return true;
}

bool setFileAttributes(const char* path, uint32_t attributes) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::SetFileAttributes, path)) return false;
    std::error_code error;
    std::string host = fake::hostPathLocked(path);
    if (!fs::exists(host, error)) return false;
    fake::stateLocked(host).readOnly = (attributes & kAttributeReadOnly) != 0;
    return true;
}

// An injected failure is a search that failed, not a missing path.
Presence findPath(const char* path, uint64_t* size) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::FindPath, path)) return Presence::Unknown;
    std::error_code error;
    std::string host = fake::hostPathLocked(path);
    fs::file_status status = fs::status(host, error);
    if (!fs::exists(status)) return Presence::Missing;
    if (fs::is_directory(status)) return Presence::Folder;
    if (size != nullptr) *size = static_cast<uint64_t>(fs::file_size(host, error));
    return Presence::File;
}

bool deleteFile(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::DeleteFile, path)) return false;
    std::string host = fake::hostPathLocked(path);
    if (!fake::isRegularFile(host) || fake::heldOpenLocked(host) || fake::readOnlyLocked(host)) {
        return false;
    }
    std::error_code error;
    world.files.erase(host);
    return fs::remove(host, error);
}

bool writeFileToDisk(const char* path, const void* data, size_t size) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::WriteFileToDisk, path)) return false;
    std::string host = fake::hostPathLocked(path);
    if (fake::heldOpenLocked(host) || fake::readOnlyLocked(host)) return false;
    return fake::writeHostFile(host, std::string(static_cast<const char*>(data), size));
}

// Letter case aside in ASCII only; the real comparison is the system's.
bool sameFileName(const char* first, const char* second) {
    return fake::lowerCase(first) == fake::lowerCase(second);
}

bool changeDirectory(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ChangeDirectory, path)) return false;
    std::error_code error;
    if (!fs::is_directory(fake::hostPathLocked(path), error)) return false;
    std::string full = path;
    if (full.size() < 2 || full[1] != ':') return false;  // the tests use full paths
    world.currentDirectory = full;
    return true;
}

bool makeDirectory(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::MakeDirectory, path)) return false;
    std::error_code error;
    return fs::create_directory(fake::hostPathLocked(path), error) && !error;
}

bool removeDirectory(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RemoveDirectory, path)) return false;
    std::string host = fake::hostPathLocked(path);
    std::error_code error;
    if (!fs::is_directory(host, error) || !fs::is_empty(host, error)) return false;
    return fs::remove(host, error);
}

FileHandle openTimeSource(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::OpenTimeSource, path)) return nullptr;
    std::string host = fake::hostPathLocked(path);
    if (!fake::isRegularFile(host)) return nullptr;
    return new fake::TimeFile{host};
}

FileHandle openTimeTarget(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::OpenTimeTarget, path)) return nullptr;
    std::string host = fake::hostPathLocked(path);
    if (!fake::isRegularFile(host) || fake::heldOpenLocked(host) || fake::readOnlyLocked(host)) {
        return nullptr;
    }
    return new fake::TimeFile{host};
}

bool readFileTimes(FileHandle file, FileTimes& times) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ReadFileTimes)) return false;
    times = fake::stateLocked(static_cast<fake::TimeFile*>(file)->key).times;
    return true;
}

bool writeFileTimes(FileHandle file, const FileTimes& times) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::WriteFileTimes)) return false;
    fake::stateLocked(static_cast<fake::TimeFile*>(file)->key).times = times;
    return true;
}

void closeFile(FileHandle file) { delete static_cast<fake::TimeFile*>(file); }

bool moduleFileName(char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ModuleFileName)) return false;
    if (world.moduleFile.size() >= capacity) return false;
    fake::copyBounded(buffer, capacity, world.moduleFile);
    return true;
}

// ---- File identity and replacing --------------------------------------------------

// The host's device and inode stand for the volume serial and file index, so
// two paths that reach one host file (through a symbolic link) are one file.
bool fileIdentity(const char* path, FileIdentity& identity) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::FileIdentity, path)) return false;
    struct stat status;
    if (::stat(fake::hostPathLocked(path).c_str(), &status) != 0) return false;
    identity.volumeSerial = static_cast<uint32_t>(status.st_dev);
    identity.fileIndex = world.noFileIndex ? 0 : static_cast<uint64_t>(status.st_ino);
    identity.size = static_cast<uint64_t>(status.st_size);
    return true;
}

// As the system does, a target that is read-only or held open refuses to be
// replaced; the file's own state (times, attributes) moves with it.
bool replaceFile(const char* source, const char* target) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ReplaceFile, target)) return false;
    std::string from = fake::hostPathLocked(source);
    std::string to = fake::hostPathLocked(target);
    if (!fake::isRegularFile(from) || fake::heldOpenLocked(from)) return false;
    if (fake::heldOpenLocked(to) || fake::readOnlyLocked(to)) return false;
    std::error_code error;
    fs::rename(from, to, error);
    if (error) return false;
    fake::FileState moved = fake::stateLocked(from);
    world.files.erase(from);
    world.files[to] = moved;
    return true;
}

// ---- Drives ------------------------------------------------------------------------

namespace {

const fake::Drive* findDrive(const char* root) {
    if (root[0] == '\0') return nullptr;
    auto found = world.drives.find(
        static_cast<char>(std::tolower(static_cast<unsigned char>(root[0]))));
    return found == world.drives.end() ? nullptr : &found->second;
}

}  // namespace

unsigned driveType(const char* root) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::DriveType, root)) return 0;
    const fake::Drive* drive = findDrive(root);
    return drive == nullptr ? 1 : drive->kind;  // DRIVE_NO_ROOT_DIR
}

bool volumeLabel(const char* root, char* label, size_t capacity) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::VolumeLabel, root)) return false;
    const fake::Drive* drive = findDrive(root);
    if (drive == nullptr || !drive->hasVolume) return false;
    fake::copyBounded(label, capacity, drive->label);
    return true;
}

bool diskFreeBytes(const char* folder, uint64_t& freeBytes) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::DiskFreeBytes, folder)) return false;
    freeBytes = world.freeBytes;
    return true;
}

// ---- Registry --------------------------------------------------------------------------

bool registryOpenKey(const char* path, RegistryKey& key) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RegistryOpenKey)) return false;
    std::string lower = fake::lowerCase(path);
    if (world.registryKeys.count(lower) == 0) return false;
    key = new fake::OpenKey{lower};
    ++world.openKeys;
    return true;
}

bool registryCreateKey(const char* path, RegistryKey& key) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RegistryCreateKey)) return false;
    fake::addKeyLocked(path);
    key = new fake::OpenKey{fake::lowerCase(path)};
    ++world.openKeys;
    return true;
}

void registryCloseKey(RegistryKey key) {
    if (key == nullptr) return;
    Lock lock(worldMutex);
    delete static_cast<fake::OpenKey*>(key);
    --world.openKeys;
}

bool registryDeleteKey(const char* path) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RegistryDeleteKey)) return false;
    std::string lower = fake::lowerCase(path);
    if (world.registryKeys.count(lower) == 0) return false;
    auto below = world.registryKeys.upper_bound(lower + "\\");
    if (below != world.registryKeys.end() && below->rfind(lower + "\\", 0) == 0) {
        return false;  // a key with subkeys cannot be deleted
    }
    world.registryKeys.erase(lower);
    world.registryValues.erase(lower);
    return true;
}

bool registrySetValue(RegistryKey key, const char* name, uint32_t type, const void* data,
                      uint32_t size) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RegistrySetValue)) return false;
    const std::string& path = static_cast<fake::OpenKey*>(key)->path;
    if (world.registryKeys.count(path) == 0) return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    world.registryValues[path][fake::lowerCase(name)] =
        fake::RegistryValue{type, std::vector<unsigned char>(bytes, bytes + size)};
    return true;
}

bool registryQueryValue(RegistryKey key, const char* name, void* data, uint32_t& size) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::RegistryQueryValue)) return false;
    const std::string& path = static_cast<fake::OpenKey*>(key)->path;
    auto values = world.registryValues.find(path);
    if (values == world.registryValues.end()) return false;
    auto found = values->second.find(fake::lowerCase(name));
    if (found == values->second.end()) return false;
    const std::vector<unsigned char>& stored = found->second.data;
    if (stored.size() > size) {
        size = static_cast<uint32_t>(stored.size());  // the size that would be needed
        return false;
    }
    if (!stored.empty()) std::memcpy(data, stored.data(), stored.size());
    size = static_cast<uint32_t>(stored.size());
    return true;
}

// ---- Threads and time ---------------------------------------------------------------------

bool startThread(ThreadProc proc, void* argument, uint32_t& threadId, ThreadHandle& handle) {
    {
        Lock lock(worldMutex);
        if (fake::failsLocked(Call::StartThread)) return false;
        threadId = world.nextThreadId++;
    }
    handle = new fake::FakeThread{std::thread(proc, argument)};
    return true;
}

void waitThread(ThreadHandle handle) {
    auto* thread = static_cast<fake::FakeThread*>(handle);
    if (thread->thread.joinable()) thread->thread.join();
}

// The fake joins a thread that nobody waited for, so that no test leaves one
// running into the next.
void closeThread(ThreadHandle handle) {
    waitThread(handle);
    delete static_cast<fake::FakeThread*>(handle);
}

uint32_t milliseconds() {
    Lock lock(worldMutex);
    return world.clock;
}

void yieldThread() { std::this_thread::yield(); }

// There is no message queue: the waiting loop only yields.
bool pumpOneMessage() { return false; }

// ---- Message boxes and dialog controls ---------------------------------------------------

// Question boxes (Yes/No) take the scripted answers in order, else Yes;
// every other box answers OK.
int messageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
    Lock lock(worldMutex);
    world.messages.push_back(fake::ShownMessage{owner, text, caption, flags});
    if ((flags & 0x0F) != 0x04) return kAnswerOk;
    if (world.answers.empty()) return kAnswerYes;
    int answer = world.answers.front();
    world.answers.erase(world.answers.begin());
    return answer;
}

void setControlText(WindowHandle dialog, int controlId, const char* text) {
    if (dialog == nullptr) return;
    Lock lock(worldMutex);
    world.controls[{dialog, controlId}].texts.push_back(text);
}

void enableControl(WindowHandle dialog, int controlId, bool enabled) {
    if (dialog == nullptr) return;
    Lock lock(worldMutex);
    world.controls[{dialog, controlId}].enabled = enabled;
}

intptr_t sendControlMessage(WindowHandle dialog, int controlId, unsigned message,
                            uintptr_t wParam, intptr_t lParam) {
    if (dialog == nullptr) return 0;
    Lock lock(worldMutex);
    world.controlMessages.push_back(
        fake::ControlMessage{dialog, controlId, message, wParam, lParam});
    return 0;
}

// ---- Shell ----------------------------------------------------------------------------------

bool specialFolderPath(int csidl, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (capacity > 0) buffer[0] = '\0';
    if (fake::failsLocked(Call::SpecialFolderPath)) return false;
    auto found = world.specialFolders.find(csidl);
    if (found == world.specialFolders.end()) return false;
    fake::copyBounded(buffer, capacity, found->second);
    return true;
}

bool saveShellLink(const char* linkFile, const char* target, const char* workingDirectory) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::SaveShellLink, linkFile)) return false;
    std::string host = fake::hostPathLocked(linkFile);
    if (fake::heldOpenLocked(host) || fake::readOnlyLocked(host)) return false;
    std::error_code error;
    if (!fs::is_directory(fs::path(host).parent_path(), error)) return false;
    return fake::writeHostFile(host, std::string(target) + "\n" + workingDirectory);
}

bool loadShellLinkWorkingDirectory(const char* linkFile, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::LoadShellLinkWorkingDirectory, linkFile)) return false;
    std::string contents;
    if (!fake::readHostFile(fake::hostPathLocked(linkFile), contents)) return false;
    size_t newline = contents.find('\n');
    if (newline == std::string::npos) return false;
    fake::copyBounded(buffer, capacity, contents.substr(newline + 1));
    return true;
}

// ---- Shell: opening files and choosing folders ----------------------------------------------

bool startCom(bool& mustEnd) {
    Lock lock(worldMutex);
    mustEnd = false;
    if (fake::failsLocked(Call::StartCom)) return false;
    mustEnd = true;
    ++world.comSessions;
    return true;
}

void endCom() {
    Lock lock(worldMutex);
    --world.comSessions;
}

// The fake knows no long forms: every path goes to the shell as given.
bool longPathName(const char* path, char*, size_t) {
    Lock lock(worldMutex);
    fake::failsLocked(Call::LongPathName, path);
    return false;
}

bool shellOpenFile(const char* path, const char* parameters) {
    Lock lock(worldMutex);
    world.shellOpens.push_back(fake::ShellOpen{path, parameters, world.currentDirectory});
    return !fake::failsLocked(Call::ShellOpenFile, path);
}

// Like the shell's dialog, calls back once it is up, then takes the user's
// scripted answer.
ShellItem browseForFolder(WindowHandle owner, const char* title, unsigned flags,
                          BrowseCallback callback, intptr_t data) {
    {
        Lock lock(worldMutex);
        if (fake::failsLocked(Call::BrowseForFolder)) return nullptr;
        world.browseRequests.push_back(fake::BrowseRequest{owner, title, flags, ""});
    }
    callback(fake::browseDialog, 1, 0, data);
    Lock lock(worldMutex);
    if (world.browseAnswers.empty()) return nullptr;
    auto* item = new fake::ShellItem{world.browseAnswers.front()};
    world.browseAnswers.erase(world.browseAnswers.begin());
    return item;
}

bool shellItemPath(ShellItem item, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (fake::failsLocked(Call::ShellItemPath)) return false;
    const std::string& path = static_cast<fake::ShellItem*>(item)->path;
    if (path.empty() || path.size() >= capacity) return false;
    fake::copyBounded(buffer, capacity, path);
    return true;
}

// The fake frees the item even when it reports the allocator missing, so
// that the tests leak nothing.
bool freeShellItem(ShellItem item) {
    Lock lock(worldMutex);
    delete static_cast<fake::ShellItem*>(item);
    return !fake::failsLocked(Call::FreeShellItem);
}

// Records the selection the browse dialog is asked for (by path).
intptr_t sendWindowMessage(WindowHandle window, unsigned message, uintptr_t wParam,
                           intptr_t lParam) {
    Lock lock(worldMutex);
    if (window == fake::browseDialog && message == 0x466 && wParam != 0 &&
        !world.browseRequests.empty()) {
        world.browseRequests.back().preselected = reinterpret_cast<const char*>(lParam);
    }
    return 0;
}

}  // namespace platform
