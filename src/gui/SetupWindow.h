#pragma once
// The setup window: options, phone list, regions. It edits copies of the
// options and phone slots and commits them to the context on save.

#include <QDialog>
#include <memory>

namespace zelvant {

class AppContext;

class SetupWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SetupWindow(AppContext &context, QWidget *parent = nullptr);
    ~SetupWindow() override;

    // Loads context.options and the phone file into the controls, clears
    // cbRequestNow, shows the window modally. Accepted: the phone list was
    // written and context.options / context.phones now hold the edits (the
    // caller then saves the settings). Rejected: nothing was applied.
    int exec() override;
    // cbRequestNow as the window was closed, saved or not.
    bool requestNow() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zelvant
