#include "cli/PageExplanation.h"

#include <QJsonValue>
#include <QStringList>

#include "cli/ResultJson.h"

namespace zelvant {

namespace {

QString origin(const FieldOrigin &o, int offset)
{
    if (o.step == 0)
        return QStringLiteral("not found");
    QString text = QStringLiteral("step %1, line %2").arg(o.step).arg(o.line + offset);
    if (o.valueLine != o.line || !o.converted)
        text += QStringLiteral(", value on line %1").arg(o.valueLine + offset);
    if (!o.converted)
        text += QStringLiteral(": \"%1\" does not convert").arg(blankControls(o.value));
    return text;
}

} // namespace

QString pageExplanationText(const PageReading &reading, const PageRules &rules, int firstLine)
{
    const int offset = firstLine - 1;
    QString text =
        reading.hasMarker()
            ? QStringLiteral("marker found: \"%1\" (line %2)\n")
                  .arg(blankControls(rules.marker))
                  .arg(reading.markerLine + offset)
            : QStringLiteral("marker not found: \"%1\"\n").arg(blankControls(rules.marker));
    // The field lines of the plain output come in the order of PageField.
    const QStringList lines =
        phoneResultFieldsText(reading.record).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 0; i < PageFieldCount && i < lines.size(); ++i)
        text += lines[i] + QStringLiteral(" (") + origin(reading.origins[i], offset)
                + QStringLiteral(")\n");
    return text;
}

QJsonObject pageExplanationJson(const PageReading &reading, const PageRules &rules, int firstLine)
{
    const int offset = firstLine - 1;
    QJsonObject marker;
    marker.insert(QStringLiteral("Phrase"), rules.marker);
    marker.insert(QStringLiteral("Line"), reading.hasMarker()
                                              ? QJsonValue(reading.markerLine + offset)
                                              : QJsonValue(QJsonValue::Null));
    QJsonObject fields;
    for (int i = 0; i < PageFieldCount; ++i) {
        const FieldOrigin &o = reading.origins[i];
        QJsonValue value(QJsonValue::Null);
        if (o.step > 0) {
            QJsonObject from;
            from.insert(QStringLiteral("Step"), o.step);
            from.insert(QStringLiteral("Line"), o.line + offset);
            from.insert(QStringLiteral("ValueLine"), o.valueLine + offset);
            from.insert(QStringLiteral("Value"), o.value);
            from.insert(QStringLiteral("Converted"), o.converted);
            value = from;
        }
        fields.insert(pageFieldName(PageField(i)), value);
    }
    QJsonObject explanation;
    explanation.insert(QStringLiteral("Marker"), marker);
    explanation.insert(QStringLiteral("Fields"), fields);
    return explanation;
}

} // namespace zelvant
