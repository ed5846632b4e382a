// The two custom controls of the preferences window: the size range slider (its
// two-part scale, geometry, ticks, dragging rules and store writes) and the file-type
// chips (layout, selection and in-place editing).

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "AppTestSupport.h"
#include "app/TWFileSizeView.h"
#include "app/TWFileTypeView.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t k200MiB = TWFileSizeView::kLowRangeEnd;
constexpr uint64_t k1GiB = TWFileSizeView::kHighRangeEnd;

void send(QWidget* target, QEvent::Type type, const QPointF& point, Qt::MouseButtons buttons) {
    QMouseEvent event(type, point, target->mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Presses at `from`, moves through `to` with the button held, and releases there
// unless `release` is false.
void drag(QWidget* target, const QPointF& from, const std::vector<QPointF>& to, bool release = true) {
    send(target, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (const QPointF& point : to) send(target, QEvent::MouseMove, point, Qt::LeftButton);
    if (release) send(target, QEvent::MouseButtonRelease, to.empty() ? from : to.back(), Qt::NoButton);
}

// A slider 534 points wide: track 500, scale length L = 484.
struct Slider {
    twtest::ScopedDefaults defaults;
    TWFileSizeView view;
    Slider() {
        view.resize(534, 60);
        view.reloadData();
    }
    double trackX(double position) const { return view.trackRect().left() + position; }
    QPointF thumbCentre(TWFileSizeView::Thumb thumb) const { return view.thumbRect(thumb).center(); }
    QPointF atPosition(double position) const {
        return QPointF(trackX(position), thumbCentre(TWFileSizeView::Thumb::minimum).y());
    }
};

// The texts a file-type list shows, and the edits it hands back.
struct FakeTypes : TWFileTypeViewDataSource {
    std::vector<std::string> types;
    std::vector<std::pair<int64_t, std::string>> edits;
    size_t numberOfFilterFileType(const TWFileTypeView&) const override { return types.size(); }
    std::optional<std::string> filterFileTypePathAt(const TWFileTypeView&, int64_t index) const override {
        return index >= 0 && size_t(index) < types.size() ? std::optional(types[size_t(index)]) : std::nullopt;
    }
    void fileTypeChanged(TWFileTypeView&, int64_t index, const std::string& text) override {
        edits.emplace_back(index, text);
        if (text.empty())
            types.erase(types.begin() + index);
        else
            types[size_t(index)] = text;
    }
};

}  // namespace

class PreferenceControlsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpApplication(); }
    void scaleMapsTwoRangesAndNoLimit();
    void geometryAndTicks();
    void trackHeightStaysInItsBounds();
    void eachThumbShowsItsSizeByIt();
    void draggingTheMaximumToTheEndStoresUnlimited();
    void thumbsStopNineApart();
    void minimumStopsAtOneGibibyte();
    void pressOutsideTheThumbsMovesNothing();
    void chipsFlowAndWrap();
    void clicksSelectAndDoubleClickEdits();
    void emptyingAChipRemovesItAndKeepsTheClickedChip();
};

void PreferenceControlsTest::scaleMapsTwoRangesAndNoLimit() {
    const double L = 484;
    QCOMPARE(TWFileSizeView::positionOfSize(0, L), 0.0);
    QVERIFY(qFuzzyCompare(TWFileSizeView::positionOfSize(k200MiB, L), 0.7 * L));
    QVERIFY(qFuzzyCompare(TWFileSizeView::positionOfSize(k200MiB / 2, L), 0.35 * L));
    QVERIFY(qFuzzyCompare(TWFileSizeView::positionOfSize(k1GiB, L), L));
    // Halfway through the high range: 612 MiB at 85 % of L.
    QVERIFY(qFuzzyCompare(TWFileSizeView::positionOfSize(612 * kMiB, L), 0.85 * L));
    QCOMPARE(TWFileSizeView::positionOfSize(k1GiB + 1, L), L + 16);
    QCOMPARE(TWFileSizeView::positionOfSize(TWFileSizeView::kUnlimited, L), L + 16);

    QCOMPARE(TWFileSizeView::sizeAtPosition(0.7 * L, L), k200MiB);
    QCOMPARE(TWFileSizeView::sizeAtPosition(L, L), k1GiB);
    QCOMPARE(TWFileSizeView::sizeAtPosition(L + 0.01, L), TWFileSizeView::kUnlimited);
    QCOMPARE(TWFileSizeView::sizeAtPosition(L + 16, L), TWFileSizeView::kUnlimited);
    QCOMPARE(TWFileSizeView::sizeAtPosition(-5, L), uint64_t(0));
    // Round trips through both ranges land on the same size.
    for (uint64_t size : {uint64_t(0), 3 * kMiB, 150 * kMiB, 300 * kMiB, 999 * kMiB}) {
        uint64_t back = TWFileSizeView::sizeAtPosition(TWFileSizeView::positionOfSize(size, L), L);
        QVERIFY2(back == size, qPrintable(QString::number(size)));
    }

    QCOMPARE(TWFileSizeView::labelForSize(TWFileSizeView::kUnlimited), QStringLiteral("Unlimited"));
    QCOMPARE(TWFileSizeView::labelForSize(k1GiB + 1), QStringLiteral("Unlimited"));
    QCOMPARE(TWFileSizeView::labelForSize(k1GiB), QString::fromStdString(TWFileUtility::stringWithSize(k1GiB)));
    QCOMPARE(TWFileSizeView::labelForSize(k200MiB), QStringLiteral("200 MB"));
}

