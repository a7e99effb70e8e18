#include "engine/product_config.h"

namespace ProductConfig {

const char* const windowClassName = "Vellomira　セットアップ";
const char* const productTitle = "Vellomira";
const char* const makerName = "Torvane";
const char* const dataFolderName = "Vellomira";
const char* const gameExecutable = "Vellomira.exe";
const char* const registryKeyPath = "SOFTWARE\\Torvane\\Vellomira";

// Entry 0 is a placeholder that start-up replaces with gameExecutable.
const char* installList[] = {
    "ExecuteProgram", "grd.pac",     "vic.pac",    "se.pac",      "sse.pac",
    "mus.pac",        "srp.pac",     "ogg.dll",    "vorbis.dll",  "vorbisfile.dll",
    "readme.txt",     "uninst.exe",  "Agrd.pac",   "Bgrd.pac",    "Cgrd.pac",
    "Dgrd.pac",       "Egrd.pac",    "Fgrd.pac",   "Ggrd.pac",    "Hgrd.pac",
    "Setting.exe",    "grd_2.pac",   "vic_2.pac",  "se_2.pac",    "sse_2.pac",
    "mus_2.pac",      "srp_2.pac",   "debuglog.txt", nullptr,
};

const char* const updateList[] = {
    "grd_2.pac", "vic_2.pac", "se_2.pac",  "sse_2.pac", "mus_2.pac",
    "srp_2.pac", "srp_3.pac", "srp_4.pac", "srp_5.pac", "srp_6.pac", nullptr,
};

const char* const volumeLabelList[] = {"Vellomira", nullptr};

uint32_t sizeTable[4] = {3200, 3200, 3200, 3200};

}  // namespace ProductConfig
