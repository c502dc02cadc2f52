#include <gtest/gtest.h>

#include "support/Files.h"

#include <sys/resource.h>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "core/Errors.h"
#include "core/LineFile.h"

namespace zir {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

TEST(LineFile, CreatesMissingFileAndAppendsToExistingOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Archive.txt");
    {
        TLineFile file;
        ASSERT_TRUE(file.Open(path));
        file.WriteLine(QString::fromUtf8("Банк 1"));
        file.Close();
    }
    TLineFile again;
    ASSERT_TRUE(again.Open(path));
    again.WriteLine("");
    again.WriteLine("second");
    again.Close();
    EXPECT_EQ(ReadFileBytes(path), QByteArray("\xC1\xE0\xED\xEA 1\r\n\r\nsecond\r\n"));
}

TEST(LineFile, UnopenablePathsAreRefusedWithAReason) {
    QTemporaryDir dir;
    for (const QString& path : {dir.path(), dir.filePath("no/such/folder.txt")}) {
        TLineFile file;
        EXPECT_FALSE(file.Open(path)) << path.toStdString();
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.ErrorText().isEmpty());
    }
}

TEST(LineFile, CharacterOutsideTheCodePageIsWrittenAsAQuestionMark) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZIR.txt");
    WriteFileBytes(path, "kept\r\n");
    TLineFile file;
    ASSERT_TRUE(file.Open(path));
    file.WriteLine(QString::fromUtf8("1 m³ \u039C.\u039C. \u00B1"));
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), "kept\r\n1 m? ?.?. \xB1\r\n");
}

TEST(LineFile, PartialWriteIsTakenBackAndTheFileReleased) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZIR.txt");
    WriteFileBytes(path, "0123456789");
    TLineFile file;
    ASSERT_TRUE(file.Open(path));

    // Let the file grow by 5 bytes only: the 22-byte line is cut short.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 15;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool threw = false;
    try {
        file.WriteLine("a line of twenty bytes");
    } catch (const EFileError&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFileBytes(path), "0123456789");
}

} // namespace
} // namespace zir
