#pragma once
// The tray pictures as an icon theme on disk, for StatusNotifierItem hosts
// that take a named icon (IconName + IconThemePath) at the exact size they
// draw, where they would smooth-scale the largest IconPixmap instead.
//
//   <folder>/hicolor/<N>x<N>/apps/<name>.png   one per size of the set
//   <folder>/hicolor/index.theme               the sizes, for GTK hosts
//
// The folder is the user's runtime folder (private, in memory, gone at the
// end of the session); without one a private folder under the temporary
// folder. Every picture gets a new name, since hosts keep a picture by name,
// and the previous picture's files go.

#include <QImage>
#include <QList>
#include <QString>

namespace zelvant {

class TrayIconFolder
{
public:
    // folder empty: the user's runtime folder, "zelvant-tray" in it.
    explicit TrayIconFolder(const QString &folder = QString());
    ~TrayIconFolder();
    TrayIconFolder(const TrayIconFolder &) = delete;
    TrayIconFolder &operator=(const TrayIconFolder &) = delete;

    // Writes the square pictures (one per size) atomically and returns their
    // icon name; empty when they could not be written (hosts then take the
    // pixmaps).
    QString store(const QList<QImage> &icons);
    QString themePath() const { return m_folder; }
    QString iconName() const { return m_name; }

private:
    bool writeThemeIndex(const QList<int> &sizes) const;
    void removePicture(const QString &name, const QList<int> &sizes);

    QString m_folder;
    QString m_name;
    QList<int> m_sizes;
    quint64 m_count = 0;
};

} // namespace zelvant
