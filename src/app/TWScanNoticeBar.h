#pragma once
// The band above the results that says what the scan that found them left out: its
// notices and how many paths it could not read, the same lines as the scan view's
// notice. Its "Details" asks for the list of those paths and their reasons. Hidden
// while there is nothing to say. Main thread only.

#include <QStringList>

#include "app/TWResultBand.h"

class TWScanNoticeBar : public TWResultBand {
    Q_OBJECT
public:
    explicit TWScanNoticeBar(QWidget* parent);

    // Shows `lines`, one a line; hides the band when there are none.
    void showReport(const QStringList& lines) { showText(lines.join(QLatin1Char('\n'))); }

    QPushButton* detailsButton() const { return button(); }

signals:
    void detailsClicked();
};
