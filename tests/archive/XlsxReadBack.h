#pragma once
// Reads a written .xlsx back for the tests: the cells of the first sheet with
// their kind (number, inline string, shared string), their text or number,
// and the font size and number format of each cell's style.

#include <QDate>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QXmlStreamReader>
#include <limits>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace zir::test {

inline QByteArray UnzipMember(const QString& xlsx, const QString& member) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, member});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        throw std::runtime_error("unzip failed for " + member.toStdString());
    return unzip.readAllStandardOutput();
}

// How a cell holds its content.
enum class CellKind { Number, InlineString, SharedString, Other };

struct SheetReadBack {
    std::map<QString, QString> text;         // "B3" -> cell text (a number cell: its value as written)
    std::map<QString, CellKind> kind;        // "B3" -> how the cell holds it
    std::map<QString, double> fontSize;      // "A1" -> font size of its style
    std::map<QString, QString> numberFormat; // "A3" -> format code of its style ("General" for none)
    std::set<int> rows;                      // rows that hold cells

    QString At(const QString& cell) const {
        const auto it = text.find(cell);
        return it == text.end() ? QString() : it->second;
    }
    CellKind KindAt(const QString& cell) const {
        const auto it = kind.find(cell);
        return it == kind.end() ? CellKind::Other : it->second;
    }
    bool IsText(const QString& cell) const {
        return KindAt(cell) == CellKind::InlineString || KindAt(cell) == CellKind::SharedString;
    }
    // The value of a number cell; NaN for any other cell.
    double Number(const QString& cell) const {
        if (KindAt(cell) != CellKind::Number) return std::numeric_limits<double>::quiet_NaN();
        bool ok = false;
        const double value = At(cell).toDouble(&ok);
        return ok ? value : std::numeric_limits<double>::quiet_NaN();
    }
    QString FormatAt(const QString& cell) const {
        const auto it = numberFormat.find(cell);
        return it == numberFormat.end() ? QStringLiteral("General") : it->second;
    }
};

// The spreadsheet's serial number of a moment: days since 1899-12-30, the
// time of day as the fraction.
inline double SpreadsheetSerial(const QDateTime& moment) {
    const qint64 days = QDate(1899, 12, 30).daysTo(moment.date());
    return double(days) + double(moment.time().msecsSinceStartOfDay()) / 86400000.0;
}

inline SheetReadBack ReadSheet(const QString& xlsx) {
    // Shared strings, when the writer used them.
    std::vector<QString> shared;
    {
        QProcess probe;
        probe.start(QStringLiteral("unzip"), {QStringLiteral("-l"), xlsx});
        probe.waitForFinished(30000);
        if (probe.readAllStandardOutput().contains("xl/sharedStrings.xml")) {
            QXmlStreamReader xml(UnzipMember(xlsx, QStringLiteral("xl/sharedStrings.xml")));
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement()) continue;
                if (xml.name() == QLatin1String("si"))
                    shared.emplace_back();
                else if (xml.name() == QLatin1String("t") && !shared.empty())
                    shared.back() += xml.readElementText();
            }
        }
    }
    // Font size and number format per style index.
    std::vector<double> fontSizes;
    std::vector<int> xfFont;
    std::vector<int> xfNumFmt;
    std::map<int, QString> numFmtCodes = {{0, QStringLiteral("General")}};
    {
        QXmlStreamReader xml(UnzipMember(xlsx, QStringLiteral("xl/styles.xml")));
        bool inFonts = false, inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("fonts"))
                    inFonts = true;
                else if (xml.name() == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (xml.name() == QLatin1String("numFmt"))
                    numFmtCodes[xml.attributes().value(QLatin1String("numFmtId")).toInt()] =
                        xml.attributes().value(QLatin1String("formatCode")).toString();
                else if (inFonts && xml.name() == QLatin1String("font"))
                    fontSizes.push_back(0);
                else if (inFonts && xml.name() == QLatin1String("sz"))
                    fontSizes.back() = xml.attributes().value(QLatin1String("val")).toDouble();
                else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                    xfFont.push_back(xml.attributes().value(QLatin1String("fontId")).toInt());
                    xfNumFmt.push_back(xml.attributes().value(QLatin1String("numFmtId")).toInt());
                }
            } else if (xml.isEndElement()) {
                if (xml.name() == QLatin1String("fonts")) inFonts = false;
                if (xml.name() == QLatin1String("cellXfs")) inCellXfs = false;
            }
        }
    }
    SheetReadBack sheet;
    QXmlStreamReader xml(UnzipMember(xlsx, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString cell, type;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("row")) {
            sheet.rows.insert(xml.attributes().value(QLatin1String("r")).toInt());
        } else if (xml.name() == QLatin1String("c")) {
            cell = xml.attributes().value(QLatin1String("r")).toString();
            type = xml.attributes().value(QLatin1String("t")).toString();
            sheet.kind[cell] = type.isEmpty() || type == QLatin1String("n") ? CellKind::Number
                               : type == QLatin1String("inlineStr")         ? CellKind::InlineString
                               : type == QLatin1String("s")                 ? CellKind::SharedString
                                                                            : CellKind::Other;
            const int style = xml.attributes().value(QLatin1String("s")).toInt();
            if (style < int(xfFont.size()) && xfFont[size_t(style)] < int(fontSizes.size()))
                sheet.fontSize[cell] = fontSizes[size_t(xfFont[size_t(style)])];
            if (style < int(xfNumFmt.size())) {
                const auto code = numFmtCodes.find(xfNumFmt[size_t(style)]);
                sheet.numberFormat[cell] = code == numFmtCodes.end()
                                               ? QStringLiteral("builtin %1").arg(xfNumFmt[size_t(style)])
                                               : code->second;
            }
        } else if (xml.name() == QLatin1String("t")) {
            sheet.text[cell] += xml.readElementText();
        } else if (xml.name() == QLatin1String("v")) {
            const QString v = xml.readElementText();
            sheet.text[cell] = type == QLatin1String("s") ? shared.at(size_t(v.toInt())) : v;
        }
    }
    if (xml.hasError()) throw std::runtime_error(xml.errorString().toStdString());
    return sheet;
}

} // namespace zir::test
