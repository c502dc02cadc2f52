#pragma once
// Whole files for tests: what a file holds, and a file laid down with given bytes.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QFile>
#include <QString>

namespace zir::test {

// The file's bytes, "<missing>" when it cannot be read.
inline QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Replaces the file with `bytes`.
inline void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

} // namespace zir::test
