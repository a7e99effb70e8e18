// Whether two paths name one file (or one folder). An update unpacked into
// the game folder, or a setup run from the folder it installs into, has
// sources that are the very files it would write; such a copy is nothing to
// do, and must never truncate or delete what it reads. Names cannot tell
// this (another letter case, a short name, a linked folder): the files'
// identities can.
#pragma once

// True when both exist and are one file or folder; false when either cannot
// be identified.
bool isSameFile(const char* first, const char* second);
