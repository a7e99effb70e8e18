// The fake platform: the functions of platform/platform.h and the test
// controls of fake_platform.h over one shared "world", guarded by one mutex:
// the install copy uses streams, the clock, controls and call counts from two
// threads at once. The test hook (onWrite) runs outside the lock, so it may
// call back into the fake.
#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include <openssl/evp.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

struct platform::Stream { std::FILE* file; bool failed; };  // failed: an injected read error
// A mapped file is a copy of its bytes on the heap.
struct platform::MappedFile { std::string bytes; };
// The host's own SHA-256; failed: an injected failure spoiled it.
struct platform::Sha256 { EVP_MD_CTX* context; bool failed; };

namespace fake {
namespace {

struct FileState {
    bool heldOpen = false;
    bool readOnly = false;
    std::optional<uint64_t> reportedSize;
    platform::FileTimes times{0, 0, 0};
};

struct Drive { unsigned kind; std::string label; bool hasVolume; };

// The common Start menu (CSIDL 22) and its Programs folder (23).
const char* const kStartMenuFolder = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu";
const char* const kProgramsFolder = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

// What the platform's opaque handles point to.
struct OpenKey { std::string path; };  // lower case
struct TimeFile { std::string host; };
struct ChosenFolder { std::string path; };  // empty for a virtual folder
struct FakeThread { std::thread thread; };

// The window handle the fake browse dialog hands to its callback.
platform::WindowHandle const browseDialog = reinterpret_cast<platform::WindowHandle>(0xB0);

// One call's count and injected failures: failuresLeft < 0 fails every call,
// after passesLeft calls have passed.
struct CallState {
    int failuresLeft = 0, passesLeft = 0, count = 0;
    uint32_t error = kOtherError;
};

// The system errors the fake gives for the states it keeps.
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kDiskFull = 112;

struct World {
    std::string root;
    std::string currentDirectory = "c:\\";
    std::map<std::string, FileState> files;  // by host path
    std::map<char, Drive> drives;
    uint64_t freeBytes = 100ull << 30;
    std::string moduleFile = "c:\\Setup\\update.exe";
    bool noFileIndex = false;
    int64_t diskSpace = -1;
    // Every key (by lower-case path) with its values (by lower-case name).
    std::map<std::string, std::map<std::string, RegistryValue>> registry;
    int openKeys = 0;
    std::vector<int> answers;
    std::vector<ShownMessage> messages;
    std::map<std::pair<platform::WindowHandle, int>, std::vector<std::string>> controlTexts;
    std::map<std::pair<platform::WindowHandle, int>, ProgressBar> progressBars;
    uint32_t clock = 0;
    std::function<void()> writeHook;
    CallState calls[static_cast<int>(Call::Count)];
    std::map<std::pair<int, std::string>, uint32_t> failingPaths;  // call, host path: error
    uint32_t nextThreadId = 100;
    std::vector<ShellOpen> shellOpens;
    int comSessions = 0;
    std::vector<std::string> browseAnswers;
    std::vector<BrowseRequest> browseRequests;
};

std::mutex worldMutex;
World world;

using Lock = std::lock_guard<std::mutex>;

// Runs f under the world's lock and returns what it returns.
template <typename F>
auto locked(F f) {
    Lock lock(worldMutex);
    return f();
}

// A copy of a part of the world, taken under the lock.
template <typename T>
T copyOf(const T& part) { return locked([&] { return part; }); }

char lowerChar(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string lowerCase(std::string text) {
    for (char& c : text) c = lowerChar(c);
    return text;
}

// Resolves "." and ".." in the part of a host path below the root, as the
// system does with a full path: by the names alone, and ".." at a drive's
// root stays there. So no path, whatever its names, reaches outside the
// temporary root.
std::string resolveDots(const std::string& belowRoot) {
    std::vector<std::string> parts;
    std::istringstream names(belowRoot);
    for (std::string part; std::getline(names, part, '/');) {
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string resolved;
    for (const std::string& part : parts) resolved += "/" + part;
    return resolved;
}

// The functions named ...Locked expect the lock to be held.
std::string hostPathLocked(const std::string& windowsPath) {
    std::string path = windowsPath;
    if (path.size() < 2 || path[1] != ':') {
        std::string base = world.currentDirectory;
        if (!path.empty() && path[0] == '\\') base = base.substr(0, 2);
        else if (!base.empty() && base.back() != '\\') base += '\\';
        path = base + path;
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string drive(1, lowerChar(path[0]));
    return world.root + resolveDots("/" + drive + "/" + path.substr(2));
}

// The system error of this thread's last failed call (lastError).
thread_local uint32_t lastFailure = 0;

// Keeps the error of a call that fails; false, for its return.
bool failWith(uint32_t error) {
    lastFailure = error;
    return false;
}

// Counts the call and tells whether it is to fail.
bool failsLocked(Call call, const char* windowsPath = nullptr) {
    int index = static_cast<int>(call);
    CallState& state = world.calls[index];
    ++state.count;
    if (windowsPath) {
        auto failing = world.failingPaths.find({index, hostPathLocked(windowsPath)});
        if (failing != world.failingPaths.end()) return !failWith(failing->second);
    }
    if (state.failuresLeft == 0) return false;
    if (state.passesLeft > 0) {
        --state.passesLeft;
        return false;
    }
    if (state.failuresLeft > 0) --state.failuresLeft;
    return !failWith(state.error);
}

FileState& stateLocked(const std::string& host) { return world.files[host]; }
// The state of a file named by its Windows path.
FileState& fileLocked(const std::string& path) { return stateLocked(hostPathLocked(path)); }

// Held open by others or read-only: the file refuses to be written, with
// the system's error for it.
bool lockedOutLocked(const std::string& host) {
    const FileState& state = stateLocked(host);
    if (state.heldOpen) return !failWith(kSharingViolation);
    return state.readOnly && !failWith(kAccessDenied);
}

// The error of this thread's last host file-system call, so that none throws.
thread_local std::error_code hostError;

bool isRegularFile(const std::string& host) { return fs::is_regular_file(host, hostError); }
bool isFolder(const std::string& host) { return fs::is_directory(host, hostError); }
bool hostExists(const std::string& host) { return fs::exists(host, hostError); }

bool writeHostFile(const std::string& host, const std::string& contents) {
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << contents;
    return static_cast<bool>(out);
}

bool readHostFile(const std::string& host, std::string& contents) {
    std::ifstream in(host, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void copyBounded(char* buffer, size_t capacity, const std::string& text) {
    if (capacity == 0) return;
    size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void makeHostFolder(const std::string& windowsPath) {
    fs::create_directories(hostPathLocked(windowsPath), hostError);
}

// Adds the key and every key above it, as key creation does.
void addKeyLocked(const std::string& key) {
    std::string lower = lowerCase(key);
    for (size_t at = lower.find('\\'); at != std::string::npos; at = lower.find('\\', at + 1)) {
        world.registry[lower.substr(0, at)];
    }
    world.registry[lower];
}

// The value under a lower-case key path, or null.
const RegistryValue* findValueLocked(const std::string& key, const std::string& name) {
    auto values = world.registry.find(key);
    if (values == world.registry.end()) return nullptr;
    auto found = values->second.find(lowerCase(name));
    return found == values->second.end() ? nullptr : &found->second;
}

const Drive* findDriveLocked(const char* root) {
    auto found = world.drives.find(lowerChar(root[0]));
    return found == world.drives.end() ? nullptr : &found->second;
}

// Only the read-only attribute is kept, per file.
bool setReadOnlyAttribute(Call call, const char* path, bool readOnly) {
    Lock lock(worldMutex);
    if (failsLocked(call, path)) return false;
    std::string host = hostPathLocked(path);
    if (!hostExists(host)) return false;
    stateLocked(host).readOnly = readOnly;
    return true;
}

void removeRoot() { if (!world.root.empty()) fs::remove_all(world.root, hostError); }

// Removes the last temporary root when the test program ends.
// Streams, time files, mapped files, SHA-256s and threads given out and not
// yet closed, freed or waited for: none may outlive a test.
std::atomic<int> openObjects{0};

template <typename T>
T* given(T* object) {
    if (object != nullptr) ++openObjects;
    return object;
}

template <typename T>
void taken(T* object) {
    if (object != nullptr) --openObjects;
    delete object;
}

// A test that left something open has a fault the next one must not hide.
void expectNothingOpen() {
    if (openObjects == 0) return;
    std::fprintf(stderr, "fake platform: %d files, streams or threads were left open\n",
                 openObjects.load());
    std::abort();
}

struct RootCleaner {
    ~RootCleaner() {
        expectNothingOpen();
        removeRoot();
    }
} rootCleaner;

}  // namespace

// ---- Test controls ----------------------------------------------------------------
void reset() {
    expectNothingOpen();
    Lock lock(worldMutex);
    removeRoot();
    world = World();
    std::string root = (fs::temp_directory_path() / "fake_platform_XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr) std::abort();
    world.root = root;
    world.drives['c'] = Drive{3, "", true};
    makeHostFolder("c:\\");
    makeHostFolder(kProgramsFolder);
}

void writeFile(const std::string& path, const std::string& contents) {
    Lock lock(worldMutex);
    fs::path host = hostPathLocked(path);
    fs::create_directories(host.parent_path());
    writeHostFile(host.string(), contents);
}

std::string readFile(const std::string& path) {
    std::string contents;
    locked([&] { return readHostFile(hostPathLocked(path), contents); });
    return contents;
}

std::string hostPath(const std::string& path) {
    return locked([&] { return hostPathLocked(path); });
}
bool exists(const std::string& path) {
    return locked([&] { return hostExists(hostPathLocked(path)); });
}
void makeFolder(const std::string& path) { locked([&] { makeHostFolder(path); }); }
void holdOpen(const std::string& path) { locked([&] { fileLocked(path).heldOpen = true; }); }
void setReadOnly(const std::string& path, bool readOnly) {
    locked([&] { fileLocked(path).readOnly = readOnly; });
}
bool isReadOnly(const std::string& path) {
    return locked([&] { return fileLocked(path).readOnly; });
}
void setTimes(const std::string& path, const platform::FileTimes& times) {
    locked([&] { fileLocked(path).times = times; });
}
platform::FileTimes times(const std::string& path) {
    return locked([&] { return fileLocked(path).times; });
}
void setReportedSize(const std::string& path, uint64_t size) {
    locked([&] { fileLocked(path).reportedSize = size; });
}
std::string sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int at = 0; at < size; ++at) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", digest[at]);
        hex += digits;
    }
    return hex;
}
void setDiskSpaceForWrites(int64_t bytes) { locked([&] { world.diskSpace = bytes; }); }
void setFreeBytes(uint64_t bytes) { locked([&] { world.freeBytes = bytes; }); }
void setModuleFileName(const std::string& path) { locked([&] { world.moduleFile = path; }); }
void reportNoFileIndex() { locked([] { world.noFileIndex = true; }); }

void setDrive(char letter, unsigned kind, const std::string& label, bool hasVolume) {
    Lock lock(worldMutex);
    world.drives[lowerChar(letter)] = Drive{kind, label, hasVolume};
    makeHostFolder(std::string(1, letter) + ":\\");
}

void setRegistryValue(const std::string& key, const std::string& name, uint32_t type,
                      const std::vector<unsigned char>& data) {
    Lock lock(worldMutex);
    addKeyLocked(key);
    world.registry[lowerCase(key)][lowerCase(name)] = RegistryValue{type, data};
}

void setRegistryText(const std::string& key, const std::string& name, const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    setRegistryValue(key, name, platform::kRegistryText, data);
}

bool registryValue(const std::string& key, const std::string& name, RegistryValue& value) {
    Lock lock(worldMutex);
    const RegistryValue* found = findValueLocked(lowerCase(key), name);
    if (found != nullptr) value = *found;
    return found != nullptr;
}

bool registryKeyExists(const std::string& key) {
    return locked([&] { return world.registry.count(lowerCase(key)) != 0; });
}
int openRegistryKeys() { return copyOf(world.openKeys); }
void answerNext(int answer) { locked([&] { world.answers.push_back(answer); }); }
std::vector<ShownMessage> shownMessages() { return copyOf(world.messages); }

std::vector<std::string> controlTextHistory(platform::WindowHandle dialog, int controlId) {
    Lock lock(worldMutex);
    auto found = world.controlTexts.find({dialog, controlId});
    return found == world.controlTexts.end() ? std::vector<std::string>() : found->second;
}
std::string controlText(platform::WindowHandle dialog, int controlId) {
    std::vector<std::string> texts = controlTextHistory(dialog, controlId);
    return texts.empty() ? "" : texts.back();
}

ProgressBar progressBar(platform::WindowHandle dialog, int controlId) {
    return locked([&] { return world.progressBars[{dialog, controlId}]; });
}
void advanceClock(uint32_t milliseconds) { locked([&] { world.clock += milliseconds; }); }
void onWrite(std::function<void()> hook) { locked([&] { world.writeHook = std::move(hook); }); }
std::vector<ShellOpen> shellOpens() { return copyOf(world.shellOpens); }
int openComSessions() { return copyOf(world.comSessions); }
std::vector<BrowseRequest> browseRequests() { return copyOf(world.browseRequests); }
void chooseInBrowser(const std::string& folder) {
    locked([&] { world.browseAnswers.push_back(folder); });
}

void failCall(Call call, int times, int after, uint32_t error) {
    Lock lock(worldMutex);
    CallState& state = world.calls[static_cast<int>(call)];
    state.failuresLeft = times < 0 ? -1 : times;
    state.passesLeft = after;
    state.error = error;
}

void failCallFor(Call call, const std::string& path, uint32_t error) {
    locked([&] { world.failingPaths[{static_cast<int>(call), hostPathLocked(path)}] = error; });
}

int callCount(Call call) { return copyOf(world.calls[static_cast<int>(call)].count); }

}  // namespace fake

// ==== The platform layer as the engine sees it ===================================
namespace platform {

// The fake's helpers and world, named here without their namespace.
using namespace fake;

// ---- Buffered file streams ---------------------------------------------------------
Stream* openStream(const char* path, const char* mode) {
    Lock lock(worldMutex);
    if (failsLocked(Call::OpenStream, path)) return nullptr;
    std::string host = hostPathLocked(path);
    bool writing = std::strpbrk(mode, "wa+") != nullptr;
    if (writing ? lockedOutLocked(host) : !isRegularFile(host)) return nullptr;
    std::FILE* file = std::fopen(host.c_str(), mode);
    return file == nullptr ? nullptr : given(new Stream{file, false});
}

size_t readStream(Stream* stream, void* buffer, size_t size) {
    if (locked([] { return failsLocked(Call::ReadStream); })) {
        stream->failed = true;
        return 0;
    }
    return std::fread(buffer, 1, size, stream->file);
}
bool streamFailed(Stream* stream) { return stream->failed || std::ferror(stream->file) != 0; }

size_t writeStream(Stream* stream, const void* buffer, size_t size) {
    size_t allowed = size;
    std::function<void()> hook;
    {
        Lock lock(worldMutex);
        if (failsLocked(Call::WriteStream)) return 0;
        if (world.diskSpace >= 0) {
            allowed = std::min<uint64_t>(size, static_cast<uint64_t>(world.diskSpace));
            world.diskSpace -= static_cast<int64_t>(allowed);
            if (allowed < size) failWith(kDiskFull);
        }
        hook = world.writeHook;
    }
    size_t written = std::fwrite(buffer, 1, allowed, stream->file);
    if (hook) hook();
    return written;
}

bool closeStream(Stream* stream) {
    bool injected = locked([] { return failsLocked(Call::CloseStream); });
    bool closed = std::fclose(stream->file) == 0;
    taken(stream);
    return closed && !injected;
}

// ---- Files and folders -------------------------------------------------------------
bool canOpenForReading(const char* path) {
    Lock lock(worldMutex);
    return !failsLocked(Call::CanOpenForReading, path) && isRegularFile(hostPathLocked(path));
}

bool exclusiveFileSize(const char* path, uint32_t& lowSize) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ExclusiveFileSize, path)) return false;
    std::string host = hostPathLocked(path);
    const FileState& state = stateLocked(host);
    if (!isRegularFile(host) || state.heldOpen) return false;
    lowSize = static_cast<uint32_t>(state.reportedSize ? *state.reportedSize : fs::file_size(host));
    return true;
}

bool systemCopyFile(const char* source, const char* target) {
    Lock lock(worldMutex);
    if (failsLocked(Call::SystemCopyFile, target)) return false;
    std::string from = hostPathLocked(source);
    std::string to = hostPathLocked(target);
    std::string contents;
    if (lockedOutLocked(to) || !isRegularFile(from) || !readHostFile(from, contents) ||
        !writeHostFile(to, contents)) {
        return false;
    }
    stateLocked(to).readOnly = stateLocked(from).readOnly;  // as the system's copy does
    return true;
}

bool setAttributesNormal(const char* path) {
    return setReadOnlyAttribute(Call::SetAttributesNormal, path, false);
}
bool setFileAttributes(const char* path, uint32_t attributes) {
    bool readOnly = (attributes & kAttributeReadOnly) != 0;
    return setReadOnlyAttribute(Call::SetFileAttributes, path, readOnly);
}

// Every file but a read-only one reads as normal, and a host symbolic link
// as a reparse point.
bool fileAttributes(const char* path, uint32_t& attributes) {
    Lock lock(worldMutex);
    if (failsLocked(Call::FileAttributes, path)) return false;
    std::string host = hostPathLocked(path);
    if (!hostExists(host)) return false;
    attributes = stateLocked(host).readOnly ? kAttributeReadOnly : 0x80;
    if (fs::is_symlink(host, hostError)) attributes |= kAttributeReparsePoint;
    return true;
}

// An injected failure is a search that failed, not a missing path.
Presence findPath(const char* path, uint64_t* size) {
    Lock lock(worldMutex);
    if (failsLocked(Call::FindPath, path)) return Presence::Unknown;
    std::string host = hostPathLocked(path);
    fs::file_status status = fs::status(host, hostError);
    if (!fs::exists(status)) return Presence::Missing;
    if (fs::is_directory(status)) return Presence::Folder;
    if (size != nullptr) *size = static_cast<uint64_t>(fs::file_size(host, hostError));
    return Presence::File;
}

bool deleteFile(const char* path) {
    Lock lock(worldMutex);
    if (failsLocked(Call::DeleteFile, path)) return false;
    std::string host = hostPathLocked(path);
    if (!isRegularFile(host) || lockedOutLocked(host)) return false;
    world.files.erase(host);
    return fs::remove(host, hostError);
}
bool writeFileToDisk(const char* path, const void* data, size_t size) {
    Lock lock(worldMutex);
    if (failsLocked(Call::WriteFileToDisk, path)) return false;
    std::string host = hostPathLocked(path);
    if (lockedOutLocked(host)) return false;
    return writeHostFile(host, std::string(static_cast<const char*>(data), size));
}

MappedFile* mapFileForReading(const char* path, const void*& data, uint64_t& size) {
    Lock lock(worldMutex);
    std::string host = hostPathLocked(path);
    auto* mapped = new MappedFile;
    if (failsLocked(Call::MapFileForReading, path) || !isRegularFile(host) ||
        !readHostFile(host, mapped->bytes)) {
        delete mapped;
        return nullptr;
    }
    data = mapped->bytes.empty() ? nullptr : mapped->bytes.data();
    size = mapped->bytes.size();
    return given(mapped);
}
void unmapFile(MappedFile* file) { taken(file); }

// The host keeps no cache of its own to write out: a flush only counts,
// and fails for a path that is not there.
bool flushFileToDisk(const char* path) {
    Lock lock(worldMutex);
    return !failsLocked(Call::FlushFileToDisk, path) && isRegularFile(hostPathLocked(path));
}
bool flushFolderToDisk(const char* path) {
    Lock lock(worldMutex);
    return !failsLocked(Call::FlushFolderToDisk, path) && isFolder(hostPathLocked(path));
}

// Letter case aside in ASCII only; the real comparison is the system's.
bool sameFileName(const char* a, const char* b) { return lowerCase(a) == lowerCase(b); }

bool changeDirectory(const char* path) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ChangeDirectory, path) || !isFolder(hostPathLocked(path))) return false;
    if (path[0] == '\0' || path[1] != ':') return false;  // the tests use full paths
    world.currentDirectory = path;
    return true;
}
bool makeDirectory(const char* path) {
    Lock lock(worldMutex);
    return !failsLocked(Call::MakeDirectory, path) &&
           fs::create_directory(hostPathLocked(path), hostError);
}
bool removeDirectory(const char* path) {
    Lock lock(worldMutex);
    if (failsLocked(Call::RemoveDirectory, path)) return false;
    std::string host = hostPathLocked(path);
    if (!isFolder(host) || !fs::is_empty(host, hostError)) return false;
    return fs::remove(host, hostError);
}