void PreferenceControlsTest::geometryAndTicks() {
    Slider s;
    // Above the track, a band for the thumbs' sizes.
    QCOMPARE(s.view.trackRect(), QRectF(17, 15 + 17, 500, 4));
    QCOMPARE(s.view.scaleLength(), 484.0);
    // With an empty store: the minimum at the start, the maximum (no limit) at the end.
    QCOMPARE(s.view.thumbRect(TWFileSizeView::Thumb::minimum), QRectF(17 - 9, 15 + 19 - 9.5, 18, 19));
    QCOMPARE(s.view.thumbRect(TWFileSizeView::Thumb::maximum), QRectF(517 - 9, 15 + 19 - 9.5, 18, 19));
    QCOMPARE(s.view.maxSizeText(), QStringLiteral("Unlimited"));
    QCOMPARE(s.view.minSizeText(), QStringLiteral("0 B"));

    auto ticks = s.view.ticks();
    QStringList labels;
    for (const auto& tick : ticks) labels << tick.label;
    QCOMPARE(labels, (QStringList{"0", "50 MB", "100 MB", "150 MB", "200 MB", "612 MB", "", "Unlimited"}));
    const double L = 484;
    QCOMPARE(ticks[0].position, 0.0);
    QVERIFY(qFuzzyCompare(ticks[1].position, 0.7 * L / 4));
    QVERIFY(qFuzzyCompare(ticks[4].position, 0.7 * L));
    QVERIFY(qFuzzyCompare(ticks[5].position, 0.85 * L));
    QCOMPARE(ticks[6].position, L);
    QCOMPARE(ticks[7].position, L + 16);
    // "Unlimited" sits 70 % of its width left of its tick; other labels are centred.
    QCOMPARE(s.view.tickLabelRect(ticks[7], 50).left(), 17 + L + 16 - 35);
    QCOMPARE(s.view.tickLabelRect(ticks[4], 40).center().x(), 17 + 0.7 * L);
}

void PreferenceControlsTest::trackHeightStaysInItsBounds() {
    Slider s;
    s.view.setTrackHeight(1);
    QCOMPARE(s.view.trackHeight(), 4.0);
    s.view.setTrackHeight(100);
    QCOMPARE(s.view.trackHeight(), 20.0);  // a third of 60
    s.view.setTrackHeight(8);
    // Centred on the track, under the band of the sizes.
    QCOMPARE(s.view.thumbRect(TWFileSizeView::Thumb::minimum).center().y(), TWFileSizeView::kValueBand + 21.0);
}

void PreferenceControlsTest::draggingTheMaximumToTheEndStoresUnlimited() {
    Slider s;
    TWPreference::shared().setFilterMaxSize(500 * kMiB);
    s.view.reloadData();
    const double L = s.view.scaleLength();
    QPointF grab = s.thumbCentre(TWFileSizeView::Thumb::maximum);

    // Each movement is written at once, while the button is still down.
    drag(&s.view, grab, {s.atPosition(0.7 * L)}, false);
    QCOMPARE(s.view.draggedThumb(), TWFileSizeView::Thumb::maximum);
    QCOMPARE(TWPreference::shared().filterMaxSize(), k200MiB);
    send(&s.view, QEvent::MouseMove, s.atPosition(L), Qt::LeftButton);
    QCOMPARE(TWPreference::shared().filterMaxSize(), k1GiB);
    QCOMPARE(s.view.maxSizeText(), QStringLiteral("1 GB"));
    // Far past the end: the thumb stops at the track's end, no limit is stored.
    send(&s.view, QEvent::MouseMove, s.atPosition(L + 200), Qt::LeftButton);
    QCOMPARE(s.view.maxPosition(), L + 16);
    QCOMPARE(TWPreference::shared().filterMaxSize(), TWFileSizeView::kUnlimited);
    send(&s.view, QEvent::MouseButtonRelease, s.atPosition(L + 200), Qt::NoButton);
    QCOMPARE(s.view.draggedThumb(), TWFileSizeView::Thumb::none);
    QCOMPARE(s.view.maxSizeText(), QStringLiteral("Unlimited"));
    QCOMPARE(TWPreference::shared().filterMaxSize(), TWFileSizeView::kUnlimited);
}

