#pragma once
// A tray that records what the program shows in it.

#include <QImage>
#include <QList>
#include <QStringList>

#include "core/tray/TrayService.h"

namespace zelvant::test {

class RecordingTray : public TrayService
{
public:
    bool trayAdd(const QImage &icon, const QString &tip) override
    {
        icons << icon;
        tips << tip;
        return true;
    }
    bool traySetTip(const QString &tip) override
    {
        tips << tip;
        return true;
    }
    bool traySetIcon(const QImage &icon) override
    {
        icons << icon;
        return true;
    }
    bool trayRemove() override
    {
        ++removed;
        return true;
    }
    bool trayShowMessage(const QString &title, const QString &text) override
    {
        messages << title + QLatin1Char('\n') + text;
        return true;
    }

    QStringList tips;
    QStringList messages; // "title\ntext" of each notification
    QList<QImage> icons;
    int removed = 0;
};

} // namespace zelvant::test
