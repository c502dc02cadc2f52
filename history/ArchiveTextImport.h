#pragma once
// Import of "Archive.txt" files that this program wrote: Windows-1251 text,
// CR LF line ends, blocks of a title line
//   "Report to ZIR <address> on <date>[ from hh:mm][ to hh:mm]"
// followed by record lines
//   "<time>    <A> <dimA> ± <uA> %     <B> <dimB> ± <uB> %".
//
// Dates and times are in the short date and long time format of the locale
// the file was written in, which the file does not name. Each block is read
// in the first of these locales that reads its title date and at least one of
// its record lines (a record's date lies on the title's date or, for minute
// numbers past a day, up to six days after it, and its time is a whole
// minute):
//   1. the system locale (QLocale::system()): the program's own files on this
//      computer;
//   2. otherwise the C locale and the common locales of ImportLocales(). When
//      two of these read the block to different dates (day and month swapped,
//      say), the block is not guessed: all its lines count as unreadable.
// A line that reads in no locale, a record line before any title and a line
// of another shape count as unreadable with their line numbers. The bank
// number and the raw value codes are not in the file and stay unknown.

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <vector>

#include "history/HistoryStore.h"

namespace zir {

struct UnreadableLine {
    int line = 0; // from 1
    QString reason;
    bool operator==(const UnreadableLine&) const = default;
};

struct ParsedArchiveText {
    std::vector<THistoryStore::ImportItem> items; // in file order
    std::vector<int> itemLines;                   // the line of each item
    std::vector<UnreadableLine> unreadable;
    int titles = 0;
};

// The locales tried after the system locale, in this order: C, ru_RU,
// uk_UA, be_BY, kk_KZ, de_DE, en_GB, fr_FR, en_US.
std::vector<QLocale> ImportLocales();

// Reads the bytes of an Archive.txt. locales[0] plays the part of the system
// locale (trusted when it reads a block); the others are the fallbacks.
ParsedArchiveText ParseArchiveText(const QByteArray& bytes, const std::vector<QLocale>& locales);

struct ArchiveImportResult {
    QString path;
    bool ok = false;    // false: the file could not be read or the history not written
    QString error;      // then: why, naming the file
    StoreCounts counts; // added (new), known, changed
    std::vector<UnreadableLine> unreadable;
    int records() const { return counts.added + counts.known + counts.changed; }
};

// Reads the file at `path` with the system locale and ImportLocales() and
// stores its records in one transaction.
ArchiveImportResult ImportArchiveText(THistoryStore& store, const QString& path);
ArchiveImportResult ImportArchiveText(THistoryStore& store, const QString& path, const std::vector<QLocale>& locales);

// "N new, N already known, N changed, N unreadable lines (3, 17)" and so on.
QString ImportSummary(const ArchiveImportResult& result);

} // namespace zir