void PreferenceControlsTest::thumbsStopNineApart() {
    Slider s;
    TWPreference::shared().setFilterMaxSize(k200MiB);
    s.view.reloadData();
    const double L = s.view.scaleLength();
    const double maxPosition = 0.7 * L;

    // The minimum runs into the maximum and stops 9 points short of it.
    drag(&s.view, s.thumbCentre(TWFileSizeView::Thumb::minimum), {s.atPosition(200), s.atPosition(L)});
    QVERIFY(qAbs(s.view.minPosition() - (maxPosition - 9)) < 1e-6);
    QCOMPARE(TWPreference::shared().filterMinSize(), TWFileSizeView::sizeAtPosition(s.view.minPosition(), L));
    QVERIFY(TWPreference::shared().filterMinSize() < TWPreference::shared().filterMaxSize());

    // The minimum may not pass 0 either.
    drag(&s.view, s.thumbCentre(TWFileSizeView::Thumb::minimum), {s.atPosition(-40)});
    QCOMPARE(s.view.minPosition(), 0.0);
    QCOMPARE(TWPreference::shared().filterMinSize(), uint64_t(0));

    // Put the minimum at 100 MiB, then drag the maximum down past it.
    TWPreference::shared().setFilterMinSize(100 * kMiB);
    s.view.reloadData();
    const double minPosition = 0.35 * L;
    drag(&s.view, s.thumbCentre(TWFileSizeView::Thumb::maximum), {s.atPosition(10)});
    QVERIFY(qAbs(s.view.maxPosition() - (minPosition + 9)) < 1e-6);
    QCOMPARE(TWPreference::shared().filterMaxSize(), TWFileSizeView::sizeAtPosition(s.view.maxPosition(), L));
    QCOMPARE(TWPreference::shared().filterMinSize(), 100 * kMiB);
}

void PreferenceControlsTest::minimumStopsAtOneGibibyte() {
    // With no upper limit the maximum sits at the very end; the minimum still stops at
    // L (1 GiB): a minimum of "no limit" could never sit below the maximum.
    Slider s;
    const double L = s.view.scaleLength();
    drag(&s.view, s.thumbCentre(TWFileSizeView::Thumb::minimum), {s.atPosition(L + 100)});
    QCOMPARE(s.view.minPosition(), L);
    QCOMPARE(TWPreference::shared().filterMinSize(), k1GiB);
    QCOMPARE(TWPreference::shared().filterMaxSize(), TWFileSizeView::kUnlimited);
    QCOMPARE(s.view.minSizeText(), QStringLiteral("1 GB"));
}

void PreferenceControlsTest::pressOutsideTheThumbsMovesNothing() {
    Slider s;
    TWPreference::shared().setFilterMaxSize(300 * kMiB);
    s.view.reloadData();
    drag(&s.view, s.atPosition(100), {s.atPosition(150), s.atPosition(400)});
    QCOMPARE(s.view.draggedThumb(), TWFileSizeView::Thumb::none);
    QCOMPARE(TWPreference::shared().filterMinSize(), uint64_t(0));
    QCOMPARE(TWPreference::shared().filterMaxSize(), 300 * kMiB);
}

void PreferenceControlsTest::chipsFlowAndWrap() {
    FakeTypes types;
    types.types = {"jpg", "crdownload", "x", "DS_Store", "part"};
    TWFileTypeView view;
    view.resize(200, 100);
    view.setDataSource(&types);
    const auto& cells = view.chipRects();
    QCOMPARE(cells.size(), size_t(5));
    QFont font = view.font();
    double x = 0;
    double y = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        QCOMPARE(cells[i].height(), 27.0);
        QVERIFY(cells[i].width() > 32);
        // Every chip starts where the last one ended, or at the left of the next row.
        if (x > 0 && x + cells[i].width() > 200) {
            x = 0;
            y += 27;
        }
        QCOMPARE(cells[i].topLeft(), QPointF(x, y));
        x += cells[i].width();
    }
    QVERIFY(cells.back().top() >= 27);  // five chips do not fit one row of 200 points
    QCOMPARE(view.heightForWidth(200), int(cells.back().bottom()));

    // A chip being edited is 92 points wide, whatever its text.
    view.startEditing(2);
    QCOMPARE(view.chipRects()[2].width(), 92.0);
    QVERIFY(view.editor());
    QCOMPARE(view.editor()->text(), QStringLiteral("x"));
    QCOMPARE(view.editor()->geometry().width(), 92 - 24);
}

