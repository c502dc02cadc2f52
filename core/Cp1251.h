#pragma once
// Windows-1251, the 8-bit code page of the text files and of the text that
// goes to and from the instrument's character set.

#include <QByteArray>
#include <QChar>
#include <QString>
#include <optional>

#include "core/Errors.h"

namespace zir {

QString Cp1251ToUnicode(const QByteArray& bytes);
// Throws EConvertError naming the first character Windows-1251 cannot hold.
QByteArray UnicodeToCp1251(const QString& text);
// The same without throwing: nullopt when a character cannot be held.
std::optional<QByteArray> TryUnicodeToCp1251(const QString& text);
// The rule of the program's text files (ZIR.txt, Archive.txt, the saved
// archive list): each character Windows-1251 cannot hold is written as one
// "?", so a line is never refused for it (a date that the locale writes in
// its own script, for instance).
QByteArray UnicodeToCp1251Replacing(const QString& text);

} // namespace zir