FileHandle openTimeSource(const char* path) {
    Lock lock(worldMutex);
    if (failsLocked(Call::OpenTimeSource, path)) return nullptr;
    std::string host = hostPathLocked(path);
    return isRegularFile(host) ? given(new TimeFile{host}) : nullptr;
}
FileHandle openTimeTarget(const char* path) {
    Lock lock(worldMutex);
    if (failsLocked(Call::OpenTimeTarget, path)) return nullptr;
    std::string host = hostPathLocked(path);
    return isRegularFile(host) && !lockedOutLocked(host) ? given(new TimeFile{host}) : nullptr;
}
bool readFileTimes(FileHandle file, FileTimes& times) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ReadFileTimes)) return false;
    times = stateLocked(static_cast<TimeFile*>(file)->host).times;
    return true;
}
bool writeFileTimes(FileHandle file, const FileTimes& times) {
    Lock lock(worldMutex);
    if (failsLocked(Call::WriteFileTimes)) return false;
    stateLocked(static_cast<TimeFile*>(file)->host).times = times;
    return true;
}
void closeFile(FileHandle file) { taken(static_cast<TimeFile*>(file)); }

bool moduleFileName(char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ModuleFileName) || world.moduleFile.size() >= capacity) return false;
    copyBounded(buffer, capacity, world.moduleFile);
    return true;
}

