#pragma once
// Where the controls of a phone row of the setup window go. The design's
// sizes (rows 21 pixels high; columns 25, 17, 17, 90, 60, 100 and 35 pixels
// wide with gaps of 3, 5, 7, 0, 0 and 8 pixels) were measured in another
// platform's fonts, so they are minimums here: a column is as wide as its
// title and its usual content need in the font in use, a row as high as a
// field needs.

class QWidget;

namespace zelvant {

struct PhoneRowGeometry
{
    int height = 21;
    int firstTop = 5;
    int panelLeft = 0, panelWidth = 25;
    int monitorLeft = 28, monitorWidth = 17;
    int trayLeft = 50, trayWidth = 17;
    int numberLeft = 74, numberWidth = 90;
    int passwordLeft = 164, passwordWidth = 60;
    int aliasLeft = 224, aliasWidth = 100;
    int regionLeft = 332, regionWidth = 35;

    // Row a counts from 1.
    int topOf(int a) const { return height * (a - 1) + firstTop; }
    int right() const { return regionLeft + regionWidth; }

    // The design widened for the font and style of window.
    static PhoneRowGeometry fittedTo(const QWidget *window);
};

} // namespace zelvant
