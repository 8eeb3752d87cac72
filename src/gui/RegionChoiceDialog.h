#pragma once
// The region choice dialog of a phone row: pick a region, and add, edit or
// remove the regions of the region list.

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QToolButton;

namespace zelvant {

class RegionList;
class ElidedLabel;
class RegionEntryDialog;
struct Region;

class RegionChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RegionChoiceDialog(RegionList &regions, QWidget *parent = nullptr);

    // Lists the regions and selects the one a phone with this short name
    // would be offered.
    void fillRegionList(const QString &shortName);
    // The short name shown for the selected region ("Выбрать" hands it on).
    QString chosenShortName() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showSelection();
    void bnAddClick();
    void bnEditClick();
    void bnRemoveClick();
    void enterRegion(RegionEntryDialog &dialog,
                     const std::function<bool(const Region &, QString *)> &store);
    void reportError(const QString &error);

    RegionList &m_regions;
    QComboBox *m_cbLumoLongName;
    QToolButton *m_bnEdit;
    QToolButton *m_bnAdd;
    QToolButton *m_bnRemove;
    QLabel *m_lblShortName;
    ElidedLabel *m_lblLumoUrl;
};

} // namespace zelvant