// The host's device and inode stand for the volume serial and file index, so
// two paths that reach one host file (through a symbolic link) are one file.
bool fileIdentity(const char* path, FileIdentity& identity) {
    Lock lock(worldMutex);
    if (failsLocked(Call::FileIdentity, path)) return false;
    struct stat status;
    if (::stat(hostPathLocked(path).c_str(), &status) != 0) return false;
    identity.volumeSerial = static_cast<uint32_t>(status.st_dev);
    identity.fileIndex = world.noFileIndex ? 0 : static_cast<uint64_t>(status.st_ino);
    identity.size = static_cast<uint64_t>(status.st_size);
    return true;
}

// As the system does, a target that is read-only or held open refuses to be
// replaced; the file's own state (times, attributes) moves with it.
bool replaceFile(const char* source, const char* target) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ReplaceFile, target)) return false;
    std::string from = hostPathLocked(source);
    std::string to = hostPathLocked(target);
    if (!isRegularFile(from) || lockedOutLocked(to)) return false;
    if (stateLocked(from).heldOpen) return failWith(kSharingViolation);
    fs::rename(from, to, hostError);
    if (hostError) return false;
    FileState moved = stateLocked(from);
    world.files.erase(from);
    world.files[to] = moved;
    return true;
}

uint32_t lastError() { return lastFailure; }

