#pragma once

#include <QProxyStyle>

// The window's check boxes and radio buttons were laid out for a 3-pixel gap
// between the box and its caption; Qt's styles leave twice that, which cuts
// the last character off the tighter Chinese captions. One instance serves
// every window and lives as long as the application.
class CompactIndicatorStyle : public QProxyStyle {
  public:
    static CompactIndicatorStyle* Instance();
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;

  private:
    CompactIndicatorStyle() = default;
};
