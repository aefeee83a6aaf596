// Screens on a 1366 x 768 desktop: each opens at its size with room for all
// it holds, can be enlarged, and its chart or picture grows with it; lists
// show all their columns; nothing moves when a page or a list appears.
#include "analysis/contrast.h"
#include "analysis/ui/tzuany.h"
#include "backup/ui/backupdialog.h"
#include "app/fonts.h"
#include "comparison/comparisonfixture.h"
#include "comparison/comparisonrecords.h"
#include "comparison/ui/tzucmp.h"
#include "comparison/ui/tzumut.h"
#include "comparison/ui/tzumuti1.h"
#include "comparison/ui/tzutrend.h"
#include "measurement/practicefixture.h"
#include "measurement/ui/tsyspt.h"
#include "measurement/ui/tzudec.h"
#include "measurement/ui/tzuloc.h"
#include "records/ui/tzufile.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzusave.h"
#include "widgets/columnfit.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

using Factory = std::function<std::unique_ptr<QWidget>(Practice&)>;

// A practice with one subject of three visits, the last one in the measuring screen.
struct Stocked : Practice
{
    SubjectRow subject;
    Stocked()
    {
        subject = storeSubject(state, QStringLiteral("L001"), u("王小明"));
        const QDateTime t(QDate(2026, 3, 2), QTime(9, 30));
        for (int i = 0; i < 3; ++i)
            storeMeasurement(state, subject.CUSTNO, t.addSecs(600 * i), varied(30 + 3 * i));
        state.CurrentSubject = subject;
        for (int p = 1; p <= 24; ++p)
            state.energy.setReading(p, 30 + (p * 7) % 20);
        state.energy.TakenAt = dayNumber(t);
        for (const MeasurementRow& m : MeasurementStore(*state.MainDatabase).listForSubject(subject.CUSTNO))
            state.PickedRecords << pickedRecordOf(subject, m, state.compensation);
    }
};

template <typename T, typename... A> Factory make(A... a)
{
    return [=](Practice& p) -> std::unique_ptr<QWidget> { return std::make_unique<T>(p.state, a...); };
}

QWidget* child(QWidget* w, const char* name)
{
    return w->findChild<QWidget*>(QLatin1String(name));
}

} // namespace

