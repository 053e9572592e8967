#include "CompactIndicatorStyle.h"

#include <QApplication>

CompactIndicatorStyle* CompactIndicatorStyle::Instance() {
    static CompactIndicatorStyle* style = [] {
        auto* made = new CompactIndicatorStyle();
        made->setParent(qApp); // gone with the application, after every window
        return made;
    }();
    return style;
}

int CompactIndicatorStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                       const QWidget* widget) const {
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) {
        return 3;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}
