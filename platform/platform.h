// The thin layer through which engine/, transfer/ and shell/ reach the system.
//
// Every function here is one system call (or one short, fixed sequence of
// them), named for what its caller relies on. All logic stays above: bounded
// copies, formatting, list walks, the cancel handshake. The program links the
// Win32 implementation (platform/win32/); the native tests link a fake that
// can be told to fail any call (tests/fake/).
//
// Paths are ANSI strings in the system code page (932), NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Opaque handles of the system's objects; null means "none".
using WindowHandle = void*;
using RegistryKey = void*;
using FileHandle = void*;
using ThreadHandle = void*;
struct Stream;

// ---- Buffered file streams (the file copier) ------------------------------

// Opens a buffered stream with an fopen mode ("rb", "wb"); null on failure.
// A stream opened for writing shares its file with readers only, and an
// existing file is emptied only once every step that can fail has passed,
// so that a refused open leaves it as it was.
Stream* openStream(const char* path, const char* mode);
// Reads up to size bytes; fewer at the end of the file or on a read error.
size_t readStream(Stream* stream, void* buffer, size_t size);
// True when a read or a write on the stream has failed (the runtime's
// ferror): a short read was then not the end of the file.
bool streamFailed(Stream* stream);
// Writes size bytes; returns how many were written (fewer on an error).
size_t writeStream(Stream* stream, const void* buffer, size_t size);
// Closes the stream; false when buffered data could not be written out.
bool closeStream(Stream* stream);

// ---- Files and folders ----------------------------------------------------

// True when the file opens for reading as text (the C runtime's fopen "r").
bool canOpenForReading(const char* path);
// Opens the file for reading with no sharing at all and reports the low 32
// bits of its size; false when it cannot be opened so.
bool exclusiveFileSize(const char* path, uint32_t& lowSize);
// The system's own copy of one file, overwriting an existing target.
bool systemCopyFile(const char* source, const char* target);
// Sets the file's attributes to "normal" (none set).
bool setAttributesNormal(const char* path);
// The file's attribute bits as the system keeps them, and setting them back.
constexpr uint32_t kAttributeReadOnly = 0x1;
// A junction or a symbolic link: the folder is another one's.
constexpr uint32_t kAttributeReparsePoint = 0x400;
bool fileAttributes(const char* path, uint32_t& attributes);
bool setFileAttributes(const char* path, uint32_t attributes);
// What a directory search for the path finds. Missing only when the system
// says there is no such file or folder; a search that failed for any other
// reason (access denied, a network error) is Unknown.
// With size given, a file's size is stored there.
enum class Presence { Missing, File, Folder, Unknown };
Presence findPath(const char* path, uint64_t* size = nullptr);
bool deleteFile(const char* path);
// Creates (or empties) the file, writes the bytes and has them written
// through to the disk before it returns; false when any step failed.
bool writeFileToDisk(const char* path, const void* data, size_t size);
// True when the two names are one file name to the system: compared as it
// compares names, letter case aside (full-width letters too).
bool sameFileName(const char* first, const char* second);
// The C runtime's _chdir and _mkdir; removeDirectory removes an empty folder.
bool changeDirectory(const char* path);
bool makeDirectory(const char* path);
bool removeDirectory(const char* path);

// Has the file's data and size written through to the disk before it
// returns (the system's flush of an open handle).
bool flushFileToDisk(const char* path);
// Has the folder's entries (the names made, renamed or removed in it)
// written to the disk; false where the file system cannot flush a folder.
bool flushFolderToDisk(const char* path);

// A whole file mapped into memory for reading (the reference of a patch):
// data and size give its bytes until unmapFile; null when it cannot be
// mapped (or does not fit the address space). An empty file gives no bytes.
struct MappedFile;
MappedFile* mapFileForReading(const char* path, const void*& data, uint64_t& size);
void unmapFile(MappedFile* file);

// File times, as the system's 64-bit FILETIME values.
struct FileTimes {
    uint64_t creation;
    uint64_t lastAccess;
    uint64_t lastWrite;
};
// Opens an existing file to read its times (read access, others may read).
FileHandle openTimeSource(const char* path);
// Opens an existing file to set its times (read and write access, others may
// read and write).
FileHandle openTimeTarget(const char* path);
bool readFileTimes(FileHandle file, FileTimes& times);
bool writeFileTimes(FileHandle file, const FileTimes& times);
void closeFile(FileHandle file);

// Full path of the running program's file, NUL-terminated; false when the
// call failed or the path did not fit.
bool moduleFileName(char* buffer, size_t capacity);

// Which file or folder a path names: the volume's serial number and the
// file's index on that volume (one query on an open handle), with the file's
// size. Two paths name the same file when all three match; false when the
// path cannot be found or queried.
struct FileIdentity {
    uint32_t volumeSerial;
    uint64_t fileIndex;
    uint64_t size;
};
bool fileIdentity(const char* path, FileIdentity& identity);
// Puts source in target's place in one step, replacing an existing target
// (a rename within one folder); false leaves both as they were.
bool replaceFile(const char* source, const char* target);

// A resource of the running program's own file (RCDATA, by its id): its
// bytes, which live as long as the process. False when the program carries
// no such resource; a resource that is there but cannot be loaded gives
// true with no bytes.
bool programResource(int id, const void*& data, size_t& size);

// ---- SHA-256, the system's own ---------------------------------------------

