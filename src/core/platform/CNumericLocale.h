#pragma once

#include <clocale>
#include <locale.h>

namespace zurm {

// The C library writes and reads numbers by the process's locale, which Qt
// takes from the user's environment: under ru_RU printf writes "0,5" and
// strtod stops at "0.5". Libraries that write file formats with printf (the
// workbook writer) run under this guard, which switches the calling thread to
// the decimal point for its lifetime and leaves every other thread alone.
class CNumericLocale {
public:
    CNumericLocale()
        : numbers_(newlocale(LC_NUMERIC_MASK, "C", duplocale(uselocale(locale_t(nullptr))))),
          previous_(numbers_ ? uselocale(numbers_) : locale_t(nullptr))
    {
    }
    ~CNumericLocale()
    {
        if (numbers_) {
            uselocale(previous_);
            freelocale(numbers_);
        }
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t numbers_;
    locale_t previous_;
};

// The programs switch the whole process to the decimal point for the C
// library once Qt has set the user's locale: QLocale::system() still follows
// the user's environment, so the calculation text keeps the user's separator.
inline void useDecimalPointInCLibrary()
{
    std::setlocale(LC_NUMERIC, "C");
}

} // namespace zurm
