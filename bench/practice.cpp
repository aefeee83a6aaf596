#include "practice.h"

#include "base/formats.h"

#include <QSqlQuery>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace lumo::bench {
namespace {

const char* const kFamily[] = {"陳", "林", "黃", "張", "李", "王", "吳", "劉",
                               "蔡", "楊", "許", "鄭", "謝", "郭", "洪"};
const char* const kGiven[] = {"志明", "淑芬", "家豪", "美玲", "俊傑", "雅婷",
                              "建宏", "怡君", "冠宇", "佳穎", "宗翰", "欣怡"};
const char* const kCity[] = {"台北市", "新北市", "台中市", "台南市", "高雄市", "桃園市", "新竹市"};
const char* const kRoad[] = {"中山路", "中正路", "民生路", "和平東路", "復興北路", "建國南路", "忠孝東路"};

} // namespace

Status generatePractice(const QString& path, PracticeSize size, unsigned seed)
{
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    if (!db) return st;
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    std::uniform_real_distribution<double> energy(15.0, 90.0);

    Transaction t(*db);
    if (!t.active()) return t.begun();
    QSqlQuery subject(db->sql());
    subject.prepare(
        QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, ADDR, TEL, TEL2, TEL3, EMAIL, MEMO) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?)"));
    QString columns = QStringLiteral("CUSTNO, ZUDATE, ZUVOTA, MEMO1");
    QString marks = QStringLiteral("?,?,?,?");
    for (int i = 1; i <= 24; ++i) {
        columns += QStringLiteral(", ZU%1").arg(i);
        marks += QStringLiteral(",?");
    }
    QSqlQuery measurement(db->sql());
    measurement.prepare(QStringLiteral("INSERT INTO ZUDATA (%1) VALUES (%2)").arg(columns, marks));

    const double today = dayNumber(QDate(2026, 12, 1));
    for (int s = 0; s < size.subjects; ++s) {
        const QString number = QStringLiteral("C%1").arg(s + 1, 6, 10, QLatin1Char('0'));
        const QString name = QString::fromUtf8(kFamily[pick(15)]) + QString::fromUtf8(kGiven[pick(12)]);
        const QString addr = QString::fromUtf8(kCity[pick(7)]) + QString::fromUtf8(kRoad[pick(7)]) +
                             QStringLiteral("%1").arg(pick(400) + 1) + QString::fromUtf8("號");
        const QString tel = QStringLiteral("0%1-%2").arg(2 + pick(7)).arg(10000000 + pick(89999999));
        const QString mobile = QStringLiteral("09%1").arg(10000000 + pick(89999999));
        const double birth = s % 17 == 0 ? 0 : dayNumber(QDate(1935 + pick(80), 1 + pick(12), 1 + pick(28)));
        for (const QVariant& v : {QVariant(number), QVariant(name), QVariant(pick(2)), QVariant(birth),
                                  QVariant(addr), QVariant(tel), QVariant(mobile), QVariant(QString()),
                                  QVariant(QStringLiteral("c%1@example.org").arg(s)), QVariant(QString())})
            subject.addBindValue(v);
        if (!subject.exec()) return Status::failure(sqlError(subject));
        for (int m = 0; m < size.measurementsEach; ++m) {
            measurement.addBindValue(number);
            measurement.addBindValue(today - pick(3000) + pick(1000) / 1000.0);
            measurement.addBindValue(pick(4) == 0);
            measurement.addBindValue(m % 3 == 0 ? QString::fromUtf8("頭痛，睡眠不佳。\r\n建議調整作息。")
                                                : QString());
            const double base = energy(rng);
            for (int p = 0; p < 24; ++p)
                measurement.addBindValue(std::max(0.1, base + energy(rng) / 5 - 9));
            if (!measurement.exec()) return Status::failure(sqlError(measurement));
        }
    }
    return t.commit();
}

double currentMemoryMb()
{
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    const bool read = std::fscanf(f, "%ld %ld", &pages, &resident) == 2;
    std::fclose(f);
    return read ? double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

double peakMemoryMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

} // namespace lumo::bench
