// Names as a Japanese Windows reads them: in code page 932.
#pragma once

#include <string>

// Converts UTF-8 text to code page 932. False when a character has no form
// there, or one that reads back as another character (U+301C comes back as
// U+FF5E): a player's system would then look for another name.
bool toCodePage932(const std::string& utf8, std::string& cp932);
