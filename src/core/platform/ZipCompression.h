#pragma once

namespace zurm {

// While an object of this class lives, the zip entries that libxlsxwriter
// opens with zlib's default compression (level 6) are deflated at `level`
// instead. libxlsxwriter (1.1.4) has no option for it, and on a workbook of
// a million cells deflating at level 6 takes half of the whole export; level 1
// makes the file about a fifth larger in a third of the time. Other zip
// writers of the process, and any time outside such an object, are not
// affected. One thread at a time.
class ZipCompressionLevel {
public:
    explicit ZipCompressionLevel(int level);
    ~ZipCompressionLevel();
    ZipCompressionLevel(const ZipCompressionLevel&) = delete;
    ZipCompressionLevel& operator=(const ZipCompressionLevel&) = delete;

private:
    int previous_;
};

} // namespace zurm
