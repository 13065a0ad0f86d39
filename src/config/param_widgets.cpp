#include "config/param_widgets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPalette>
#include <QRadioButton>

namespace kx9 {

QColor ColorFromCode(int code, const QPalette &palette)
{
    const uint32_t c = uint32_t(code);
    if ((c & 0xFF000000u) == 0x80000000u) {
        QPalette::ColorRole role = QPalette::Button;
        switch (c & 0xFFu) {
        case 1:                          // desktop
        case 4:                          // menu
        case 30: role = QPalette::Window; break;            // menu bar
        case 5: role = QPalette::Base; break;               // window
        case 6: role = QPalette::Shadow; break;             // window frame
        case 7:                          // menu text
        case 19: role = QPalette::WindowText; break;        // inactive caption text
        case 8: role = QPalette::Text; break;               // window text
        case 2:                          // active caption
        case 13:                         // highlight
        case 27:                         // active caption gradient
        case 29: role = QPalette::Highlight; break;         // menu highlight
        case 9:                          // caption text
        case 14: role = QPalette::HighlightedText; break;   // highlight text
        case 3:                          // inactive caption
        case 28: role = QPalette::Mid; break;               // inactive caption gradient
        case 12:                         // application workspace
        case 16: role = QPalette::Dark; break;              // button shadow
        case 17: role = QPalette::PlaceholderText; break;   // grey text
        case 18: role = QPalette::ButtonText; break;
        case 20: role = QPalette::Light; break;             // button highlight
        case 21: role = QPalette::Shadow; break;            // 3D dark shadow
        case 22: role = QPalette::Midlight; break;          // 3D light
        case 23: role = QPalette::ToolTipText; break;       // info text
        case 24: role = QPalette::ToolTipBase; break;       // info background
        case 26: role = QPalette::Link; break;              // hot-tracked item
        default: role = QPalette::Button; break;            // button face, scroll bar, borders
        }
        return palette.color(QPalette::Active, role);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void SetControlColor(QWidget *control, const QColor &color)
{
    if (!control)
        return;
    QPalette p = control->palette();
    // The role the control paints its face with: a number box or list its
    // base, a group its window. Both states, so a disabled control shows it too.
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, control->backgroundRole(), color);
        if (control->backgroundRole() != QPalette::Button)
            p.setColor(g, QPalette::Button, color);
    }
    control->setPalette(p);
    control->setAutoFillBackground(true);
}

} // namespace kx9
