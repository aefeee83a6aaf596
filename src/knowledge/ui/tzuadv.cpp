#include "knowledge/ui/tzuadv.h"

#include "knowledge/decipher.h"
#include "shell/sharedstate.h"
#include "records/programs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
} // namespace

QStringList TZuadv::listItems()
{
    return {u(" 1. 手太陰 肺　經"), u(" 2. 手厥陰 心包經"), u(" 3. 手少陰 心　經"), u(" 4. 手太陽 小腸經"),
            u(" 5. 手少陽 三焦經"), u(" 6. 手陽明 大腸經"), u(" 7. 足太陰 脾　經"), u(" 8. 足厥陰 肝　經"),
            u(" 9. 足少陰 腎　經"), u("10.足太陽 膀胱經"),  u("11.足少陽 膽　經"),  u("12.足陽明 胃　經")};
}

TZuadv::TZuadv(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuadv"));
    setWindowTitle(u("經絡圖示解說"));
    resize(980, 680);

    auto* toolbar = new QToolBar(this);
    QAction* leave = toolbar->addAction(u("離  開"));
    leave->setToolTip(u("離開本系統"));
    connect(leave, &QAction::triggered, this, &QDialog::accept);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(u("經絡名稱"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->addItems(listItems());
    left->addWidget(m_list, 1);
    auto* grid = new QGridLayout;
    const char* captions[8] = {"表裡屬性:", "表裡經絡:", "天干屬性:", "五行屬性:", "子午流注:", "測 定 點:", "抑 制 點:", "興 奮 點:"};
    for (int i = 0; i < 8; ++i) {
        grid->addWidget(new QLabel(u(captions[i]), this), i, 0);
        m_values[i] = new QLabel(this);
        m_values[i]->setObjectName(QStringLiteral("Value%1").arg(i + 1));
        m_values[i]->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
        // Some attributes are longer than the column (表裡屬性 of the yin meridians): they wrap, never cut.
        m_values[i]->setWordWrap(true);
        grid->addWidget(m_values[i], i, 1);
    }
    grid->setColumnStretch(1, 1);
    left->addLayout(grid);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    auto* scroll = new QScrollArea(this);
    m_picture = new QLabel(scroll);
    m_picture->setObjectName(QStringLiteral("Image1"));
    scroll->setWidget(m_picture);
    scroll->setWidgetResizable(false);
    m_pages->addTab(scroll, u("經絡圖例"));
    m_pages->setTabToolTip(0, u("經絡循行圖解"));
    for (int i = 0; i < 9; ++i) {
        m_boxes[i] = new QPlainTextEdit(this);
        m_boxes[i]->setReadOnly(true);
        m_boxes[i]->setObjectName(QStringLiteral("Memo%1").arg(i + 1));
    }
    auto page = [&](const char* title, const char* hint, std::initializer_list<int> boxes) {
        auto* w = new QWidget(this);
        auto* l = new QVBoxLayout(w);
        for (int b : boxes) l->addWidget(m_boxes[b]);
        const int index = m_pages->addTab(w, u(title));
        m_pages->setTabToolTip(index, u(hint));
    };
    page("經絡資料", "單經絡分析參考資料", {0, 1, 2});
    page("良導絡資料", "良導絡辯證參考資料", {3, 4});
    page("醫方資料", "經絡醫方與針灸參考資料", {5, 6});
    page("養生資料", "養生食療總表參考", {7, 8});

    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(m_pages, 3);
    auto* status = new QStatusBar(this);
    status->showMessage(u("請至 [經絡名稱] 欄中,點選需要查詢的經絡資料"));
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addLayout(body, 1);
    layout->addWidget(status);

    connect(m_list, &QListWidget::currentRowChanged, this, &TZuadv::showMeridian);
    m_pages->setCurrentIndex(0);
    m_list->setCurrentRow(0);
}

QString TZuadv::decipher(const KnowledgeRow& row, const char* field)
{
    QString error;
    auto text = DecipherKnowledgeText(row.text(QLatin1String(field)), &error);
    if (!text) {
        m_state.reportError(QStringLiteral("%1 (%2 %3)").arg(error, QLatin1String(field), QString::number(row.MKEY)));
        return QString();
    }
    return *text;
}

void TZuadv::showMeridian(int index)
{
    if (index < 0 || !m_state.KnowledgeDatabase) return;
    auto row = KnowledgeStore(*m_state.KnowledgeDatabase).get(index + 1);
    if (!row) return; // a key the table does not hold: the texts shown stay
    const char* fields[8] = {"DtEA1", "DtEA2", "DtEA3", "DtEA4", "DtEA5", "DtPot1", "DtPot2", "DtPot3"};
    for (int i = 0; i < 8; ++i) m_values[i]->setText(decipher(*row, fields[i]));
    auto joined = [&](const char* a, const char* b) { return decipher(*row, a) + QStringLiteral("\n\n") + decipher(*row, b); };
    m_boxes[0]->setPlainText(decipher(*row, "DtMA1"));
    m_boxes[1]->setPlainText(decipher(*row, "DtMH1"));
    m_boxes[2]->setPlainText(decipher(*row, "DtML1"));
    m_boxes[3]->setPlainText(decipher(*row, "DtMH5"));
    m_boxes[4]->setPlainText(decipher(*row, "DtML5"));
    m_boxes[5]->setPlainText(joined("DtMH3", "DtMH2"));
    m_boxes[6]->setPlainText(joined("DtML3", "DtML2"));
    m_boxes[7]->setPlainText(joined("DtMA3", "DtMH4"));
    m_boxes[8]->setPlainText(decipher(*row, "DtML4"));
    QPixmap picture;
    picture.loadFromData(row->DtGpM);
    m_picture->setPixmap(picture);
    m_picture->resize(picture.isNull() ? QSize(1, 1) : picture.size());
}

} // namespace lumo
