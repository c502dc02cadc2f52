// The INI layer: what reads return, where writes land, and how a save
// replaces the file.
#include "app/settings/IniFile.h"
#include "app/settings/IniLocation.h"
#include "app/settings/StoredProperty.h"
#include "core/Errors.h"
#include "core/NumberText.h"
#include "core/XdgFolders.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/Files.h"

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <vector>

namespace zir {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

class IniFileTest : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }
    IniFile Loaded(const QByteArray& contents) {
        WriteFileBytes(PathOf("t.INI"), contents);
        IniFile ini(PathOf("t.INI"));
        ini.Load();
        return ini;
    }
    QTemporaryDir dir_;
};

struct ReadCase {
    const char* name;
    QByteArray file;
    const char* key;
    QString expected;
};

TEST_F(IniFileTest, ReadsValuesAsTheProfileFunctionsDo) {
    const ReadCase cases[] = {
        {"plain", "[TFace]\nk=v\n", "k", "v"},
        {"section and key ignore case", "[tface]\nKEY=v\n", "key", "v"},
        {"blanks around the value go", "[TFace]\n  k  =   a b  \n", "k", "a b"},
        {"one pair of double quotes goes", "[TFace]\nk=\"\"a\"\"\n", "k", "\"a\""},
        {"one pair of single quotes goes", "[TFace]\nk='a'\n", "k", "a"},
        {"unmatched quotes stay", "[TFace]\nk=\"a'\n", "k", "\"a'"},
        {"a lone quote stays", "[TFace]\nk=\"\n", "k", "\""},
        {"empty value is not the default", "[TFace]\nk=\n", "k", ""},
        {"missing key gives the default", "[TFace]\nother=1\n", "k", "def"},
        {"missing section gives the default", "[Other]\nk=1\n", "k", "def"},
        {"key of another section is not seen", "[A]\nk=1\n[TFace]\nj=2\n[B]\nk=3\n", "k", "def"},
        {"first of two equal keys", "[TFace]\nk=1\nK=2\n", "k", "1"},
        {"CR LF lines", "[TFace]\r\nk=v\r\nj=w\r\n", "k", "v"},
        {"byte order mark", "\xEF\xBB\xBF[TFace]\nk=v\n", "k", "v"},
        {"a value that begins with a byte order mark keeps it", "[TFace]\nk=\xEF\xBB\xBFv\n", "k",
         QStringLiteral("\uFEFFv")},
        {"no final line break", "[TFace]\nk=v", "k", "v"},
        {"Cyrillic", "[TFace]\nk=\xD0\xBC\xD0\xBA\xD0\xA0\n", "k", QString::fromUtf8("мкР")},
        {"equals sign inside the value", "[TFace]\nk=a=b\n", "k", "a=b"},
        {"comment lines are no keys", "[TFace]\n;k=1\nk=2\n", "k", "2"},
    };
    for (const ReadCase& c : cases) {
        const IniFile ini = Loaded(c.file);
        EXPECT_EQ(ini.ReadString("TFace", c.key, "def"), c.expected) << c.name;
    }
}

TEST_F(IniFileTest, ReadReturnsAtMost2047Characters) {
    const IniFile ini = Loaded("[TFace]\nk=" + QByteArray(5000, 'x') + "\n");
    EXPECT_EQ(ini.ReadString("TFace", "k", "").size(), 2047);
}

TEST_F(IniFileTest, ReadIntegerFallsBackOnWhatIsNoInteger) {
    const IniFile ini = Loaded("[TFace]\na=12\nb=-3\nc=1.5\nd=x\ne=\n");
    const std::pair<const char*, int> cases[] = {{"a", 12}, {"b", -3}, {"c", 99}, {"d", 99}, {"e", 99}, {"f", 99}};
    for (const auto& [key, expected] : cases) EXPECT_EQ(ini.ReadInteger("TFace", key, 99), expected) << key;
}

struct WriteCase {
    const char* name;
    QByteArray before;
    const char* key;
    QString value;
    QByteArray after;
};

