// The release manifest: what the maker's packager says of every file a
// release brings, compiled into the signed programs so that the signature
// vouches for it. A file the programs copy must have the size and the
// SHA-256 the manifest gives it, or the release is damaged.
//
// The text, names in code page 932, CRLF or LF line ends:
//
//   manifest = "release manifest 1" EOL
//              "title " TEXT EOL          the product's title
//              "data " TEXT EOL           the data folder's name
//              "release " TEXT EOL        the release's name
//              { file }
//              "end" EOL
//   file     = "file " SIZE " " SHA256 " " NAME EOL
//   SIZE     = decimal digits: the file's size in bytes
//   SHA256   = 64 lowercase hexadecimal digits
//   NAME     = the rest of the line: a plain file name, once in the manifest
//   TEXT     = the rest of the line
//
// No line holds a control character, and nothing follows "end".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/setup_engine.h"

struct ManifestFile {
    std::string name;
    uint64_t size;
    unsigned char sha256[platform::kSha256Bytes];
};

struct ReleaseManifest {
    std::string title;
    std::string dataFolder;
    std::string release;
    std::vector<ManifestFile> files;
};

// Reads the engine's manifest; false when it is not a whole manifest of the
// grammar above, or is another product's (its title or data folder differs).
bool readReleaseManifest(const SetupEngine& engine, ReleaseManifest& manifest);

// The manifest's file of exactly this name, or null.
const ManifestFile* findManifestFile(const ReleaseManifest& manifest, const char* name);
