#include "platform/CompoundFile.h"

#include <algorithm>
#include <vector>

namespace zurm {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kMaxRegular = 0xFFFFFFFA; // higher numbers are markers

struct Damage {
    QString why;
};

[[noreturn]] void damaged(const QString& why = QStringLiteral("книга повреждена"))
{
    throw Damage{why};
}

quint16 u16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}

quint32 u32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

class Compound {
public:
    explicit Compound(const QByteArray& file)
        : data_(reinterpret_cast<const uchar*>(file.constData())), size_(quint64(file.size()))
    {
        static const uchar signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (size_ < 512 || !std::equal(signature, signature + 8, data_))
            damaged(QStringLiteral("файл не является книгой Microsoft Excel 97-2003 (*.xls)"));
        const quint16 shift = u16(data_ + 0x1E);
        if (shift != 9 && shift != 12)
            damaged();
        sectorSize_ = 1u << shift;
        const quint16 miniShift = u16(data_ + 0x20);
        if (miniShift != 6)
            damaged();
        // The header fills the first sector; every whole sector after it has a number.
        sectors_ = size_ / sectorSize_ - 1;
        readFat();
    }

    QByteArray stream(const QStringList& names)
    {
        const QByteArray directory = chain(u32(data_ + 0x30), sectors_ * sectorSize_, false);
        const quint32 miniCutoff = u32(data_ + 0x38);
        const qsizetype entries = directory.size() / 128;
        const auto* d = reinterpret_cast<const uchar*>(directory.constData());
        for (qsizetype i = 0; i < entries; ++i) {
            const uchar* entry = d + i * 128;
            const quint16 nameBytes = u16(entry + 0x40);
            if (entry[0x42] != 2 || nameBytes < 2 || nameBytes > 64)
                continue; // not a stream
            QString name;
            for (int c = 0; c < nameBytes / 2 - 1; ++c)
                name += QChar(char16_t(u16(entry + 2 * c)));
            if (!names.contains(name, Qt::CaseInsensitive))
                continue;
            // Files of the 512-byte kind keep garbage in the high half of the size.
            const quint64 length = sectorSize_ == 512 ? u32(entry + 0x78)
                                                      : (quint64(u32(entry + 0x7C)) << 32) | u32(entry + 0x78);
            if (length > size_)
                damaged();
            if (length < miniCutoff)
                return miniStream(d, entries, u32(entry + 0x74), length);
            return chain(u32(entry + 0x74), length, true);
        }
        damaged(QStringLiteral("в файле нет книги Microsoft Excel"));
    }

private:
    const uchar* sector(quint32 number) const
    {
        if (number >= sectors_)
            damaged();
        return data_ + (quint64(number) + 1) * sectorSize_;
    }

    void readFat()
    {
        std::vector<quint32> fatSectors;
        for (int i = 0; i < 109; ++i) {
            const quint32 number = u32(data_ + 0x4C + 4 * i);
            if (number <= kMaxRegular)
                fatSectors.push_back(number);
        }
        const quint32 perSector = sectorSize_ / 4;
        std::vector<bool> visited(sectors_, false);
        quint32 next = u32(data_ + 0x44);
        for (quint32 block = u32(data_ + 0x48); block > 0 && next <= kMaxRegular; --block) {
            const uchar* s = sector(next);
            if (visited[next])
                damaged();
            visited[next] = true;
            for (quint32 i = 0; i + 1 < perSector; ++i) {
                const quint32 number = u32(s + 4 * i);
                if (number <= kMaxRegular)
                    fatSectors.push_back(number);
            }
            next = u32(s + 4 * (perSector - 1));
        }
        // More FAT than sectors to describe is no FAT.
        if (quint64(fatSectors.size()) > sectors_)
            damaged();
        fat_.reserve(fatSectors.size() * perSector);
        for (const quint32 number : fatSectors) {
            const uchar* s = sector(number);
            for (quint32 i = 0; i < perSector; ++i)
                fat_.push_back(u32(s + 4 * i));
        }
    }

    // The bytes of the chain from `start`, cut to `length`; a chain that loops,
    // leaves the file or, when `exact`, ends before `length` is damage.
    QByteArray chain(quint32 start, quint64 length, bool exact) const
    {
        QByteArray bytes;
        std::vector<bool> visited(sectors_, false);
        for (quint32 current = start; current != kEndOfChain && quint64(bytes.size()) < length;) {
            const uchar* s = sector(current);
            if (current >= fat_.size() || visited[current])
                damaged();
            visited[current] = true;
            bytes.append(reinterpret_cast<const char*>(s), qsizetype(sectorSize_));
            current = fat_[current];
        }
        if (exact && quint64(bytes.size()) < length)
            damaged();
        bytes.truncate(qsizetype(std::min<quint64>(length, quint64(bytes.size()))));
        return bytes;
    }

    // A short stream lives in 64-byte sectors of the root entry's stream, chained by the mini FAT.
    QByteArray miniStream(const uchar* directory, qsizetype entries, quint32 start, quint64 length) const
    {
        if (length == 0)
            return {};
        if (entries < 1 || directory[0x42] != 5)
            damaged();
        const quint64 rootLength = sectorSize_ == 512 ? u32(directory + 0x78)
                                                      : (quint64(u32(directory + 0x7C)) << 32) | u32(directory + 0x78);
        if (rootLength > size_)
            damaged();
        const QByteArray container = chain(u32(directory + 0x74), rootLength, true);
        const QByteArray miniFatBytes = chain(u32(data_ + 0x3C), quint64(u32(data_ + 0x40)) * sectorSize_, true);
        const auto* miniFat = reinterpret_cast<const uchar*>(miniFatBytes.constData());
        const quint64 miniSectors = quint64(container.size()) / 64;
        const quint64 fatEntries = quint64(miniFatBytes.size()) / 4;
        QByteArray bytes;
        std::vector<bool> visited(miniSectors, false);
        for (quint32 current = start; quint64(bytes.size()) < length;) {
            if (current >= miniSectors || current >= fatEntries || visited[current])
                damaged();
            visited[current] = true;
            bytes.append(container.constData() + qsizetype(current) * 64, 64);
            current = u32(miniFat + 4 * quint64(current));
        }
        bytes.truncate(qsizetype(length));
        return bytes;
    }

    const uchar* data_;
    quint64 size_;
    quint32 sectorSize_ = 512;
    quint64 sectors_ = 0;
    std::vector<quint32> fat_;
};

} // namespace

QByteArray compoundStream(const QByteArray& file, const QStringList& names, QString& why)
{
    try {
        Compound compound(file);
        return compound.stream(names);
    } catch (const Damage& damage) {
        why = damage.why;
        return {};
    }
}

} // namespace zurm
