#pragma once
// Reads a written .xlsx back for the tests: the cell texts of the first sheet
// (inline or shared strings) and the font size of each cell's style.

#include <QProcess>
#include <QString>
#include <QXmlStreamReader>
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

struct SheetReadBack {
    std::map<QString, QString> text;   // "B3" -> cell text
    std::map<QString, double> fontSize;  // "A1" -> font size of its style
    std::set<int> rows;                 // rows that hold cells

    QString At(const QString& cell) const {
        const auto it = text.find(cell);
        return it == text.end() ? QString() : it->second;
    }
};

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
                if (xml.name() == QLatin1String("si")) shared.emplace_back();
                else if (xml.name() == QLatin1String("t") && !shared.empty()) shared.back() += xml.readElementText();
            }
        }
    }
    // Font size per style index.
    std::vector<double> fontSizes;
    std::vector<int> xfFont;
    {
        QXmlStreamReader xml(UnzipMember(xlsx, QStringLiteral("xl/styles.xml")));
        bool inFonts = false, inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("fonts")) inFonts = true;
                else if (xml.name() == QLatin1String("cellXfs")) inCellXfs = true;
                else if (inFonts && xml.name() == QLatin1String("font")) fontSizes.push_back(0);
                else if (inFonts && xml.name() == QLatin1String("sz"))
                    fontSizes.back() = xml.attributes().value(QLatin1String("val")).toDouble();
                else if (inCellXfs && xml.name() == QLatin1String("xf"))
                    xfFont.push_back(xml.attributes().value(QLatin1String("fontId")).toInt());
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
            const int style = xml.attributes().value(QLatin1String("s")).toInt();
            if (style < int(xfFont.size()) && xfFont[size_t(style)] < int(fontSizes.size()))
                sheet.fontSize[cell] = fontSizes[size_t(xfFont[size_t(style)])];
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
