#include "zip_writer.h"

#include <minizip/zip.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

#include "code_page.h"
#include "unicode_path_field.h"

namespace {

// "Version made by": the high byte names the host whose conventions the
// entry follows. 0 is MS-DOS (FAT): every unpacker then reads an unflagged
// name in the reader's code page (7-Zip reads one from a Unix host as
// UTF-8). The low byte is the format version, 2.0, or 4.5 with Zip64.
constexpr uLong kMadeByMsDos = 0 << 8;
constexpr uLong kFormatVersion = 20;
constexpr uLong kFormatVersionZip64 = 45;
// General purpose flags: none. Bit 11 (UTF-8 names) stays clear, since the
// Windows shell of many versions ignores it.
constexpr uLong kNoFlags = 0;
// MS-DOS attributes in the low byte of the external attributes.
constexpr uLong kDosArchive = 0x20;
constexpr uLong kDosFolder = 0x10;
// An entry of this many bytes or more needs Zip64 sizes.
constexpr std::uintmax_t kZip64Size = 0xFFFFFFFFu;
constexpr size_t kChunk = 64 * 1024;
constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

bool fail(const std::string& what) {
    std::fprintf(stderr, "release_zip: %s\n", what.c_str());
    return false;
}

bool isAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

// An MS-DOS date holds the years 1980 to 2107: a time outside them (a file
// stamped at 0 for a reproducible build) takes the nearest one it holds
// instead of a year that wraps around.
std::tm dosRange(const std::tm& local) {
    std::tm clamped{};
    if (local.tm_year + 1900 < kDosFirstYear) {
        clamped.tm_year = kDosFirstYear - 1900;
        clamped.tm_mday = 1;
    } else if (local.tm_year + 1900 > kDosLastYear) {
        clamped.tm_year = kDosLastYear - 1900;
        clamped.tm_mon = 11;
        clamped.tm_mday = 31;
        clamped.tm_hour = 23;
        clamped.tm_min = 59;
        clamped.tm_sec = 58;
    } else {
        clamped = local;
    }
    return clamped;
}

// The entry's time: the source's last write, in local time as MS-DOS kept it.
bool entryInfo(const std::filesystem::path& source, bool folder, zip_fileinfo& info) {
    struct stat status;
    std::tm written;
    if (stat(source.c_str(), &status) != 0 || localtime_r(&status.st_mtime, &written) == nullptr) {
        return fail("cannot read the times of " + source.string());
    }
    const std::tm local = dosRange(written);
    info = zip_fileinfo{};
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    info.external_fa = folder ? kDosFolder : kDosArchive;
    return true;
}

}  // namespace

ZipWriter::~ZipWriter() {
    if (zip_ != nullptr) zipClose(zip_, nullptr);
}

bool ZipWriter::open(const std::filesystem::path& zip) {
    zip_ = zipOpen64(zip.c_str(), APPEND_STATUS_CREATE);
    return zip_ != nullptr || fail("cannot create " + zip.string());
}

bool ZipWriter::openEntry(const std::string& name, const std::filesystem::path& source,
                          bool folder, bool large) {
    std::string stored;
    if (!toCodePage932(name, stored)) {
        return fail("\"" + name + "\" has no name in code page 932 that reads back the same");
    }
    zip_fileinfo info;
    if (!entryInfo(source, folder, info)) return false;
    std::string extra;
    if (!isAscii(name)) extra = unicodePathField(stored, name);
    const uInt extraSize = static_cast<uInt>(extra.size());
    const int method = folder ? 0 : Z_DEFLATED;
    const uLong madeBy = kMadeByMsDos | (large ? kFormatVersionZip64 : kFormatVersion);
    const int status = zipOpenNewFileInZip4_64(
        zip_, stored.c_str(), &info, extra.data(), extraSize, extra.data(), extraSize, nullptr,
        method, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
        madeBy, kNoFlags, large ? 1 : 0);
    return status == ZIP_OK || fail("cannot start the entry " + name);
}

bool ZipWriter::copyContents(const std::filesystem::path& source) {
    std::ifstream in(source, std::ios::binary);
    if (!in) return fail("cannot open " + source.string());
    std::vector<char> buffer(kChunk);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<unsigned>(in.gcount());
        if (got > 0 && zipWriteInFileInZip(zip_, buffer.data(), got) != ZIP_OK) {
            return fail("cannot write " + source.string() + " into the zip");
        }
    }
    return in.eof() || fail("cannot read " + source.string());
}

bool ZipWriter::addFolder(const std::string& name, const std::filesystem::path& source) {
    return openEntry(name + "/", source, true, false) &&
           (zipCloseFileInZip(zip_) == ZIP_OK || fail("cannot end the entry " + name));
}

bool ZipWriter::addFile(const std::string& name, const std::filesystem::path& source) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(source, error);
    if (error) return fail("cannot read the size of " + source.string());
    if (!openEntry(name, source, false, size >= kZip64Size)) return false;
    const bool copied = copyContents(source);
    const bool ended = zipCloseFileInZip(zip_) == ZIP_OK;
    return copied && (ended || fail("cannot end the entry " + name));
}

bool ZipWriter::close() {
    const int status = zipClose(zip_, nullptr);
    zip_ = nullptr;
    return status == ZIP_OK || fail("cannot finish the zip");
}
