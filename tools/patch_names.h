// The names of a patch release's patches. They sit in its data folder
// beside the files it ships whole, and a player's Windows opens them in
// code page 932, so each is a plain file name that reads back as written,
// and none is another name of the folder or of the game (letter case
// aside, as Windows compares names).
#pragma once

#include <set>
#include <string>

class PatchNames {
public:
    // A name no patch may take: a listed name of the game.
    void keep(const std::string& utf8);
    // Takes a patch's name (UTF-8): true, or false with why it breaks the
    // rules.
    bool take(const std::string& utf8, std::string& why);

private:
    std::set<std::u32string> taken_;
};
