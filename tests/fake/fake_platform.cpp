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
#include <sstream>
#include <thread>

#include <openssl/evp.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

// failed: an injected read error, or an injected failure spoiled the digest.
struct platform::Stream { std::FILE* file; bool failed; };
struct platform::MappedFile { std::string bytes; };  // a copy of the file's bytes
struct platform::Sha256 { EVP_MD_CTX* context; bool failed; };  // the host's own

namespace fake {
namespace {

struct FileState {
    bool heldOpen = false;
    bool readOnly = false;
    std::optional<uint64_t> reportedSize;
    platform::FileTimes times{0, 0, 0};
};
// A letter with no drive has no root directory (DRIVE_NO_ROOT_DIR) and no volume:
// looking one up may add it.
struct Drive { unsigned kind = 1; std::string label; bool hasVolume = false; };
// What the platform's opaque handles point to.
struct OpenKey { std::string path; };  // lower case
struct TimeFile { std::string host; };
struct ChosenFolder { std::string path; };  // empty for a virtual folder
struct FakeThread { std::thread thread; };
// One call's count and injected failures: failuresLeft < 0 fails every call,
// after passesLeft calls have passed.
struct CallState {
    int failuresLeft = 0, passesLeft = 0, count = 0;
    uint32_t error = kOtherError;
};
using Control = std::pair<platform::WindowHandle, int>;

// The common Start menu (CSIDL 22) and its Programs folder (23).
const char* const kStartMenuFolder = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu";
const char* const kProgramsFolder = "c:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
// The window handle the fake browse dialog hands to its callback.
platform::WindowHandle const browseDialog = reinterpret_cast<platform::WindowHandle>(0xB0);
// The system errors the fake gives for the states it keeps.
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kDiskFull = 112;

struct World {
    std::string root;
    std::string currentDirectory = "c:\\";
    std::map<std::string, FileState> files;  // by host path
    std::map<char, Drive> drives{{'c', Drive{3, "", true}}};
    uint64_t freeBytes = 100ull << 30;
    std::string moduleFile = "c:\\Setup\\update.exe";
    bool noFileIndex = false;
    int64_t diskSpace = -1;
    // Every key (by lower-case path) with its values (by lower-case name).
    std::map<std::string, std::map<std::string, RegistryValue>> registry;
    int openKeys = 0;
    std::vector<int> answers;
    std::vector<ShownMessage> messages;
    std::map<Control, std::vector<std::string>> controlTexts;
    std::map<Control, ProgressBar> progressBars;
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

// Under the world's lock: what f returns, and a copy of a part of the world.
template <typename F>
auto locked(F f) {
    Lock lock(worldMutex);
    return f();
}
template <typename T>
T copyOf(const T& part) { return locked([&] { return part; }); }
// What map holds for key, or null.
template <typename Map>
auto* findIn(Map& map, const typename Map::key_type& key) {
    auto found = map.find(key);
    return found == map.end() ? nullptr : &found->second;
}

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
FileState& fileLocked(const std::string& path) { return world.files[hostPathLocked(path)]; }

// The system error of this thread's last failed call (lastError).
thread_local uint32_t lastFailure = 0;
// Keeps the error of a call that fails; false, for its return.
bool failWith(uint32_t error) {
    lastFailure = error;
    return false;
}

// Counts the call and tells whether it is to fail; host is the host path of
// the call's path, empty for a call without one.
bool failsLocked(Call call, const std::string& host) {
    int index = static_cast<int>(call);
    CallState& state = world.calls[index];
    ++state.count;
    const uint32_t* pathError = findIn(world.failingPaths, {index, host});
    if (pathError != nullptr) return !failWith(*pathError);
    if (state.failuresLeft == 0) return false;
    if (state.passesLeft > 0) {
        --state.passesLeft;
        return false;
    }
    if (state.failuresLeft > 0) --state.failuresLeft;
    return !failWith(state.error);
}

// One platform call: holds the world's lock while it lives, counts the call,
// says whether it is to fail (failed) and gives the host path of its path.
struct CallUnderLock {
    Lock lock{worldMutex};
    std::string host;
    bool failed;
    explicit CallUnderLock(Call call, const char* path = nullptr)
        : host(path == nullptr ? "" : hostPathLocked(path)), failed(failsLocked(call, host)) {}
};
// For the calls that do their work outside the lock.
bool fails(Call call) { return CallUnderLock(call).failed; }

// Held open by others or read-only: the file refuses to be written, with
// the system's error for it.
bool lockedOutLocked(const std::string& host) {
    const FileState& state = world.files[host];
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

// Copies text into buffer, bounded and NUL-terminated; true, for the caller's return.
bool copied(char* buffer, size_t capacity, const std::string& text) {
    if (capacity == 0) return true;
    size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return true;
}
void makeHostFolder(const std::string& windowsPath) {
    fs::create_directories(hostPathLocked(windowsPath), hostError);
}

// Adds the key and every key above it, as key creation does; its lower-case path.
std::string addKeyLocked(const std::string& key) {
    std::string lower = lowerCase(key);
    for (size_t at = lower.find('\\'); at != std::string::npos; at = lower.find('\\', at + 1)) {
        world.registry[lower.substr(0, at)];
    }
    world.registry[lower];
    return lower;
}
// The value under a lower-case key path, or null.
const RegistryValue* findValueLocked(const std::string& key, const std::string& name) {
    auto* values = findIn(world.registry, key);
    return values == nullptr ? nullptr : findIn(*values, lowerCase(name));
}

void removeRoot() { if (!world.root.empty()) fs::remove_all(world.root, hostError); }

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
// When the test program ends, checks the last test and removes its root.
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
    world.root = (fs::temp_directory_path() / "fake_platform_XXXXXX").string();
    if (mkdtemp(world.root.data()) == nullptr) std::abort();
    makeHostFolder(kProgramsFolder);  // and c:\ with it
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
void setDiskSpaceForWrites(int64_t bytes) { locked([&] { world.diskSpace = bytes; }); }
std::string sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    char hex[2 * EVP_MAX_MD_SIZE + 1] = "";
    for (unsigned int at = 0; at < size; ++at) std::snprintf(hex + 2 * at, 3, "%02x", digest[at]);
    return hex;
}
void setDrive(char letter, unsigned kind, const std::string& label, bool hasVolume) {
    Lock lock(worldMutex);
    world.drives[lowerChar(letter)] = Drive{kind, label, hasVolume};
    makeHostFolder(std::string(1, letter) + ":\\");
}
void setFreeBytes(uint64_t bytes) { locked([&] { world.freeBytes = bytes; }); }
void setModuleFileName(const std::string& path) { locked([&] { world.moduleFile = path; }); }
void reportNoFileIndex() { locked([] { world.noFileIndex = true; }); }
void setRegistryValue(const std::string& key, const std::string& name, uint32_t type,
                      const std::vector<unsigned char>& data) {
    Lock lock(worldMutex);
    world.registry[addKeyLocked(key)][lowerCase(name)] = RegistryValue{type, data};
}
void setRegistryText(const std::string& key, const std::string& name, const std::string& text) {
    const char* bytes = text.c_str();
    setRegistryValue(key, name, platform::kRegistryText, {bytes, bytes + text.size() + 1});
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
    return locked([&] { return world.controlTexts[{dialog, controlId}]; });
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
    state.failuresLeft = times;
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
using namespace fake;
// The call that no code under test makes (programResource) has no fake: a
// test that reached it would not link.

// ---- Buffered file streams ---------------------------------------------------------
Stream* openStream(const char* path, const char* mode) {
    CallUnderLock call(Call::OpenStream, path);
    if (call.failed) return nullptr;
    bool writing = std::strpbrk(mode, "wa+") != nullptr;
    if (writing ? lockedOutLocked(call.host) : !isRegularFile(call.host)) return nullptr;
    std::FILE* file = std::fopen(call.host.c_str(), mode);
    return file == nullptr ? nullptr : given(new Stream{file, false});
}
size_t readStream(Stream* stream, void* buffer, size_t size) {
    if (!fails(Call::ReadStream)) return std::fread(buffer, 1, size, stream->file);
    stream->failed = true;
    return 0;
}
bool streamFailed(Stream* stream) { return stream->failed || std::ferror(stream->file) != 0; }

size_t writeStream(Stream* stream, const void* buffer, size_t size) {
    size_t allowed = size;
    std::function<void()> hook;
    {
        CallUnderLock call(Call::WriteStream);
        if (call.failed) return 0;
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
    bool injected = fails(Call::CloseStream);
    bool closed = std::fclose(stream->file) == 0;
    taken(stream);
    return closed && !injected;
}

// ---- Files and folders -------------------------------------------------------------
bool canOpenForReading(const char* path) {
    CallUnderLock call(Call::CanOpenForReading, path);
    return !call.failed && isRegularFile(call.host);
}
bool exclusiveFileSize(const char* path, uint32_t& lowSize) {
    CallUnderLock call(Call::ExclusiveFileSize, path);
    const FileState& state = world.files[call.host];
    if (call.failed || !isRegularFile(call.host) || state.heldOpen) return false;
    lowSize = static_cast<uint32_t>(state.reportedSize.value_or(fs::file_size(call.host)));
    return true;
}
bool systemCopyFile(const char* source, const char* target) {
    CallUnderLock call(Call::SystemCopyFile, target);
    std::string from = hostPathLocked(source);
    std::string contents;
    if (call.failed || lockedOutLocked(call.host) || !isRegularFile(from)) return false;
    if (!readHostFile(from, contents) || !writeHostFile(call.host, contents)) return false;
    world.files[call.host].readOnly = world.files[from].readOnly;  // as the system's copy does
    return true;
}
// Of the attributes only read-only is kept, per file; a host symbolic link
// reads as a reparse point.
bool setAttributesNormal(const char* path) {
    CallUnderLock call(Call::SetAttributesNormal, path);
    if (call.failed || !hostExists(call.host)) return false;
    world.files[call.host].readOnly = false;
    return true;
}
bool fileAttributes(const char* path, uint32_t& attributes) {
    CallUnderLock call(Call::FileAttributes, path);
    if (call.failed || !hostExists(call.host)) return false;
    attributes = world.files[call.host].readOnly ? kAttributeReadOnly : 0x80;
    if (fs::is_symlink(call.host, hostError)) attributes |= kAttributeReparsePoint;
    return true;
}
// An injected failure is a search that failed, not a missing path.
Presence findPath(const char* path, uint64_t* size) {
    CallUnderLock call(Call::FindPath, path);
    if (call.failed) return Presence::Unknown;
    fs::file_status status = fs::status(call.host, hostError);
    if (!fs::exists(status)) return Presence::Missing;
    if (fs::is_directory(status)) return Presence::Folder;
    if (size != nullptr) *size = static_cast<uint64_t>(fs::file_size(call.host, hostError));
    return Presence::File;
}
bool deleteFile(const char* path) {
    CallUnderLock call(Call::DeleteFile, path);
    if (call.failed || !isRegularFile(call.host) || lockedOutLocked(call.host)) return false;
    world.files.erase(call.host);
    return fs::remove(call.host, hostError);
}
bool writeFileToDisk(const char* path, const void* data, size_t size) {
    CallUnderLock call(Call::WriteFileToDisk, path);
    if (call.failed || lockedOutLocked(call.host)) return false;
    return writeHostFile(call.host, std::string(static_cast<const char*>(data), size));
}
MappedFile* mapFileForReading(const char* path, const void*& data, uint64_t& size) {
    CallUnderLock call(Call::MapFileForReading, path);
    std::string bytes;
    if (call.failed || !isRegularFile(call.host)) return nullptr;
    if (!readHostFile(call.host, bytes)) return nullptr;
    auto* mapped = given(new MappedFile{std::move(bytes)});
    data = mapped->bytes.empty() ? nullptr : mapped->bytes.data();
    size = mapped->bytes.size();
    return mapped;
}
void unmapFile(MappedFile* file) { taken(file); }
// The host keeps no cache of its own to write out: a flush only counts,
// and fails for a path that is not there.
bool flushFileToDisk(const char* path) {
    CallUnderLock call(Call::FlushFileToDisk, path);
    return !call.failed && isRegularFile(call.host);
}
bool flushFolderToDisk(const char* path) {
    CallUnderLock call(Call::FlushFolderToDisk, path);
    return !call.failed && isFolder(call.host);
}
// Letter case aside in ASCII only; the real comparison is the system's.
bool sameFileName(const char* a, const char* b) { return lowerCase(a) == lowerCase(b); }
// Only a full path becomes the current directory: the tests use no other.
bool changeDirectory(const char* path) {
    CallUnderLock call(Call::ChangeDirectory, path);
    if (call.failed || !isFolder(call.host) || path[0] == '\0' || path[1] != ':') return false;
    world.currentDirectory = path;
    return true;
}
bool makeDirectory(const char* path) {
    CallUnderLock call(Call::MakeDirectory, path);
    return !call.failed && fs::create_directory(call.host, hostError);
}
bool removeDirectory(const char* path) {
    CallUnderLock call(Call::RemoveDirectory, path);
    if (call.failed || !isFolder(call.host) || !fs::is_empty(call.host, hostError)) return false;
    return fs::remove(call.host, hostError);
}
FileHandle openTimeSource(const char* path) {
    CallUnderLock call(Call::OpenTimeSource, path);
    if (call.failed || !isRegularFile(call.host)) return nullptr;
    return given(new TimeFile{call.host});
}
// A time target is opened for writing.
FileHandle openTimeTarget(const char* path) {
    CallUnderLock call(Call::OpenTimeTarget, path);
    if (call.failed || !isRegularFile(call.host) || lockedOutLocked(call.host)) return nullptr;
    return given(new TimeFile{call.host});
}
bool readFileTimes(FileHandle file, FileTimes& times) {
    CallUnderLock call(Call::ReadFileTimes);
    if (!call.failed) times = world.files[static_cast<TimeFile*>(file)->host].times;
    return !call.failed;
}
bool writeFileTimes(FileHandle file, const FileTimes& times) {
    CallUnderLock call(Call::WriteFileTimes);
    if (!call.failed) world.files[static_cast<TimeFile*>(file)->host].times = times;
    return !call.failed;
}
void closeFile(FileHandle file) { taken(static_cast<TimeFile*>(file)); }
bool moduleFileName(char* buffer, size_t capacity) {
    CallUnderLock call(Call::ModuleFileName);
    if (call.failed || world.moduleFile.size() >= capacity) return false;
    return copied(buffer, capacity, world.moduleFile);
}
// The host's device and inode stand for the volume serial and file index, so
// two paths that reach one host file (through a symbolic link) are one file.
bool fileIdentity(const char* path, FileIdentity& identity) {
    CallUnderLock call(Call::FileIdentity, path);
    struct stat status;
    if (call.failed || ::stat(call.host.c_str(), &status) != 0) return false;
    identity.volumeSerial = static_cast<uint32_t>(status.st_dev);
    identity.fileIndex = world.noFileIndex ? 0 : static_cast<uint64_t>(status.st_ino);
    identity.size = static_cast<uint64_t>(status.st_size);
    return true;
}
// As the system does, a target that is read-only or held open refuses to be
// replaced; the file's own state (times, attributes) moves with it.
bool replaceFile(const char* source, const char* target) {
    CallUnderLock call(Call::ReplaceFile, target);
    std::string from = hostPathLocked(source);
    if (call.failed || !isRegularFile(from) || lockedOutLocked(call.host)) return false;
    if (world.files[from].heldOpen) return failWith(kSharingViolation);
    fs::rename(from, call.host, hostError);
    if (hostError) return false;
    FileState moved = world.files[from];
    world.files.erase(from);
    world.files[call.host] = moved;
    return true;
}
uint32_t lastError() { return lastFailure; }

// ---- SHA-256 -----------------------------------------------------------------------
Sha256* startSha256() {
    if (fails(Call::StartSha256)) return nullptr;
    Sha256* sha = given(new Sha256{EVP_MD_CTX_new(), false});
    EVP_DigestInit_ex(sha->context, EVP_sha256(), nullptr);
    return sha;
}
bool addToSha256(Sha256* sha, const void* data, size_t size) {
    if (fails(Call::AddToSha256)) sha->failed = true;
    return !sha->failed && EVP_DigestUpdate(sha->context, data, size) == 1;
}
bool finishSha256(Sha256* sha, unsigned char* digest) {
    bool finished = !fails(Call::FinishSha256) && !sha->failed &&
                    EVP_DigestFinal_ex(sha->context, digest, nullptr) == 1;
    EVP_MD_CTX_free(sha->context);
    taken(sha);
    return finished;
}

// ---- Drives ------------------------------------------------------------------------
unsigned driveType(const char* root) {
    CallUnderLock call(Call::DriveType, root);
    return call.failed ? 0 : world.drives[lowerChar(root[0])].kind;
}
bool volumeLabel(const char* root, char* label, size_t capacity) {
    CallUnderLock call(Call::VolumeLabel, root);
    const Drive& drive = world.drives[lowerChar(root[0])];
    return !call.failed && drive.hasVolume && copied(label, capacity, drive.label);
}
bool diskFreeBytes(const char* folder, uint64_t& freeBytes) {
    CallUnderLock call(Call::DiskFreeBytes, folder);
    if (!call.failed) freeBytes = world.freeBytes;
    return !call.failed;
}

// ---- Registry ----------------------------------------------------------------------
bool registryOpenKey(const char* path, RegistryKey& key) {
    CallUnderLock call(Call::RegistryOpenKey);
    std::string lower = lowerCase(path);
    if (call.failed || world.registry.count(lower) == 0) return false;
    key = new OpenKey{lower};
    ++world.openKeys;
    return true;
}
bool registryCreateKey(const char* path, RegistryKey& key) {
    CallUnderLock call(Call::RegistryCreateKey);
    if (call.failed) return false;
    key = new OpenKey{addKeyLocked(path)};
    ++world.openKeys;
    return true;
}
void registryCloseKey(RegistryKey key) {
    if (key == nullptr) return;
    Lock lock(worldMutex);
    delete static_cast<OpenKey*>(key);
    --world.openKeys;
}
// A key with subkeys cannot be deleted.
bool registryDeleteKey(const char* path) {
    CallUnderLock call(Call::RegistryDeleteKey);
    std::string lower = lowerCase(path);
    auto next = world.registry.upper_bound(lower + "\\");
    bool hasSubkeys = next != world.registry.end() && next->first.rfind(lower + "\\", 0) == 0;
    return !call.failed && !hasSubkeys && world.registry.erase(lower) == 1;
}
bool registrySetValue(RegistryKey key, const char* name, uint32_t type, const void* data,
                      uint32_t size) {
    CallUnderLock call(Call::RegistrySetValue);
    auto* values = findIn(world.registry, static_cast<OpenKey*>(key)->path);
    if (call.failed || values == nullptr) return false;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    (*values)[lowerCase(name)] = RegistryValue{type, {bytes, bytes + size}};
    return true;
}
bool registryQueryValue(RegistryKey key, const char* name, void* data, uint32_t& size) {
    CallUnderLock call(Call::RegistryQueryValue);
    const RegistryValue* value = findValueLocked(static_cast<OpenKey*>(key)->path, name);
    if (call.failed || value == nullptr) return false;
    const std::vector<unsigned char>& stored = value->data;
    bool fits = stored.size() <= size;
    if (fits && !stored.empty()) std::memcpy(data, stored.data(), stored.size());
    size = static_cast<uint32_t>(stored.size());  // when too small, the size needed
    return fits;
}

// ---- Threads and time --------------------------------------------------------------
bool startThread(ThreadProc proc, void* argument, uint32_t& threadId, ThreadHandle& handle) {
    if (fails(Call::StartThread)) return false;
    threadId = locked([] { return world.nextThreadId++; });
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
    locked([&] { world.controlTexts[{dialog, controlId}].push_back(text); });
}
void resetProgressBar(WindowHandle dialog, int controlId, int range) {
    if (dialog != nullptr) locked([&] { world.progressBars[{dialog, controlId}] = {range, 0}; });
}
void stepProgressBar(WindowHandle dialog, int controlId) {
    if (dialog != nullptr) locked([&] { ++world.progressBars[{dialog, controlId}].steps; });
}

// ---- Shell -------------------------------------------------------------------------
bool specialFolderPath(int csidl, char* buffer, size_t capacity) {
    CallUnderLock call(Call::SpecialFolderPath);
    if (capacity > 0) buffer[0] = '\0';
    if (call.failed || (csidl != 22 && csidl != 23)) return false;
    return copied(buffer, capacity, csidl == 22 ? kStartMenuFolder : kProgramsFolder);
}
bool saveShellLink(const char* linkFile, const char* target, const char* workingDirectory) {
    CallUnderLock call(Call::SaveShellLink, linkFile);
    if (call.failed || lockedOutLocked(call.host)) return false;
    if (!isFolder(fs::path(call.host).parent_path())) return false;
    return writeHostFile(call.host, std::string(target) + "\n" + workingDirectory);
}
bool loadShellLinkWorkingDirectory(const char* linkFile, char* buffer, size_t capacity) {
    CallUnderLock call(Call::LoadShellLinkWorkingDirectory, linkFile);
    std::string contents;
    if (call.failed || !readHostFile(call.host, contents)) return false;
    size_t newline = contents.find('\n');
    if (newline == std::string::npos) return false;
    return copied(buffer, capacity, contents.substr(newline + 1));
}
bool startCom(bool& mustEnd) {
    CallUnderLock call(Call::StartCom);
    mustEnd = !call.failed;
    if (mustEnd) ++world.comSessions;
    return mustEnd;
}
void endCom() { locked([] { --world.comSessions; }); }
// The fake knows no long forms: every path goes to the shell as given.
bool longPathName(const char* path, char*, size_t) {
    CallUnderLock call(Call::LongPathName, path);
    return false;
}
bool shellOpenFile(const char* path, const char* parameters) {
    CallUnderLock call(Call::ShellOpenFile, path);
    world.shellOpens.push_back(ShellOpen{path, parameters, world.currentDirectory});
    return !call.failed;
}
// Like the shell's dialog, calls back once it is up, then takes the scripted answer.
ShellItem browseForFolder(WindowHandle owner, const char* title, unsigned flags,
                          BrowseCallback callback, intptr_t data) {
    if (fails(Call::BrowseForFolder)) return nullptr;
    locked([&] { world.browseRequests.push_back(BrowseRequest{owner, title, flags, ""}); });
    callback(browseDialog, 1, 0, data);
    Lock lock(worldMutex);
    if (world.browseAnswers.empty()) return nullptr;
    auto* item = new ChosenFolder{world.browseAnswers.front()};
    world.browseAnswers.erase(world.browseAnswers.begin());
    return item;
}
bool shellItemPath(ShellItem item, char* buffer, size_t capacity) {
    CallUnderLock call(Call::ShellItemPath);
    const std::string& path = static_cast<ChosenFolder*>(item)->path;
    if (call.failed || path.empty() || path.size() >= capacity) return false;
    return copied(buffer, capacity, path);
}
// The fake frees the item even when it reports the allocator missing, so
// that the tests leak nothing.
bool freeShellItem(ShellItem item) {
    delete static_cast<ChosenFolder*>(item);
    return !fails(Call::FreeShellItem);
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