// ---- SHA-256 -----------------------------------------------------------------------
Sha256* startSha256() {
    if (locked([] { return failsLocked(Call::StartSha256); })) return nullptr;
    Sha256* sha = given(new Sha256{EVP_MD_CTX_new(), false});
    EVP_DigestInit_ex(sha->context, EVP_sha256(), nullptr);
    return sha;
}
bool addToSha256(Sha256* sha, const void* data, size_t size) {
    if (locked([] { return failsLocked(Call::AddToSha256); })) sha->failed = true;
    return !sha->failed && EVP_DigestUpdate(sha->context, data, size) == 1;
}
bool finishSha256(Sha256* sha, unsigned char* digest) {
    bool finished = !locked([] { return failsLocked(Call::FinishSha256); }) && !sha->failed &&
                    EVP_DigestFinal_ex(sha->context, digest, nullptr) == 1;
    EVP_MD_CTX_free(sha->context);
    taken(sha);
    return finished;
}

// ---- Drives ------------------------------------------------------------------------
unsigned driveType(const char* root) {
    Lock lock(worldMutex);
    if (failsLocked(Call::DriveType, root)) return 0;
    const Drive* drive = findDriveLocked(root);
    return drive == nullptr ? 1 : drive->kind;  // DRIVE_NO_ROOT_DIR
}
bool volumeLabel(const char* root, char* label, size_t capacity) {
    Lock lock(worldMutex);
    if (failsLocked(Call::VolumeLabel, root)) return false;
    const Drive* drive = findDriveLocked(root);
    if (drive == nullptr || !drive->hasVolume) return false;
    copyBounded(label, capacity, drive->label);
    return true;
}
bool diskFreeBytes(const char* folder, uint64_t& freeBytes) {
    Lock lock(worldMutex);
    if (failsLocked(Call::DiskFreeBytes, folder)) return false;
    freeBytes = world.freeBytes;
    return true;
}

