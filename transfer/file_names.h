// What a name from the lists may be: one file name inside the folder it is
// joined to, and none of the names that belong to the program.
#pragma once

// A path component made of dots and blanks alone names no folder of its own:
// one dot stays where it is, two or more climb (the system drops trailing
// dots and blanks).
enum class PathComponent { Name, Stay, Climb };
PathComponent classifyComponent(const char* begin, const char* end);

// True for a name that stays inside the folder it is joined to: one
// component (no real backslash, no slash, no drive colon) without "..",
// and no control character, which no file name on Windows holds.
bool isPlainName(const char* name);

// True for a name the system takes for one of the program's own
// (transfer/reserved_names.h): letter case and the trailing dots and blanks
// it drops aside.
bool isReservedName(const char* name);
