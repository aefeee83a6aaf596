// The treatment program screen's parts around its grids, driven with real
// clicks and keys: the condition panels read (their contrast in query mode,
// their meridian labels against the encoding the matching reads), the
// program buttons, the group editor's hand-back and the condition's picture.
#include "analysis/contrast.h"
#include "measurement/catalogue.h"
#include "support/keys.h"
#include "treatment/matching.h"
#include "treatment/programtoolbar.h"
#include "treatment/treatmentfixture.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/tzuprof.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTableWidget>
#include <utility>

using namespace lumo;
using namespace lumo::test;

namespace {

// The colour in `area` of `img` that stands out most from the pixel at
// `background`, as a contrast ratio.
double strongestContrast(const QImage& img, const QRect& area, QPoint background)
{
    const QColor bg = img.pixelColor(background);
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrastRatio(img.pixelColor(x, y), bg));
    return best;
}

} // namespace

class TestTreatmentParts : public QObject
{
    Q_OBJECT
private slots:
    // Query mode shows the current condition in panels that cannot be
    // changed: a ticked box's mark and every caption stay readable.
    void queryModePanelsReadable_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("虛弱, ticked") << 1 << 0 << true;
        QTest::newRow("亢奮, not ticked") << 1 << 1 << false;
        QTest::newRow("肺經 虛證, not ticked") << 6 << 0 << false;
    }
    void queryModePanelsReadable()
    {
        QFETCH(int, position);
        QFETCH(int, option);
        QFETCH(bool, ticked);
        TreatmentPractice f;
        f.addProgram(QStringLiteral("A"), u("安神"), {u("虛")}); // code 1 at position 1: 虛弱
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QCheckBox* box = s.panels()->optionBox(position, option);
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->isChecked(), ticked);
        const QImage img = box->grab().toImage();
        QStyleOptionButton o;
        o.initFrom(box);
        const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &o, box);
        const QRect caption = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &o, box);
        QVERIFY(strongestContrast(img, caption, caption.topRight()) >= ReadableContrast);
        if (ticked) {
            // Inside the box's frame: the mark against the box's own background.
            const QRect inside = mark.adjusted(2, 2, -2, -2);
            QVERIFY(strongestContrast(img, inside, inside.topLeft()) >= ReadableContrast);
        }
        QVERIFY(strongestContrast(s.conditionNameField()->grab().toImage(),
                                  s.conditionNameField()->rect().adjusted(4, 4, -4, -4),
                                  QPoint(4, 4)) >= ReadableContrast);
    }

    // The program buttons launch the program's own rows, trimmed, through the launcher.
    void programButtonsLaunch()
    {
        TreatmentPractice f;
        ProgramRow p = f.addProgram(QStringLiteral("P1"), u("補氣"), {}, QStringLiteral("0010"));
        p.ProPrg[2] = QStringLiteral("  /usr/bin/mpv ");
        p.ProParm[2] = QStringLiteral(" \"/media/光 療.mp4\" --loop ");
        p.ProScrp[2] = u("播放影片");
        QVERIFY(f.tables().updateProgram(p).ok);
        RecordingLauncher launcher;
        TZuProf s(f.state);
        s.launcher = launcher.platform();
        QVERIFY(showActive(s));
        QVERIFY(!s.programButton(1)->isEnabled());
        QCOMPARE(s.programButton(3)->toolTip(), u("播放影片"));
        QTest::mouseClick(s.programButton(3), Qt::LeftButton);
        QCOMPARE(launcher.calls, QStringList{u("/usr/bin/mpv|/media/光 療.mp4|--loop")});
    }

    // The group editor's hand-back: after an add the screen moves to the new
    // program; after an edit it stays on the program edited.
    void groupEditorHandBack()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("A"), u("一"), {});
        f.addProgram(QStringLiteral("M"), u("二"), {u("c")});
        TZuProf s(f.state);
        QVERIFY(showActive(s));
        QStringList opened;
        s.groupEditor = [&](bool add, QString& remembered) {
            opened << (add ? QStringLiteral("add ") : QStringLiteral("edit ")) + remembered;
            if (add) {
                f.addProgram(QStringLiteral("C"), u("三"), {});
                remembered = QStringLiteral("c"); // found again without regard to case
            }
        };
        clickCell(s.programGrid(), 1, 1);
        act(s, "修改療程")->trigger();
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("M"));
        act(s, "新增療程")->trigger();
        QCOMPARE(opened, (QStringList{QStringLiteral("edit M"), QStringLiteral("add M")}));
        QCOMPARE(s.currentProgram()->ProNo, QStringLiteral("C"));
        QCOMPARE(s.currentProgramRow(), 1);
        QCOMPARE(s.countLine()->text(), u("療程總計:     3  -  [ 0 ]"));
        QCOMPARE(enabledButtons(s), QStringLiteral("111000001"));
    }

    // The picture chosen in the picture dialog is stored with the condition's
    // confirmation, as it was read; a file that is no picture is refused.
    void pictureAndScale()
    {
        TreatmentPractice f;
        f.addProgram(QStringLiteral("P1"), u("補氣"), {u("一")});
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        const QString png = f.dir.filePath(QStringLiteral("pic.png"));
        QVERIFY(img.save(png));
        const QString text = f.dir.filePath(QStringLiteral("not.png"));
        QFile bad(text);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("no picture");
        bad.close();
        TZuProf s(f.state);
        QString answer = text;
        s.chooser = [&](QWidget*, const FileRequest& r) {
            return r.kind == FileRequest::Picture ? answer : QString();
        };
        QVERIFY(showActive(s));
        QVERIFY(!s.pictureChangeButton()->isEnabled());
        clickCell(s.conditionGrid(), 0, 2);
        act(s, "修改條件")->trigger();
        QTest::mouseClick(s.pictureChangeButton(), Qt::LeftButton);
        QCOMPARE(f.messages.shown().back().kind, int(NoteAttention));
        QVERIFY(f.messages.shown().back().text.contains(text));
        QVERIFY(s.picture()->isEmpty());
        answer = png;
        QTest::mouseClick(s.pictureChangeButton(), Qt::LeftButton);
        QVERIFY(!s.picture()->isEmpty());
        QVERIFY(s.picture()->image()->hasScaledContents()); // stretched while 1 : 1 is off
        clickBox(s.scaleBox());
        QVERIFY(!s.picture()->image()->hasScaledContents());
        act(s, "確認異動")->trigger();
        QFile file(png);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto stored = f.tables().program(s.currentProgram()->MKEY);
        QCOMPARE(stored->ProPict, file.readAll());
        QVERIFY(stored->ProScal);
        // X clears it; 確認異動 stores the empty picture.
        act(s, "修改條件")->trigger();
        QTest::mouseClick(s.pictureClearButton(), Qt::LeftButton);
        act(s, "確認異動")->trigger();
        QVERIFY(f.tables().program(s.currentProgram()->MKEY)->ProPict.isEmpty());
    }

    // Every meridian label of the panels against the encoding the matching
    // reads: ticking the box a practitioner reads as a meridian (and its 虛證)
    // makes a condition that a measurement with exactly that meridian low on
    // both sides meets, and one with any other meridian low does not. The
    // names come from the catalogue, not from the panels, so two labels
    // swapped in the panels show here.
    void meridianLabelsMatchTheEncoding_data()
    {
        QTest::addColumn<int>("meridian");
        for (int m = 0; m < MeridianCount; ++m)
            QTest::newRow(qPrintable(shortName(Meridian(m)).remove(QLatin1Char(' ')))) << m;
    }
    void meridianLabelsMatchTheEncoding()
    {
        QFETCH(int, meridian);
        const QString label = shortName(Meridian(meridian)).remove(QLatin1Char(' '));
        ConditionPanelsView view;
        view.setEditable(true);
        view.show();
        QCheckBox* category = nullptr;
        QCheckBox* deficient = nullptr;
        const auto boxes =
            view.findChild<QWidget*>(QStringLiteral("MeridianPanel"))->findChildren<QCheckBox*>();
        for (QCheckBox* b : boxes) {
            if (b->text() == label) QVERIFY2(!std::exchange(category, b), "two boxes read the same meridian");
            if (b->accessibleName() == label + u("虛證")) deficient = b;
        }
        QVERIFY2(category && deficient, qPrintable(label));
        clickBox(category);
        clickBox(deficient);
        ConditionRow condition;
        view.state().writeTo(condition);
        for (int low = 0; low < MeridianCount; ++low) {
            EnergyAnalysis a;
            a.PointMark[size_t(leftPointOf(Meridian(low)) - 1)] = -1;
            a.PointMark[size_t(rightPointOf(Meridian(low)) - 1)] = -1;
            QVERIFY2(ConditionMatches(condition, a, 40, true) == (low == meridian),
                     qPrintable(QStringLiteral("%1 low, ProCond %2").arg(low).arg(condition.ProCond)));
        }
    }
};

QTEST_MAIN(TestTreatmentParts)
#include "test_treatment_parts.moc"