// ---- Registry ----------------------------------------------------------------------
bool registryOpenKey(const char* path, RegistryKey& key) {
    Lock lock(worldMutex);
    std::string lower = lowerCase(path);
    if (failsLocked(Call::RegistryOpenKey) || world.registry.count(lower) == 0) return false;
    key = new OpenKey{lower};
    ++world.openKeys;
    return true;
}
bool registryCreateKey(const char* path, RegistryKey& key) {
    Lock lock(worldMutex);
    if (failsLocked(Call::RegistryCreateKey)) return false;
    addKeyLocked(path);
    key = new OpenKey{lowerCase(path)};
    ++world.openKeys;
    return true;
}
void registryCloseKey(RegistryKey key) {
    if (key == nullptr) return;
    Lock lock(worldMutex);
    delete static_cast<OpenKey*>(key);
    --world.openKeys;
}

bool registryDeleteKey(const char* path) {
    Lock lock(worldMutex);
    std::string lower = lowerCase(path);
    if (failsLocked(Call::RegistryDeleteKey) || world.registry.count(lower) == 0) return false;
    // A key with subkeys cannot be deleted.
    auto below = world.registry.upper_bound(lower + "\\");
    if (below != world.registry.end() && below->first.rfind(lower + "\\", 0) == 0) return false;
    world.registry.erase(lower);
    return true;
}

