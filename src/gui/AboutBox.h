#pragma once
// The about box: program name, version, and a link to the home page.

#include <QDialog>

#include <functional>

class QLabel;

namespace zelvant {

class AboutBox : public QDialog
{
    Q_OBJECT
public:
    // openHomePage runs when the link is clicked.
    explicit AboutBox(std::function<void()> openHomePage, QWidget *parent = nullptr);

    QLabel *homePageLabel() const { return m_lblHomePage; }
    QLabel *versionLabel() const { return m_lblVersion; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setLinkColor(const QColor &color);

    std::function<void()> m_openHomePage;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblHomePage = nullptr;
};

} // namespace zelvant
