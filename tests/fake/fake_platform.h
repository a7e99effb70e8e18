// A fake of platform/platform.h for the native tests.
//
// Drive-letter paths ("c:\Games\x.pac") map onto a temporary host folder
// (<root>/c/Games/x.pac); the registry lives in memory; message boxes are
// answered from a script and recorded; the clock is manual; control texts
// and progress bars are recorded; any call can be told to fail. reset()
// gives every test a fresh, empty world.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Every call of the platform layer, by its name in platform/platform_calls.def,
// for failure injection and counting. The fuzz target picks one by its number.
enum class Call {
#define PLATFORM_CALL(name, result, function, parameters) name,
#include "platform/platform_calls.def"
#undef PLATFORM_CALL
    Count
};

// Empties the world: a new temporary root, no drives but a fixed disk c:,
// an empty registry, no scripted answers, clock at 0, nothing recorded.
// Aborts when the last test left a stream, file, mapping, SHA-256 or thread
// open.
void reset();

// ---- Files ------------------------------------------------------------------
// Host path of a drive-letter path ("c:\a\b" -> "<root>/c/a/b").
std::string hostPath(const std::string& windowsPath);
// Writes a file (creating its folders) / reads it whole.
void writeFile(const std::string& windowsPath, const std::string& contents);
std::string readFile(const std::string& windowsPath);
bool exists(const std::string& windowsPath);
void makeFolder(const std::string& windowsPath);
// A file that others hold open without sharing: exclusive opens, stream
// opens for writing, renames and time-target opens of it fail, with the
// system's sharing violation.
void holdOpen(const std::string& windowsPath);
// The read-only attribute: stream opens for writing, deletes and time-target
// opens fail, with access denied, until setAttributesNormal clears it.
void setReadOnly(const std::string& windowsPath, bool readOnly);
bool isReadOnly(const std::string& windowsPath);
// Times kept per file (a file starts with all three 0).
void setTimes(const std::string& windowsPath, const platform::FileTimes& times);
platform::FileTimes times(const std::string& windowsPath);
// A sparse size reported for a file by exclusiveFileSize (low 32 bits are
// taken of it), instead of its real size.
void setReportedSize(const std::string& windowsPath, uint64_t size);
// Writes to streams fail (return short, the disk full) once this many more
// bytes have been written in all; negative means never (the default).
void setDiskSpaceForWrites(int64_t bytes);
// The SHA-256 of bytes in lowercase hexadecimal, as a release manifest
// gives it (the host's own).
std::string sha256Hex(const std::string& bytes);

// ---- Drives, program file -----------------------------------------------
// After reset() the program file is c:\Setup\update.exe and the disk has
// 100 GiB free; file names compare with case (drive letters and registry
// key and value names without).
// kind is the system's drive type code (3 fixed, 5 CD-ROM, ...); an empty
// label with hasVolume false means no medium (the label cannot be read).
void setDrive(char letter, unsigned kind, const std::string& label, bool hasVolume = true);
void setFreeBytes(uint64_t bytes);
void setModuleFileName(const std::string& windowsPath);
// Makes fileIdentity report index 0 for every file, as a volume that keeps
// no file index does.
void reportNoFileIndex();

// ---- Registry (HKEY_LOCAL_MACHINE; key paths compare without case) -------
struct RegistryValue { uint32_t type; std::vector<unsigned char> data; };
void setRegistryValue(const std::string& key, const std::string& name, uint32_t type,
                      const std::vector<unsigned char>& data);
void setRegistryText(const std::string& key, const std::string& name, const std::string& text);
bool registryKeyExists(const std::string& key);
bool registryValue(const std::string& key, const std::string& name, RegistryValue& value);
// Keys opened and not yet closed.
int openRegistryKeys();

// ---- Message boxes and dialog controls -------------------------------------
struct ShownMessage { platform::WindowHandle owner; std::string text, caption; unsigned flags; };
// Answers for the next questions, in order; unscripted boxes answer OK/Yes.
void answerNext(int answer);
std::vector<ShownMessage> shownMessages();
std::string controlText(platform::WindowHandle dialog, int controlId);
// Every text ever set on the control, oldest first.
std::vector<std::string> controlTextHistory(platform::WindowHandle dialog, int controlId);
// A progress bar's range and the steps since it was last reset.
struct ProgressBar { int range = 0, steps = 0; };
ProgressBar progressBar(platform::WindowHandle dialog, int controlId);

// ---- Time, threads, messages --------------------------------------------
void advanceClock(uint32_t milliseconds);
// Runs inside the copy loop after each write to a stream; lets a test act
// in the middle of a file.
void onWrite(std::function<void()> hook);

// ---- Shell ------------------------------------------------------------------
// reset() sets 22 (common Start menu) to c:\ProgramData\Microsoft\Windows\Start
// Menu and 23 (common Programs) to its Programs folder, and creates them.
// Links are kept as files holding "target\nworkingDirectory".
// currentDirectory: the process's, when the shell was asked.
struct ShellOpen { std::string path, parameters, currentDirectory; };
// Every file the shell was asked to open (refused ones too), oldest first.
std::vector<ShellOpen> shellOpens();
// COM sessions started and not yet ended.
int openComSessions();
// The user's answer to the next browse dialog: the folder chosen, or "" for
// a virtual folder (one with no file-system path). Without an answer the
// user cancels.
void chooseInBrowser(const std::string& folder);
// preselected: what the callback asked the dialog to select.
struct BrowseRequest { platform::WindowHandle owner; std::string title; unsigned flags;
                       std::string preselected; };
std::vector<BrowseRequest> browseRequests();

// ---- Failure injection and counting ------------------------------------
// The next `times` calls of call fail (times < 0: every call until reset;
// 0 ends the failures), once `after` more calls have passed, with the
// system error given (ERROR_GEN_FAILURE unless said).
constexpr uint32_t kOtherError = 31;
void failCall(Call call, int times = 1, int after = 0, uint32_t error = kOtherError);
// Fails the call only for this path (every time).
void failCallFor(Call call, const std::string& windowsPath, uint32_t error = kOtherError);
int callCount(Call call);

}  // namespace fake