void PreferenceControlsTest::clicksSelectAndDoubleClickEdits() {
    FakeTypes types;
    types.types = {"log", "tmp", "bak"};
    TWFileTypeView view;
    view.resize(400, 60);
    view.setDataSource(&types);
    auto centre = [&](int i) { return view.chipRects()[size_t(i)].center().toPoint(); };

    QTest::mouseClick(&view, Qt::LeftButton, {}, centre(1));
    QCOMPARE(view.selectedIndex(), 1);
    QVERIFY(!view.isEditing());

    QTest::mouseDClick(&view, Qt::LeftButton, {}, centre(0));
    QCOMPARE(view.selectedIndex(), 0);
    QCOMPARE(view.editingIndex(), 0);
    view.editor()->setText(QStringLiteral("old"));

    // A single click on another chip ends the edit (stored) and selects that chip.
    QTest::mouseClick(&view, Qt::LeftButton, {}, centre(2));
    QCOMPARE(types.edits, (std::vector<std::pair<int64_t, std::string>>{{0, "old"}}));
    QCOMPARE(view.textAt(0), QStringLiteral("old"));
    QCOMPARE(view.selectedIndex(), 2);
    QVERIFY(!view.isEditing());

    // Confirming the field stores its text too.
    QTest::mouseDClick(&view, Qt::LeftButton, {}, centre(1));
    view.editor()->setText(QStringLiteral("temp"));
    QTest::keyClick(view.editor(), Qt::Key_Return);
    QVERIFY(!view.isEditing());
    QCOMPARE(types.types[1], std::string("temp"));

    // A click outside every chip clears the selection.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(390, 50));
    QCOMPARE(view.selectedIndex(), -1);
}

void PreferenceControlsTest::emptyingAChipRemovesItAndKeepsTheClickedChip() {
    FakeTypes types;
    types.types = {"a", "bb", "ccc"};
    TWFileTypeView view;
    view.resize(400, 60);
    view.setDataSource(&types);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, view.chipRects()[0].center().toPoint());
    view.editor()->clear();
    QPoint onThird = view.chipRects()[2].center().toPoint();  // where it shows while the first is edited
    // The user clicks "ccc"; emptying "a" removes it, and "ccc" is still the one selected.
    QTest::mouseClick(&view, Qt::LeftButton, {}, onThird);
    QCOMPARE(view.count(), size_t(2));
    QCOMPARE(view.selectedIndex(), 1);
    QCOMPARE(view.textAt(1), QStringLiteral("ccc"));
}

void PreferenceControlsTest::eachThumbShowsItsSizeByIt() {
    Slider s;
    using Thumb = TWFileSizeView::Thumb;
    // Apart: each size is centred over its thumb (kept inside the view at the ends).
    drag(&s.view, s.thumbCentre(Thumb::minimum), {s.atPosition(100)});
    drag(&s.view, s.thumbCentre(Thumb::maximum), {s.atPosition(400)});
    QCOMPARE(s.view.valueText(Thumb::minimum), s.view.minSizeText());
    QCOMPARE(s.view.valueText(Thumb::maximum), s.view.maxSizeText());
    for (Thumb thumb : {Thumb::minimum, Thumb::maximum}) {
        const QRectF value = s.view.valueRect(thumb);
        QVERIFY(qAbs(value.center().x() - s.thumbCentre(thumb).x()) < 1);
        QVERIFY(value.bottom() <= s.view.thumbRect(thumb).top() + 1);
        QVERIFY(value.top() >= 0);
    }
    // While dragging, the size by the thumb follows it.
    drag(&s.view, s.thumbCentre(Thumb::minimum), {s.atPosition(150)}, false);
    QVERIFY(qAbs(s.view.valueRect(Thumb::minimum).center().x() - s.trackX(150)) < 1);
    QCOMPARE(s.view.valueText(Thumb::minimum), s.view.minSizeText());
    send(&s.view, QEvent::MouseButtonRelease, s.atPosition(150), Qt::NoButton);
    // Close together: the two sizes push apart and never overlap; both stay inside.
    drag(&s.view, s.thumbCentre(Thumb::maximum), {s.atPosition(0)});
    const QRectF low = s.view.valueRect(Thumb::minimum);
    const QRectF high = s.view.valueRect(Thumb::maximum);
    QVERIFY(low.right() < high.left());
    QVERIFY(low.left() >= 0 && high.right() <= s.view.width());
    // At the far end the maximum's "Unlimited" stays inside the view.
    drag(&s.view, s.thumbCentre(Thumb::maximum), {s.atPosition(10000)});
    QCOMPARE(s.view.valueText(Thumb::maximum), QStringLiteral("Unlimited"));
    QVERIFY(s.view.valueRect(Thumb::maximum).right() <= s.view.width());
}

QTEST_MAIN(PreferenceControlsTest)
#include "PreferenceControls_test.moc"