constexpr size_t kSha256Bytes = 32;
struct Sha256;
// Starts a digest of bytes given in pieces; null when the system has none.
Sha256* startSha256();
// Adds size bytes; false when the system failed, which spoils the digest.
bool addToSha256(Sha256* hash, const void* data, size_t size);
// Finishes the digest into kSha256Bytes bytes and frees it, whatever the
// outcome; false when the system failed.
bool finishSha256(Sha256* hash, unsigned char* digest);

// ---- Drives -----------------------------------------------------------------

// The system's drive type code for a root such as "d:\" (GetDriveTypeA).
unsigned driveType(const char* root);
// Copies the volume label of the drive into label (bounded, NUL-terminated);
// false, leaving label untouched, when the volume cannot be read.
bool volumeLabel(const char* root, char* label, size_t capacity);
// Total free bytes of the disk that holds folder (not only the caller's
// quota); false when the disk cannot be queried.
bool diskFreeBytes(const char* folder, uint64_t& freeBytes);

// ---- Registry (HKEY_LOCAL_MACHINE, full access) ----------------------------

enum RegistryType : uint32_t { kRegistryText = 1, kRegistryDword = 4 };

bool registryOpenKey(const char* path, RegistryKey& key);
// Opens the key, creating it when it does not exist.
bool registryCreateKey(const char* path, RegistryKey& key);
void registryCloseKey(RegistryKey key);
bool registryDeleteKey(const char* path);
bool registrySetValue(RegistryKey key, const char* name, uint32_t type,
                      const void* data, uint32_t size);
// Reads the value's bytes whatever its type; size is the buffer's capacity on
// entry and the number of bytes stored on return. False when the value is
// missing or does not fit.
bool registryQueryValue(RegistryKey key, const char* name, void* data,
                        uint32_t& size);

// ---- Threads and time -------------------------------------------------------

using ThreadProc = void (*)(void* argument);
// Starts a thread running proc(argument); false when it could not start.
bool startThread(ThreadProc proc, void* argument, uint32_t& threadId,
                 ThreadHandle& handle);
void waitThread(ThreadHandle handle);
void closeThread(ThreadHandle handle);
// Milliseconds of the system's multimedia clock (wraps modulo 2^32).
uint32_t milliseconds();
// Gives up the rest of this thread's time slice (Sleep(0)).
void yieldThread();
// Takes one queued message of this thread, if any, and dispatches it; false
// when the queue was empty.
bool pumpOneMessage();

// ---- Message boxes and dialog controls ------------------------------------

enum MessageBoxFlags : unsigned {
    kReportFlags = 0x30,    // OK, warning icon
    kQuestionFlags = 0x24,  // Yes and No, question icon
};
enum MessageBoxAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

int messageBox(WindowHandle owner, const char* text, const char* caption,
               unsigned flags);
// These do nothing when the window or its control does not exist.
void setControlText(WindowHandle dialog, int controlId, const char* text);
void enableControl(WindowHandle dialog, int controlId, bool enabled);
intptr_t sendControlMessage(WindowHandle dialog, int controlId,
                            unsigned message, uintptr_t wParam,
                            intptr_t lParam);

// ---- Shell --------------------------------------------------------------------

// The path of a special folder (by CSIDL) into buffer (bounded; emptied when
// the folder is unknown); false when the shell did not find it.
bool specialFolderPath(int csidl, char* buffer, size_t capacity);
// Saves a shell link at linkFile pointing at target, with workingDirectory,
// no arguments, icon index 0, no hotkey, an empty description and the show
// command SW_SHOW. False when COM, the link object or the save failed.
bool saveShellLink(const char* linkFile, const char* target,
                   const char* workingDirectory);
// Loads a shell link and copies its working directory into buffer (bounded);
// false, leaving buffer untouched, when the link cannot be loaded.
bool loadShellLinkWorkingDirectory(const char* linkFile, char* buffer,
                                   size_t capacity);

// ---- Shell: opening files and choosing folders -----------------------------

using ModuleHandle = void*;
// A shell item list (a folder the user chose); null means none.
using ShellItem = void*;

// CoInitialize on the calling thread: false when COM cannot be used at all.
// mustEnd says whether this call is to be undone with endCom (a thread that
// was already in another apartment mode is not ours to end).
bool startCom(bool& mustEnd);
void endCom();
// The long form of an existing path (every 8.3 component expanded); false
// when the system cannot give it or it does not fit the buffer.
bool longPathName(const char* path, char* buffer, size_t capacity);
// Asks the shell to "open" the file with its associated program: no owner,
// the process's current directory, shown normally. False when the shell
// refused (no such file, no associated program, not a program it can run).
bool shellOpenFile(const char* path, const char* parameters);

// The browse dialog's callback: its window, the message, the message's
// parameter and the data given to browseForFolder.
using BrowseCallback = int (*)(WindowHandle dialog, unsigned message,
                               intptr_t parameter, intptr_t data);
// Runs the shell's modal folder-selection dialog with the title and flags;
// the chosen item, or null when the user cancelled. The shell's display name
// of the item is not passed on.
ShellItem browseForFolder(WindowHandle owner, const char* title, unsigned flags,
                          BrowseCallback callback, intptr_t data);
// The item's file-system path (bounded); false when it has none (a virtual
// folder) or the path does not fit.
bool shellItemPath(ShellItem item, char* buffer, size_t capacity);
// Frees the item with the shell's allocator; false when the allocator could
// not be had.
bool freeShellItem(ShellItem item);
// Sends a message to a window (not to one of its controls).
intptr_t sendWindowMessage(WindowHandle window, unsigned message,
                           uintptr_t wParam, intptr_t lParam);

}  // namespace platform
