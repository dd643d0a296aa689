#pragma once

#include <QFile>
#include <QString>

namespace zurm::bench {

// Peak resident memory of this process (VmHWM), in MB; 0 where /proc is missing.
inline double peakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // A /proc file reports size 0, so it is read whole rather than by atEnd().
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts a new peak from the current resident size, so that one benchmark's
// peak does not carry the previous one's.
inline void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace zurm::bench