TEST_F(IniFileTest, WritesInPlaceOrAtTheEndOfTheSection) {
    const WriteCase cases[] = {
        {"empty file", "", "k", "v", "[TFace]\nk=v\n"},
        {"value replaced in place, order kept", "[TFace]\na=1\nk=old\nb=2\n", "k", "new", "[TFace]\na=1\nk=new\nb=2\n"},
        {"key spelling kept", "[TFace]\n Key = old\n", "key", "new", "[TFace]\nKey=new\n"},
        {"new key before the blank line and the next section", "[TFace]\na=1\n\n[Other]\nx=1\n", "k", "v",
         "[TFace]\na=1\nk=v\n\n[Other]\nx=1\n"},
        {"new key after a comment at the section end", "[TFace]\na=1\n; note\n", "k", "v",
         "[TFace]\na=1\n; note\nk=v\n"},
        {"new section after the others", "[Other]\nx=1\n", "k", "v", "[Other]\nx=1\n\n[TFace]\nk=v\n"},
        {"no final line break", "[TFace]\na=1", "k", "v", "[TFace]\na=1\nk=v\n"},
        {"header without line break", "[TFace]", "k", "v", "[TFace]\nk=v\n"},
        {"CR LF file stays CR LF", "[TFace]\r\na=1\r\n", "k", "v", "[TFace]\r\na=1\r\nk=v\r\n"},
        {"line breaks in a value become blanks", "", "k", "a\nb\r\nc", "[TFace]\nk=a b  c\n"},
        {"other sections and unknown keys untouched",
         "; top\n[A]\nz=\xFF\xFE junk\n[TFace]\nunknown=7\nk=1\n[B]\ny=2\n", "k", "2",
         "; top\n[A]\nz=\xFF\xFE junk\n[TFace]\nunknown=7\nk=2\n[B]\ny=2\n"},
    };
    for (const WriteCase& c : cases) {
        IniFile ini = Loaded(c.before);
        ini.WriteString("TFace", c.key, c.value);
        EXPECT_EQ(ini.Contents(), c.after) << c.name;
    }
}

TEST_F(IniFileTest, QuotedValuesComeBackUnchanged) {
    const QString values[] = {"\"quoted\"", "'single'", "\"\"", "\"a\" and \"b\"", "'mixed\"", "\"", "plain"};
    for (const QString& value : values) {
        IniFile ini(PathOf("q.INI"));
        ini.WriteString("TFace", "k", QuotedForIni(value));
        ini.Save();
        IniFile back(PathOf("q.INI"));
        back.Load();
        EXPECT_EQ(back.ReadString("TFace", "k", "def"), value) << value.toStdString();
    }
}

