#include "gui/AboutBox.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/AppPaths.h"
#include "gui/TextFit.h"

namespace zelvant {

namespace {
QLabel *maroonLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
    label->setPalette(palette);
    return label;
}
} // namespace

AboutBox::AboutBox(std::function<void()> openHomePage, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
    , m_openHomePage(std::move(openHomePage))
{
    setWindowTitle(tr("About"));

    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);

    auto *programIcon = new QLabel(panel);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    programIcon->setPixmap(icon.pixmap(33, 33));
    programIcon->setFixedSize(33, 33);
    programIcon->setScaledContents(true);

    auto *grid = new QGridLayout();
    grid->addWidget(new QLabel(tr("Программа"), panel), 0, 0);
    grid->addWidget(maroonLabel(ProgramName, panel), 0, 1);
    grid->addWidget(new QLabel(tr("Версия"), panel), 1, 0);
    m_lblVersion = maroonLabel(QString(), panel);
    m_lblVersion->setText(ProgramVersion);
    grid->addWidget(m_lblVersion, 1, 1);
    grid->setColumnStretch(1, 1);

    auto *top = new QHBoxLayout();
    top->addWidget(programIcon, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(grid, 1);

    auto *comments = new QLabel(tr("Помощь, обновления, связь с авторами:"), panel);
    m_lblHomePage = new QLabel(HomePageUrl, panel);
    QFont linkFont = m_lblHomePage->font();
    linkFont.setUnderline(true);
    m_lblHomePage->setFont(linkFont);
    m_lblHomePage->setCursor(Qt::PointingHandCursor);
    m_lblHomePage->setAttribute(Qt::WA_Hover);
    m_lblHomePage->setMouseTracking(true);
    m_lblHomePage->installEventFilter(this);
    // Reached with Tab and opened with Enter or Space as well.
    m_lblHomePage->setFocusPolicy(Qt::StrongFocus);
    setLinkColor(QColor(0, 0, 0xFF));

    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->addLayout(top);
    panelLayout->addStretch(1);
    panelLayout->addWidget(comments);
    panelLayout->addWidget(m_lblHomePage);

    auto *ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    ok->setFocus(); // Enter closes the box, as before the link took the focus
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);

    // The designed size, unless the texts need more in the font in use.
    fixWindowSize(this, QSize(264, 200));
}

void AboutBox::setLinkColor(const QColor &color)
{
    QPalette palette = m_lblHomePage->palette();
    palette.setColor(QPalette::WindowText, color);
    m_lblHomePage->setPalette(palette);
}

bool AboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblHomePage) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
        case QEvent::HoverMove:
            setLinkColor(QColor(0xFF, 0, 0));
            break;
        case QEvent::Leave:
            setLinkColor(QColor(0, 0, 0xFF));
            break;
        case QEvent::KeyPress:
            if (const int key = static_cast<QKeyEvent *>(event)->key();
                (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
                && m_openHomePage) {
                m_openHomePage();
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton
                && m_lblHomePage->rect().contains(
                    static_cast<QMouseEvent *>(event)->position().toPoint())
                && m_openHomePage) {
                m_openHomePage();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zelvant