bool registrySetValue(RegistryKey key, const char* name, uint32_t type, const void* data,
                      uint32_t size) {
    Lock lock(worldMutex);
    if (failsLocked(Call::RegistrySetValue)) return false;
    auto values = world.registry.find(static_cast<OpenKey*>(key)->path);
    if (values == world.registry.end()) return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    values->second[lowerCase(name)] = RegistryValue{type, {bytes, bytes + size}};
    return true;
}

bool registryQueryValue(RegistryKey key, const char* name, void* data, uint32_t& size) {
    Lock lock(worldMutex);
    if (failsLocked(Call::RegistryQueryValue)) return false;
    const RegistryValue* value = findValueLocked(static_cast<OpenKey*>(key)->path, name);
    if (value == nullptr) return false;
    const std::vector<unsigned char>& stored = value->data;
    bool fits = stored.size() <= size;
    if (fits && !stored.empty()) std::memcpy(data, stored.data(), stored.size());
    size = static_cast<uint32_t>(stored.size());  // when too small, the size needed
    return fits;
}

// ---- Threads and time --------------------------------------------------------------
bool startThread(ThreadProc proc, void* argument, uint32_t& threadId, ThreadHandle& handle) {
    {
        Lock lock(worldMutex);
        if (failsLocked(Call::StartThread)) return false;
        threadId = world.nextThreadId++;
    }
    handle = given(new FakeThread{std::thread(proc, argument)});
    return true;
}

