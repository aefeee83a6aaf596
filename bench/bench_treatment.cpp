// The treatment program screen on a practice with many programs of its own:
// opening it to a painted window, and moving from one program to the next.
//   bench_treatment [--programs N]

#include "shell/sharedstate.h"
#include "treatment/ui/tzuprof.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>

using namespace lumo;

namespace {

double msSince(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

void line(const char* what, double ms, double target)
{
    std::printf("%-56s %9.2f ms   (target %5.0f ms)%s\n", what, ms, target, ms <= target ? "" : "  OVER");
}

// An illustration of the size the screens show, as PNG bytes.
QByteArray illustration()
{
    QImage img(240, 180, QImage::Format_RGB32);
    img.fill(QColor(250, 240, 220));
    QPainter p(&img);
    p.setPen(QPen(Qt::darkGreen, 3));
    for (int i = 0; i < 12; ++i)
        p.drawLine(10 + 18 * i, 20, 30 + 15 * i, 160);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

// Programs numbered in an order other than the stored one, each with five
// conditions of mixed codes.
Status generatePrograms(Database& db, int programs, int conditionsEach)
{
    std::mt19937 rng(7);
    const QByteArray picture = illustration();
    Transaction t(db);
    QSqlQuery p(db.sql());
    p.prepare(QStringLiteral(
        "INSERT INTO ZUPRO (ProNo, ProName, ProData, ProPict, ProScal, ProFN, ProScrp1, ProPrg1, "
        "ProParm1) VALUES (?,?,?,?,?,?,?,?,?)"));
    QSqlQuery c(db.sql());
    c.prepare(QStringLiteral(
        "INSERT INTO ZUPRDT (ProNo, ProSubN, ProNote, ProAnd, ProCond, ProAGL, ProAGH, ProEng, "
        "ProFlg) VALUES (?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < programs; ++i) {
        const QString no = QStringLiteral("P%1").arg((i * 7919) % programs, 6, 10, QLatin1Char('0'));
        for (const QVariant& v :
             {QVariant(no), QVariant(QString::fromUtf8("療程 %1").arg(i)),
              QVariant(QString::fromUtf8("說明第一行\r\n說明第二行 %1").arg(i)), QVariant(picture),
              QVariant(int(i % 2)), QVariant(QStringLiteral("1010")), QVariant(QString::fromUtf8("影片")),
              QVariant(QStringLiteral("/usr/bin/mpv")), QVariant(QStringLiteral("/media/a.mp4"))})
            p.addBindValue(v);
        if (!p.exec()) return Status::failure(sqlError(p));
        for (int k = 0; k < conditionsEach; ++k) {
            QString cond(24, QLatin1Char('0')), required(24, QLatin1Char('0'));
            for (int pos = 0; pos < 22; ++pos) {
                cond[pos] = QLatin1Char(char('0' + rng() % 4));
                if (rng() % 5 == 0) required[pos] = QLatin1Char('1');
            }
            cond[22] = QLatin1Char(char('0' + rng() % 4));
            cond[23] = QLatin1Char(char('0' + rng() % 3));
            for (const QVariant& v : {QVariant(no), QVariant(QString::fromUtf8("條件 %1").arg(k + 1)),
                                      QVariant(QStringLiteral("note")), QVariant(required), QVariant(cond),
                                      QVariant(20), QVariant(60), QVariant(45.0), QVariant(k == 0)})
                c.addBindValue(v);
            if (!c.exec()) return Status::failure(sqlError(c));
        }
    }
    return t.commit();
}

// Counts the paint events a window and its children receive.
class PaintWatch : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int programs = 10000;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i)
        if (a[i] == QLatin1String("--programs")) programs = a[++i].toInt();

    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    state.messages = &messages;
    state.DataDirectory = dir.path() + QLatin1Char('/');
    Status st;
    state.MainDatabase = Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
    if (!state.MainDatabase) return 2;
    QElapsedTimer gen;
    gen.start();
    st = generatePrograms(*state.MainDatabase, programs, 5);
    if (!st) {
        std::fprintf(stderr, "%s\n", qPrintable(st.error));
        return 2;
    }
    std::printf("%d programs with 5 conditions each, generated in %.0f ms\n", programs, msSince(gen));

    // Opening: created, shown, and every widget of it painted once.
    for (int round = 0; round < 3; ++round) {
        PaintWatch watch;
        QElapsedTimer t;
        t.start();
        auto screen = std::make_unique<TZuProf>(state);
        screen->installEventFilter(&watch);
        screen->programGrid()->viewport()->installEventFilter(&watch);
        screen->show();
        while (watch.paints < 2 && t.elapsed() < 5000)
            QApplication::processEvents();
        const double opened = msSince(t);
        line(round == 0 ? "open the treatment screen to a painted window (first)"
                        : "open the treatment screen to a painted window (again)",
             opened, 150);
        if (round < 2) continue;

        // Moving down the program grid: the panels, grids and picture refreshed and painted.
        std::vector<double> moves;
        QTableView* grid = screen->programGrid();
        for (int i = 0; i < 300; ++i) {
            QElapsedTimer m;
            m.start();
            grid->setCurrentIndex(grid->model()->index(i + 1, 1));
            QApplication::processEvents();
            moves.push_back(msSince(m));
        }
        std::sort(moves.begin(), moves.end());
        double sum = 0;
        for (double v : moves)
            sum += v;
        line("move to the next program (median of 300)", moves[moves.size() / 2], 10);
        line("move to the next program (mean of 300)", sum / double(moves.size()), 10);
        line("move to the next program (95th percentile of 300)", moves[moves.size() * 95 / 100], 10);
        line("move to the next program (slowest of 300)", moves.back(), 10);
        if (screen->currentProgramRow() != 300 || screen->conditions().size() != 5) {
            std::fprintf(stderr, "the screen is not on program 301 with its five conditions\n");
            return 1;
        }
    }
    return 0;
}
