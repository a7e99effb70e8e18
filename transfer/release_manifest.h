// The release manifest: what the maker's packager says of every file a
// release brings, compiled into the signed programs so that the signature
// vouches for it. A file the programs copy must have the size and the
// SHA-256 the manifest gives it, or the release is damaged. A patch release
// ships some files as patches from the earlier versions players have.
//
// The text, names in code page 932, CRLF or LF line ends:
//
//   manifest = "release manifest 1" EOL
//              "title " TEXT EOL          the product's title
//              "data " TEXT EOL           the data folder's name
//              "release " TEXT EOL        the release's name
//              { whole | patched }
//              "end" EOL
//   whole    = "file " SIZE " " SHA256 " " NAME EOL
//              the data folder holds NAME whole, of this size and SHA-256
//   patched  = "patched " SIZE " " SHA256 " " NAME EOL { from }
//              the game's NAME must be this already, or a from line's
//   from     = "from " SIZE " " SHA256 " " SIZE " " SHA256 " " PATCH EOL
//              a game file of the first size and SHA-256 becomes the new
//              one by PATCH, in the data folder, of the second: a zstd
//              frame decoded with the game file as its reference
//   SIZE     = decimal digits: a size in bytes
//   SHA256   = 64 lowercase hexadecimal digits
//   NAME     = the rest of the line: a plain file name, once in the manifest
//   PATCH    = the rest of the line: a plain file name, none of the NAMEs
//   TEXT     = the rest of the line
//
// No line holds a control character, and nothing follows "end".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/setup_engine.h"

// An earlier version of a file, and the patch that makes the new one of it.
struct ManifestPatch {
    uint64_t oldSize;
    unsigned char oldSha256[platform::kSha256Bytes];
    uint64_t patchSize;
    unsigned char patchSha256[platform::kSha256Bytes];
    std::string patchName;
};

struct ManifestFile {
    std::string name;
    uint64_t size;
    unsigned char sha256[platform::kSha256Bytes];
    bool whole;  // in the data folder; else patched, or already the game's
    std::vector<ManifestPatch> patches;
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
