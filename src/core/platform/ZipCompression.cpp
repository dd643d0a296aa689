#include "platform/ZipCompression.h"

#include <dlfcn.h>
#include <zip.h>

namespace {

// -1: leave the caller's level alone.
int chosenLevel = -1;

} // namespace

namespace zurm {

ZipCompressionLevel::ZipCompressionLevel(int level) : previous_(chosenLevel)
{
    chosenLevel = level;
}

ZipCompressionLevel::~ZipCompressionLevel()
{
    chosenLevel = previous_;
}

} // namespace zurm

// Defined in the program, this comes before minizip's own in the dynamic
// symbol look-up of libxlsxwriter, changes the level and hands the call on to
// minizip's function.
extern "C" int zipOpenNewFileInZip4_64(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                                       const void* extrafieldLocal, uInt sizeExtrafieldLocal,
                                       const void* extrafieldGlobal, uInt sizeExtrafieldGlobal,
                                       const char* comment, int method, int level, int raw, int windowBits,
                                       int memLevel, int strategy, const char* password, uLong crcForCrypting,
                                       uLong versionMadeBy, uLong flagBase, int zip64)
{
    using Open = int (*)(zipFile, const char*, const zip_fileinfo*, const void*, uInt, const void*, uInt,
                         const char*, int, int, int, int, int, int, const char*, uLong, uLong, uLong, int);
    static const Open minizip = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!minizip)
        return ZIP_INTERNALERROR;
    if (chosenLevel >= 0 && method == Z_DEFLATED && level == Z_DEFAULT_COMPRESSION)
        level = chosenLevel;
    return minizip(file, filename, zipfi, extrafieldLocal, sizeExtrafieldLocal, extrafieldGlobal,
                   sizeExtrafieldGlobal, comment, method, level, raw, windowBits, memLevel, strategy, password,
                   crcForCrypting, versionMadeBy, flagBase, zip64);
}
