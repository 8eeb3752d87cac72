#pragma once
// The region entry dialog: long name, login address and short name of a
// region, empty for a new one or filled for an edit.

#include <QDialog>

class QLineEdit;

namespace zelvant {

class RegionEntryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RegionEntryDialog(QWidget *parent = nullptr);

    void setValues(const QString &name, const QString &shortName, const QString &loginUrl);
    // As entered, untrimmed; the caller normalizes the address.
    QString name() const;
    QString shortName() const;
    QString loginUrl() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void bnOkClick();

    QLineEdit *m_edName;
    QLineEdit *m_edSample;
    QLineEdit *m_edLoginUrl;
    QLineEdit *m_edShortName;
};

} // namespace zelvant
