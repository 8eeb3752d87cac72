#pragma once
// A one-line label for values of any length (a login address with a long
// query): it takes the width its layout gives it, shows the value elided in
// the middle when it does not fit, and the whole value in its tooltip.

#include <QLabel>

namespace zelvant {

class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();

    QString m_fullText;
};

} // namespace zelvant