TEST_F(IniFileTest, SaveCreatesTheFolderAndKeepsTheFileMode) {
    const QString path = PathOf("deep/er/zir.INI");
    IniFile ini(path);
    ini.Load();
    ini.WriteString("TFace", "k", "v");
    ini.Save();
    EXPECT_EQ(ReadFileBytes(path), "[TFace]\nk=v\n");

    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ini.WriteString("TFace", "k", "w");
    ini.Save();
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    EXPECT_EQ(QDir(PathOf("deep/er")).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

TEST_F(IniFileTest, SaveThroughALinkWritesTheLinkedFile) {
    WriteFileBytes(PathOf("real.INI"), "[TFace]\nk=1\n");
    ASSERT_TRUE(QFile::link(PathOf("real.INI"), PathOf("link.INI")));
    IniFile ini(PathOf("link.INI"));
    ini.Load();
    ini.WriteString("TFace", "k", "2");
    ini.Save();
    EXPECT_TRUE(QFileInfo(PathOf("link.INI")).isSymLink());
    EXPECT_EQ(ReadFileBytes(PathOf("real.INI")), "[TFace]\nk=2\n");
}

// A disk that fills up during the save: the file size limit makes the
// write of the temporary file fail, as a full disk would.
TEST_F(IniFileTest, FailedSaveLeavesTheOldFileIntact) {
    const QString path = PathOf("zir.INI");
    const QByteArray old = "[TFace]\nk=old\n";
    WriteFileBytes(path, old);
    IniFile ini(path);
    ini.Load();
    ini.WriteString("TFace", "k", QString(4096, 'n'));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
        ini.Save();
    } catch (const EFileError& error) {
        message = error.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(message, "Unable to write to " + path);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

TEST_F(IniFileTest, WhatCannotBeReadIsNeverReplaced) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
    };
    const Case cases[] = {
        {"a folder in its place", [](const QString& p) { QDir().mkpath(p); }},
        {"larger than any settings file",
         [](const QString& p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             ASSERT_TRUE(file.resize(IniFile::MaxFileSize + 1));
         }},
    };
    for (const Case& c : cases) {
        const QString path = PathOf(c.name);
        c.make(path);
        IniFile ini(path);
        ini.Load();
        EXPECT_TRUE(ini.Unreadable()) << c.name;
        EXPECT_EQ(ini.ReadString("TFace", "k", "def"), "def") << c.name;
        ini.WriteString("TFace", "k", "v");
        EXPECT_THROW(ini.Save(), EFileError) << c.name;
    }
    EXPECT_TRUE(QFileInfo(PathOf("a folder in its place")).isDir());
    EXPECT_EQ(QFileInfo(PathOf("larger than any settings file")).size(), IniFile::MaxFileSize + 1);
}

TEST_F(IniFileTest, TenMegabytesOfJunkAreReadAndKept) {
    QByteArray junk(10 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
    IniFile ini = Loaded(junk);
    EXPECT_FALSE(ini.Unreadable());
    EXPECT_EQ(ini.ReadString("TFace", "k", "def"), "def");
    ini.WriteString("TFace", "k", "v");
    ini.Save();
    const QByteArray saved = ReadFileBytes(PathOf("t.INI"));
    EXPECT_TRUE(saved.startsWith(junk));
    IniFile back(PathOf("t.INI"));
    back.Load();
    EXPECT_EQ(back.ReadString("TFace", "k", "def"), "v");
}

struct EditCase {
    const char* name;
    QByteArray before;
    std::vector<std::pair<const char*, QString>> writes; // in [TFace]
    QByteArray after;
};

// Settings files as people leave them: the bytes of every value a save does
// not change stay as they were, line ends and marks included.
TEST_F(IniFileTest, ValuesTheWritesDoNotChangeKeepTheirBytes) {
    const QString twoUnknown = QString(2, QChar::ReplacementCharacter);
    const QByteArray longValue(5000, 'x');
    const EditCase cases[] = {
        {"Windows-1251 bytes read and written back",
         "[TFace]\nk=\xEC\xEA\xC7\n",
         {{"k", QString(3, QChar::ReplacementCharacter)}},
         "[TFace]\nk=\xEC\xEA\xC7\n"},
        {"invalid UTF-8 in quotes", "[TFace]\nk=\"\xFF\xFE\"\n", {{"k", twoUnknown}}, "[TFace]\nk=\"\xFF\xFE\"\n"},
        {"blanks around key and value", "[TFace]\n  k  =  v  \n", {{"k", "v"}}, "[TFace]\n  k  =  v  \n"},
        {"only the changed line is rewritten",
         "[TFace]\na=\xEC\nb=1\n",
         {{"a", QString(QChar::ReplacementCharacter)}, {"b", "2"}},
         "[TFace]\na=\xEC\nb=2\n"},
        {"a value longer than a read gives",
         "[TFace]\nk=" + longValue + "\n",
         {{"k", QString(2047, u'x')}},
         "[TFace]\nk=" + longValue + "\n"},
        {"written back after a change in between",
         "[TFace]\nk=\xEC\n",
         {{"k", "other"}, {"k", QString(QChar::ReplacementCharacter)}},
         "[TFace]\nk=\xEC\n"},
        {"CR-only line ends", "[TFace]\rk=1\rj=2\r", {{"j", "3"}, {"new", "4"}}, "[TFace]\rk=1\rj=3\rnew=4\r"},
        {"CR-only file without final break", "[Other]\rx=1", {{"k", "v"}}, "[Other]\rx=1\r\r[TFace]\rk=v\r"},
        {"byte order mark and CR LF", "\xEF\xBB\xBF[TFace]\r\nk=1\r\n", {{"k", "2"}}, "\xEF\xBB\xBF[TFace]\r\nk=2\r\n"},
        {"duplicate sections: the first one takes the writes",
         "[TFace]\na=1\n[Other]\n[tface]\na=2\nb=3\n",
         {{"a", "5"}, {"b", "4"}},
         "[TFace]\na=5\nb=4\n[Other]\n[tface]\na=2\nb=3\n"},
        {"duplicate keys: the first one is replaced", "[TFace]\nk=1\nK=2\n", {{"k", "3"}}, "[TFace]\nk=3\nK=2\n"},
        {"a line without = is no key and stays",
         "[TFace]\njust words\nk=1\n",
         {{"just words", "x"}},
         "[TFace]\njust words\nk=1\njust words=x\n"},
        {"a new key written twice is added once", "", {{"k", "1"}, {"K", "2"}}, "[TFace]\nk=2\n"},
    };
    for (const EditCase& c : cases) {
        IniFile ini = Loaded(c.before);
        for (const auto& [key, value] : c.writes) ini.WriteString("TFace", key, value);
        EXPECT_EQ(ini.Contents(), c.after) << c.name;
        EXPECT_EQ(ini.Changed(), c.before != c.after) << c.name;
    }
}

TEST_F(IniFileTest, ReadsOfFilesAsPeopleLeaveThem) {
    const ReadCase cases[] = {
        {"CR-only line ends", "[Other]\rk=no\r[TFace]\rk=yes\r", "k", "yes"},
        {"mixed line ends", "[TFace]\r\na=1\rk=2\nb=3", "k", "2"},
        {"duplicate section: the first counts", "[TFace]\na=1\n[TFace]\nk=2\n", "k", "def"},
        {"byte order mark before a key line", "\xEF\xBB\xBFk=1\n[TFace]\nk=2\n", "k", "2"},
        {"header without closing bracket", "[TFace\nk=v\n", "k", "v"},
        {"binary zeros in a value", QByteArray("[TFace]\nk=a\0b\n", 13), "k", QString::fromUtf8("a\0b", 3)},
        {"invalid UTF-8", "[TFace]\nk=\xC3\x28\n", "k", QString(QChar::ReplacementCharacter) + "("},
    };
    for (const ReadCase& c : cases) {
        const IniFile ini = Loaded(c.file);
        EXPECT_EQ(ini.ReadString("TFace", c.key, "def"), c.expected) << c.name;
    }
    const IniFile numbers = Loaded("[TFace]\nbig=4294967296\nlow=-2147483649\nmax=2147483647\nmin=-2147483648\n");
    const std::pair<const char*, int> integers[] = {
        {"big", 7}, {"low", 7}, {"max", 2147483647}, {"min", -2147483647 - 1}};
    for (const auto& [key, expected] : integers) EXPECT_EQ(numbers.ReadInteger("TFace", key, 7), expected) << key;
}

TEST_F(IniFileTest, ASaveThatChangesNothingWritesNothing) {
    const QString path = PathOf("same.INI");
    WriteFileBytes(path, "[TFace]\nk=\xEC\n");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    IniFile ini(path);
    ini.Load();
    ini.WriteString("TFace", "k", ini.ReadString("TFace", "k", ""));
    EXPECT_FALSE(ini.Changed());
    ini.Save();
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // not replaced by a rename
}

// Mode 0444 is how an operator locks the settings: a save that would change
// them fails as an unwritable file does, and the file keeps bytes and mode.
TEST_F(IniFileTest, AReadOnlyFileIsNeverReplaced) {
    const QString path = PathOf("locked.INI");
    const QByteArray old = "[TFace]\nk=old\n";
    WriteFileBytes(path, old);
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));

    IniFile same(path);
    same.Load();
    same.WriteString("TFace", "k", "old");
    EXPECT_NO_THROW(same.Save());

    IniFile ini(path);
    ini.Load();
    ini.WriteString("TFace", "k", "new");
    QString message;
    try {
        ini.Save();
    } catch (const EFileError& error) {
        message = error.message();
    }
    EXPECT_EQ(message, "Unable to write to " + path);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), readOnly);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

