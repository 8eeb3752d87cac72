#include "support/XlsxContents.h"

#include <QList>
#include <QProcess>
#include <QXmlStreamReader>

namespace zelvant::test {

namespace {

QByteArray unzipPart(const QString &path, const QString &part, QString *error)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, part});
    if (!unzip.waitForFinished(60000) || unzip.exitStatus() != QProcess::NormalExit
        || unzip.exitCode() != 0) {
        *error = QStringLiteral("unzip %1 %2 failed: %3")
                     .arg(path, part, QString::fromLocal8Bit(unzip.readAllStandardError()));
        return {};
    }
    return unzip.readAllStandardOutput();
}

// The text of an <si> or <is> element: its <t> parts, rich runs included.
QString stringItem(QXmlStreamReader &xml)
{
    const QString end = xml.name().toString();
    QString text;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"t")
            text += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == end)
            break;
    }
    return text;
}

struct Styles
{
    QList<bool> fontBold;
    QMap<int, QString> numberFormats; // numFmtId -> code
    QList<int> xfFont;
    QList<int> xfNumberFormat;
};

Styles readStyles(const QByteArray &bytes)
{
    Styles styles;
    QXmlStreamReader xml(bytes);
    bool inFonts = false, inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"numFmt") {
                styles.numberFormats.insert(
                    xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                    xml.attributes().value(QLatin1String("formatCode")).toString());
            } else if (name == u"fonts") {
                inFonts = true;
            } else if (name == u"font" && inFonts) {
                styles.fontBold << false;
            } else if (name == u"b" && inFonts && !styles.fontBold.isEmpty()) {
                const auto val = xml.attributes().value(QLatin1String("val"));
                styles.fontBold.last() = val.isEmpty() || val == u"1" || val == u"true";
            } else if (name == u"cellXfs") {
                inCellXfs = true;
            } else if (name == u"xf" && inCellXfs) {
                styles.xfFont << xml.attributes().value(QLatin1String("fontId")).toInt();
                styles.xfNumberFormat << xml.attributes().value(QLatin1String("numFmtId")).toInt();
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == u"fonts")
                inFonts = false;
            else if (xml.name() == u"cellXfs")
                inCellXfs = false;
        }
    }
    return styles;
}

int rowOf(const QString &ref)
{
    int i = 0;
    while (i < ref.size() && ref.at(i).isLetter())
        ++i;
    return ref.mid(i).toInt();
}

} // namespace

QByteArray ReadXlsxPart(const QString &path, const QString &part, QString *error)
{
    return unzipPart(path, part, error);
}

QString CellRef(int row, int column)
{
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row);
}

XlsxContents ReadXlsx(const QString &path)
{
    XlsxContents contents;
    const QByteArray sheet =
        unzipPart(path, QStringLiteral("xl/worksheets/sheet1.xml"), &contents.error);
    if (sheet.isEmpty())
        return contents;
    const QByteArray stylesXml = unzipPart(path, QStringLiteral("xl/styles.xml"), &contents.error);
    if (stylesXml.isEmpty())
        return contents;
    QString ignored;
    // A sheet without text cells has no shared strings part.
    const QByteArray sharedXml = unzipPart(path, QStringLiteral("xl/sharedStrings.xml"), &ignored);

    QStringList shared;
    {
        QXmlStreamReader xml(sharedXml);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"si")
                shared << stringItem(xml);
        }
    }
    const Styles styles = readStyles(stylesXml);

    QXmlStreamReader xml(sheet);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"col") {
            const auto a = xml.attributes();
            for (int c = a.value(QLatin1String("min")).toInt();
                 c <= a.value(QLatin1String("max")).toInt(); ++c)
                contents.columnWidths.insert(c, a.value(QLatin1String("width")).toDouble());
        } else if (xml.name() == u"c") {
            const auto a = xml.attributes();
            const QString ref = a.value(QLatin1String("r")).toString();
            const QString type = a.value(QLatin1String("t")).toString();
            XlsxCell cell;
            cell.style = a.value(QLatin1String("s")).toInt();
            QString value;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement() && xml.name() == u"v")
                    value = xml.readElementText();
                else if (xml.isStartElement() && xml.name() == u"is")
                    value = stringItem(xml);
                else if (xml.isEndElement() && xml.name() == u"c")
                    break;
            }
            if (type.isEmpty() || type == u"n") {
                cell.type = XlsxCell::Number;
                cell.text = value;
            } else if (type == u"s") {
                cell.type = XlsxCell::SharedString;
                const int index = value.toInt();
                cell.text = index >= 0 && index < shared.size() ? shared.at(index) : QString();
            } else if (type == u"inlineStr") {
                cell.type = XlsxCell::InlineString;
                cell.text = value;
            } else {
                cell.text = value;
            }
            if (cell.style >= 0 && cell.style < styles.xfFont.size()) {
                const int font = styles.xfFont.at(cell.style);
                cell.bold = font >= 0 && font < styles.fontBold.size() && styles.fontBold.at(font);
                cell.numberFormat =
                    styles.numberFormats.value(styles.xfNumberFormat.at(cell.style));
            }
            // A cell element with neither a value nor a string is blank.
            if (!value.isNull() || cell.type != XlsxCell::Number) {
                contents.cells.insert(ref, cell);
                contents.lastRow = std::max(contents.lastRow, rowOf(ref));
            }
        }
    }
    if (xml.hasError()) {
        contents.error = xml.errorString();
        return contents;
    }
    contents.ok = true;
    return contents;
}

} // namespace zelvant::test
