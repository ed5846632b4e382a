#include "app/TWScanNoticeBar.h"

#include <QPushButton>

TWScanNoticeBar::TWScanNoticeBar(QWidget* parent)
    : TWResultBand(parent, QStringLiteral("scanNoticeBar"),
                   QStringLiteral("#scanNoticeBar { background: #EAF1FB; border-bottom: 1px solid #C9D8EE; }"),
                   tr("Details"), tr("List the paths the scan left out and why")) {
    connect(button(), &QPushButton::clicked, this, &TWScanNoticeBar::detailsClicked);
}
