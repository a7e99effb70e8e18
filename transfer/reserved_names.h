// Names that belong to the program. None of them may name a game file: the
// product checks refuse them in the lists (cmake/product.cmake reads them
// from here), and the update refuses them at run time.
//
// The game folder's names are of the 8.3 form, so that none of them is
// another file's short name either. An update that was ended can leave any
// of them behind; the next update, the uninstall and a failed install's
// clean-up remove them with the game's files.
#pragma once

// The temporary file of earlier versions of the update, which wrote each
// new file beside its old one under this name; the install copy writes it
// where a source may be its own target.
inline constexpr char kUpdateTemporaryName[] = "~UPDATE.TMP";
// The folder in the game folder where an update stages every new file
// before any game file is replaced.
inline constexpr char kStagingFolderName[] = "~UPDATE.NEW";
// The folder in the game folder where the replace step keeps each old file
// until the update is done, so that a failed or killed update can put it
// back.
inline constexpr char kBackupFolderName[] = "~UPDATE.OLD";
// The record of a replace step under way, in the game folder: while it is
// there, the game files may be a mix of old and new.
inline constexpr char kUpdateRecordName[] = "~UPDATE.LOG";
// The release's checksum file, in the data folder beside update.exe.
inline constexpr char kChecksumFileName[] = "update.sfv";

// True for a name the system takes for one of the program's own: letter
// case and the trailing dots and blanks it drops aside.
bool isReservedName(const char* name);