void waitThread(ThreadHandle handle) {
    auto* thread = static_cast<FakeThread*>(handle);
    if (thread->thread.joinable()) thread->thread.join();
}
// The fake joins a thread that nobody waited for, so that no test leaves one
// running into the next.
void closeThread(ThreadHandle handle) {
    waitThread(handle);
    taken(static_cast<FakeThread*>(handle));
}

uint32_t milliseconds() { return copyOf(world.clock); }
void yieldThread() { std::this_thread::yield(); }
// There is no message queue: the waiting loop only yields.
bool pumpOneMessage() { return false; }

// ---- Message boxes and dialog controls ---------------------------------------------
// Question boxes (Yes/No) take the scripted answers in order, else Yes;
// every other box answers OK.
int messageBox(WindowHandle owner, const char* text, const char* caption, unsigned flags) {
    Lock lock(worldMutex);
    world.messages.push_back(ShownMessage{owner, text, caption, flags});
    if ((flags & 0x0F) != 0x04) return kAnswerOk;
    if (world.answers.empty()) return kAnswerYes;
    int answer = world.answers.front();
    world.answers.erase(world.answers.begin());
    return answer;
}

void setControlText(WindowHandle dialog, int controlId, const char* text) {
    if (dialog == nullptr) return;
    Lock lock(worldMutex);
    world.controlTexts[{dialog, controlId}].push_back(text);
}
// No test asks whether a control is enabled.
void enableControl(WindowHandle, int, bool) {}
void resetProgressBar(WindowHandle dialog, int controlId, int range) {
    if (dialog == nullptr) return;
    locked([&] { world.progressBars[{dialog, controlId}] = ProgressBar{range, 0}; });
}
void stepProgressBar(WindowHandle dialog, int controlId) {
    if (dialog == nullptr) return;
    locked([&] { ++world.progressBars[{dialog, controlId}].steps; });
}