class TestScreenLayouts : public QObject
{
    Q_OBJECT
private slots:
    // The opening size, the room the layout needs, and what an enlarged window enlarges.
    void opensAndScales_data()
    {
        QTest::addColumn<Factory>("factory");
        QTest::addColumn<QSize>("opening"); // invalid: none specified, it must fit the screen
        QTest::addColumn<QString>("grows"); // the chart or picture that takes the room
        const Factory measuring = [](Practice& p) -> std::unique_ptr<QWidget> {
            return std::make_unique<TZudec>(p.state, p.sim.instrument, MeasurementLinks{});
        };
        const Factory trend = [](Practice& p) -> std::unique_ptr<QWidget> {
            return std::make_unique<TZuTrend>(p.state, p.state.CurrentSubject);
        };
        // Opened on the chart page, so the chart is laid out as it grows.
        const Factory analysis = [](Practice& p) -> std::unique_ptr<QWidget> {
            p.state.AnalysisPage = 1;
            return std::make_unique<TZuany>(p.state);
        };
        const Factory locating = [](Practice& p) -> std::unique_ptr<QWidget> {
            return std::make_unique<TZuLoc>(p.state, p.sim.instrument);
        };
        const Factory calibrating = [](Practice& p) -> std::unique_ptr<QWidget> {
            return std::make_unique<TSyspt>(p.state, p.sim.instrument);
        };
        QTest::newRow("經絡量測") << measuring << QSize(1000, 680) << "PointPicture";
        QTest::newRow("資料分析") << analysis << QSize(1000, 720) << "ChartArea";
        QTest::newRow("能量比對") << make<TZuCmp>() << QSize() << "ChartBox";
        QTest::newRow("多重能量比對") << make<TZumut>() << QSize() << "ChartBox";
        QTest::newRow("歷次能量趨勢") << trend << QSize() << "TrendChart";
        QTest::newRow("經絡能量資料讀取")
            << make<TZuread>(TZuread::LoadMode::MeasurementScreen) << QSize() << "";
        QTest::newRow("經絡能量資料儲存") << make<TZusave>() << QSize() << "";
        QTest::newRow("比對分析資料異動") << make<TZuMuti1>() << QSize() << "";
        QTest::newRow("檔案匯入/匯出作業") << make<TZuFile>() << QSize() << "";
        QTest::newRow("資料備份") << make<BackupDialog>() << QSize() << "";
        QTest::newRow("穴道定位") << locating << QSize(860, 470) << "";
        QTest::newRow("數位自動校準系統") << calibrating << QSize(940, 560) << "";
    }
    void opensAndScales()
    {
        QFETCH(Factory, factory);
        QFETCH(QSize, opening);
        QFETCH(QString, grows);
        Stocked practice;
        std::unique_ptr<QWidget> screen = factory(practice);
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        if (opening.isValid()) QCOMPARE(screen->size(), opening);
        // Frame and title included, on the 1366 x 768 desktop.
        QVERIFY2(screen->width() <= 1366 - 16 && screen->height() <= 768 - 40,
                 qPrintable(QStringLiteral("%1x%2").arg(screen->width()).arg(screen->height())));
        // Nothing squeezed below what it needs.
        const QSize need = screen->minimumSizeHint();
        QVERIFY2(need.width() <= screen->width() && need.height() <= screen->height(),
                 qPrintable(QStringLiteral("needs %1x%2").arg(need.width()).arg(need.height())));
        QVERIFY(screen->maximumWidth() > 1366 && screen->maximumHeight() > 768);
        if (grows.isEmpty()) return;
        QWidget* part = child(screen.get(), qPrintable(grows));
        QVERIFY(part);
        const QSize before = part->size();
        screen->resize(1900, 1040);
        QTRY_VERIFY(part->width() > before.width() + 200 && part->height() > before.height() + 100);
    }

