// Trimming and the XDG folders.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QString>

#include "core/Text.h"
#include "core/XdgFolders.h"

namespace zir {
namespace {

TEST(TrimBlanksAndControls, EveryCodeUpToTheBlankComesOffBothEndsOnly) {
    const std::pair<QString, QString> cases[] = {
        {" \t a b \r\n", "a b"},
        {QString::fromUtf8("\x01\x1f\x20x\x7f"), QString::fromUtf8("x\x7f")}, // DEL is no control here
        {QStringLiteral("\u00A0x\u00A0"), QStringLiteral("\u00A0x\u00A0")},   // nor a no-break space
        {"", ""},
        {" \x0b ", ""},
        {"a \x01 b", "a \x01 b"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TrimBlanksAndControls(text).toString(), expected) << text.toStdString();
        // The byte version agrees for Latin-1 texts; 0x80..0xFF are no blanks.
        const QByteArray bytes = text.toLatin1();
        EXPECT_EQ(TrimBlanksAndControls(bytes).toByteArray(), expected.toLatin1()) << text.toStdString();
    }
    EXPECT_EQ(TrimBlanksAndControls(QByteArray("\xA0 x \xFF")).toByteArray(), QByteArray("\xA0 x \xFF"));
}

TEST(TrimBounds, NarrowsARangeByAnyRule) {
    const QByteArray line = "  [ a ]\t";
    qsizetype begin = 2, end = line.size();
    TrimBounds(line, begin, end, [](char c) { return c == ' ' || c == '\t' || c == '['; });
    EXPECT_EQ(line.mid(begin, end - begin), "a ]");
    begin = 3;
    end = 3;
    TrimBounds(line, begin, end, [](char) { return true; });
    EXPECT_EQ(begin, 3);
    EXPECT_EQ(end, 3);
}

TEST(ZirFolderIn, AbsoluteVariableOrTheDefaultUnderHome) {
    struct Case {
        QString value, expected;
    };
    for (const Case& c :
         {Case{"/tmp/cfg", "/tmp/cfg/zir"}, Case{"/tmp/cfg/", "/tmp/cfg/zir"}, Case{"", "/home/op/.config/zir"},
          Case{"relative/dir", "/home/op/.config/zir"}, Case{"/a/../b", "/b/zir"}}) {
        EXPECT_EQ(ZirFolderIn(c.value, "/home/op", ".config"), c.expected) << c.value.toStdString();
    }
    EXPECT_EQ(ZirFolderIn("", "/home/op", ".local/share"), "/home/op/.local/share/zir");
}

TEST(ZirFolderIn, TheProgramsFoldersFollowTheirVariables) {
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
    qputenv("XDG_DATA_HOME", "rel");
    EXPECT_EQ(ZirConfigDir(), "/tmp/cfg/zir");
    EXPECT_EQ(ZirDataDir(), QDir::homePath() + "/.local/share/zir");
    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("XDG_DATA_HOME", savedData);
}

} // namespace
} // namespace zir