// ---- Shell -------------------------------------------------------------------------
bool specialFolderPath(int csidl, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (capacity > 0) buffer[0] = '\0';
    if (failsLocked(Call::SpecialFolderPath) || (csidl != 22 && csidl != 23)) return false;
    copyBounded(buffer, capacity, csidl == 22 ? kStartMenuFolder : kProgramsFolder);
    return true;
}
bool saveShellLink(const char* linkFile, const char* target, const char* workingDirectory) {
    Lock lock(worldMutex);
    if (failsLocked(Call::SaveShellLink, linkFile)) return false;
    std::string host = hostPathLocked(linkFile);
    if (lockedOutLocked(host) || !isFolder(fs::path(host).parent_path())) return false;
    return writeHostFile(host, std::string(target) + "\n" + workingDirectory);
}
bool loadShellLinkWorkingDirectory(const char* linkFile, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (failsLocked(Call::LoadShellLinkWorkingDirectory, linkFile)) return false;
    std::string contents;
    if (!readHostFile(hostPathLocked(linkFile), contents)) return false;
    size_t newline = contents.find('\n');
    if (newline == std::string::npos) return false;
    copyBounded(buffer, capacity, contents.substr(newline + 1));
    return true;
}

bool startCom(bool& mustEnd) {
    Lock lock(worldMutex);
    mustEnd = !failsLocked(Call::StartCom);
    if (mustEnd) ++world.comSessions;
    return mustEnd;
}
void endCom() { locked([] { --world.comSessions; }); }

// The fake knows no long forms: every path goes to the shell as given.
bool longPathName(const char* path, char*, size_t) {
    Lock lock(worldMutex);
    failsLocked(Call::LongPathName, path);
    return false;
}

bool shellOpenFile(const char* path, const char* parameters) {
    Lock lock(worldMutex);
    world.shellOpens.push_back(ShellOpen{path, parameters, world.currentDirectory});
    return !failsLocked(Call::ShellOpenFile, path);
}

// Like the shell's dialog, calls back once it is up, then takes the user's
// scripted answer.
ShellItem browseForFolder(WindowHandle owner, const char* title, unsigned flags,
                          BrowseCallback callback, intptr_t data) {
    {
        Lock lock(worldMutex);
        if (failsLocked(Call::BrowseForFolder)) return nullptr;
        world.browseRequests.push_back(BrowseRequest{owner, title, flags, ""});
    }
    callback(browseDialog, 1, 0, data);
    Lock lock(worldMutex);
    if (world.browseAnswers.empty()) return nullptr;
    auto* item = new ChosenFolder{world.browseAnswers.front()};
    world.browseAnswers.erase(world.browseAnswers.begin());
    return item;
}

bool shellItemPath(ShellItem item, char* buffer, size_t capacity) {
    Lock lock(worldMutex);
    if (failsLocked(Call::ShellItemPath)) return false;
    const std::string& path = static_cast<ChosenFolder*>(item)->path;
    if (path.empty() || path.size() >= capacity) return false;
    copyBounded(buffer, capacity, path);
    return true;
}

// The fake frees the item even when it reports the allocator missing, so
// that the tests leak nothing.
bool freeShellItem(ShellItem item) {
    Lock lock(worldMutex);
    delete static_cast<ChosenFolder*>(item);
    return !failsLocked(Call::FreeShellItem);
}

// Records the selection the browse dialog is asked for (by path).
intptr_t sendWindowMessage(WindowHandle window, unsigned message, uintptr_t wParam,
                           intptr_t lParam) {
    Lock lock(worldMutex);
    if (window == browseDialog && message == 0x466 && wParam != 0 &&
        !world.browseRequests.empty()) {
        world.browseRequests.back().preselected = reinterpret_cast<const char*>(lParam);
    }
    return 0;
}

}  // namespace platform