    // Every column of the lists in view side by side, none cut short.
    void listsShowEveryColumn_data()
    {
        QTest::addColumn<Factory>("factory");
        QTest::addColumn<QString>("list");
        QTest::newRow("browser's subjects")
            << make<TZuread>(TZuread::LoadMode::MeasurementScreen) << "SubjectGrid";
        QTest::newRow("browser's measurements")
            << make<TZuread>(TZuread::LoadMode::MeasurementScreen) << "MeasurementGrid";
        QTest::newRow("save screen's subjects") << make<TZusave>() << "SubjectGrid";
        QTest::newRow("picker's measurements") << make<TZuMuti1>() << "MeasurementGrid";
        QTest::newRow("picker's picked list") << make<TZuMuti1>() << "PickedGrid";
    }
    void listsShowEveryColumn()
    {
        QFETCH(Factory, factory);
        QFETCH(QString, list);
        Stocked practice;
        std::unique_ptr<QWidget> screen = factory(practice);
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        auto* view = screen->findChild<QTableView*>(list);
        QVERIFY(view);
        QTRY_COMPARE(view->horizontalScrollBar()->maximum(), 0);
        int sum = 0;
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            const QString heading = view->model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(view->columnWidth(c) >=
                         view->horizontalHeader()->fontMetrics().horizontalAdvance(heading),
                     qPrintable(heading));
            sum += view->columnWidth(c);
        }
        QVERIFY(sum <= view->viewport()->width());
    }

    // The first visit of 經絡分析 neither grows the window nor moves 離  開,
    // and the master programs have rows to show.
    void analysisPagesKeepTheWindow()
    {
        Stocked practice;
        TZuany screen(practice.state);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        QPushButton* leave = nullptr;
        for (QPushButton* b : screen.findChildren<QPushButton*>())
            if (b->text() == u("離  開")) leave = b;
        QVERIFY(leave);
        const QRect window = screen.geometry();
        const QPoint leaveAt = leave->mapTo(&screen, QPoint());
        for (int page : {3, 1, 4, 5, 0, 3}) {
            screen.pages()->setCurrentIndex(page);
            QCoreApplication::processEvents();
            QCOMPARE(screen.geometry(), window);
            QCOMPARE(leave->mapTo(&screen, QPoint()), leaveAt);
        }
        QListWidget* master = screen.masterList();
        QVERIFY(master->isVisible());
        QVERIFY(master->viewport()->height() >= 6 * master->fontMetrics().height());
    }

    // Ticking and unticking the export boxes shows and hides their lists
    // under them; the boxes stay where they are.
    void exportBoxesStayPut()
    {
        Stocked practice;
        TZuFile screen(practice.state);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        const QList<QCheckBox*> boxes = {screen.findChild<QCheckBox*>(QStringLiteral("CheckBox1")),
                                         screen.findChild<QCheckBox*>(QStringLiteral("CheckBox2")),
                                         screen.findChild<QCheckBox*>(QStringLiteral("CheckBox5"))};
        auto places = [&] {
            QList<QPoint> at;
            for (QCheckBox* b : boxes)
                at << b->mapTo(&screen, QPoint());
            return at;
        };
        const QList<QPoint> opened = places();
        for (int step : {1, 0, 1, 0, 0, 1}) {
            boxes[step]->click();
            QCoreApplication::processEvents();
            QCOMPARE(places(), opened);
        }
        QVERIFY(screen.findChild<QWidget*>(QStringLiteral("DBGrid2"))->isVisible());
    }

    void contrastRatios_data()
    {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("ratio");
        QTest::newRow("black on white") << QColor(0, 0, 0) << QColor(255, 255, 255) << 21.0;
        QTest::newRow("equal") << QColor(128, 128, 128) << QColor(128, 128, 128) << 1.0;
        QTest::newRow("grey 118 on white, just enough")
            << QColor(118, 118, 118) << QColor(255, 255, 255) << 4.54;
        QTest::newRow("grey 120 on white, too little")
            << QColor(120, 120, 120) << QColor(255, 255, 255) << 4.42;
        QTest::newRow("yellow on white") << QColor(255, 255, 0) << QColor(255, 255, 255) << 1.07;
    }
    void contrastRatios()
    {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, ratio);
        QVERIFY(qAbs(contrastRatio(a, b) - ratio) < 0.01);
        QVERIFY(qAbs(contrastRatio(b, a) - ratio) < 0.01);
    }

    void fittedWidths_data()
    {
        QTest::addColumn<QVector<int>>("natural");
        QTest::addColumn<int>("available");
        QTest::addColumn<QVector<int>>("expected");
        QTest::newRow("narrower: natural, scrolled") << QVector<int>{100, 50} << 120 << QVector<int>{100, 50};
        QTest::newRow("exactly") << QVector<int>{100, 50} << 150 << QVector<int>{100, 50};
        QTest::newRow("twice: in proportion") << QVector<int>{100, 50} << 300 << QVector<int>{200, 100};
        QTest::newRow("rounding to the last") << QVector<int>{10, 10, 10} << 100 << QVector<int>{33, 33, 34};
        QTest::newRow("nothing to widen") << QVector<int>{} << 100 << QVector<int>{};
    }
    void fittedWidths()
    {
        QFETCH(QVector<int>, natural);
        QFETCH(int, available);
        QFETCH(QVector<int>, expected);
        QCOMPARE(lumo::fittedWidths(natural, available), expected);
    }
};

// The desktop of the machines the program is made for: an offscreen screen
// of 1366 x 768 instead of the offscreen platform's 800 x 600.
int main(int argc, char** argv)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    f.write(R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1366, "height": 768,)"
            R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    QApplication app(argc, argv);
    applyChineseFont(app); // as the program does: its line heights decide the layouts
    TestScreenLayouts t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_screen_layouts.moc"
