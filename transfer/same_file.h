// Whether two paths name one file (or one folder). An update unpacked into
// the game folder, or a setup run from the folder it installs into, has
// sources that are the very files it would write; such a copy is nothing to
// do, and must never truncate or delete what it reads. Names cannot tell
// this (another letter case, a short name, a linked folder): the files'
// identities can.
#pragma once

// Unknown: both are there but their volume keeps no file index, so that
// nothing tells them apart. A caller that keeps a file on Same keeps it on
// Unknown too; one that would only skip work takes Unknown as Different.
enum class FileSameness { Same, Different, Unknown };

// Different when either cannot be identified (it is not there, say).
FileSameness compareFiles(const char* first, const char* second);