TEST_F(IniFileTest, LeftoversOfCutShortSavesGoButNotARunningSave) {
    const QString path = PathOf("zir.INI");
    WriteFileBytes(path, "[TFace]\nk=1\n");
    WriteFileBytes(PathOf(".zir.INI.a1B2c3"), "[TFace]\nk=");  // a save a kill cut short
    WriteFileBytes(PathOf(".zir.INI.d4E5f6"), "[TFace]\nk=2"); // a save running meanwhile
    WriteFileBytes(PathOf(".zir.INI.bak"), "the operator's");  // no name a save gives
    QFile running(PathOf(".zir.INI.d4E5f6"));
    ASSERT_TRUE(running.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(running.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(IniFile::RemoveLeftovers(path), 1);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({".zir.INI.bak", ".zir.INI.d4E5f6", "zir.INI"}));
}

TEST(IniLocationTest, NameFollowsTheExecutable) {
    const std::pair<QString, QString> cases[] = {
        {"/usr/bin/zir", "zir.INI"}, {"/opt/x/zir.bin", "zir.INI"}, {"./a.b.c", "a.b.INI"}, {"", "zir.INI"}};
    for (const auto& [executable, expected] : cases)
        EXPECT_EQ(IniNameFor(executable), expected) << executable.toStdString();
}

TEST(IniLocationTest, FolderFollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/cfg");
    EXPECT_EQ(ZirConfigDir(), "/tmp/cfg/zir");
    EXPECT_EQ(ResolveIniFilePath("my.INI"), "/tmp/cfg/zir/my.INI");
    EXPECT_EQ(ResolveIniFilePath("/etc/x.INI"), "/etc/x.INI");
    qputenv("XDG_CONFIG_HOME", "relative/path"); // not absolute: ignored
    EXPECT_EQ(ZirConfigDir(), QDir::homePath() + "/.config/zir");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(StoredValueFormTest, RealNumbersAndQuoting) {
    const std::pair<double, QString> reals[] = {{65535, "65535"}, {0, "0"},       {-3, "-3"},          {0.5, "0.5"},
                                                {1e-5, "1E-5"},   {1e20, "1E20"}, {2.5e-12, "2.5E-12"}};
    for (const auto& [value, expected] : reals) EXPECT_EQ(FloatToText(value), expected) << value;
    const std::pair<QString, QString> quoted[] = {
        {"\"a\"", "\"\"a\"\""}, {"'a'", "\"'a'\""}, {"\"a'", "\"a'"}, {"a", "a"}, {"\"", "\""}, {"", ""}};
    for (const auto& [value, expected] : quoted) EXPECT_EQ(QuotedForIni(value), expected) << value.toStdString();
}

} // namespace
} // namespace zir
