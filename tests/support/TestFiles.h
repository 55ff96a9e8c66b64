#pragma once

// File contents for tests: reading and writing whole files, and bytes that show a
// misplaced block.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Bytes that differ from position to position, so a misplaced block shows.
inline QByteArray Pattern(int size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uint32_t state = 2463534242u + std::uint32_t(seed);
    for (char &c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state);
    }
    return bytes;
}
