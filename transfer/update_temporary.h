// The file each new game file of an update is written into before it takes
// the old one's place, in the game folder itself (so the replace is a rename
// there). A name of the 8.3 form, so that it is no other file's short name
// either. The name belongs to the program: an update that was ended can
// leave it behind, and the uninstall and a failed install's clean-up remove
// it with the game's files.
#pragma once

inline constexpr char kUpdateTemporaryName[] = "~UPDATE.TMP";
