#include "analysis/ui/knowledgepages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

CopyButtons::CopyButtons(int page, QList<QPlainTextEdit*> boxes, RecordAppender toRecord, QWidget* parent)
    : QObject(parent), m_boxes(std::move(boxes)), m_toRecord(std::move(toRecord)), m_row(new QHBoxLayout)
{
    auto* all = new QPushButton(u("全選"), parent);
    all->setObjectName(QStringLiteral("SelectAll%1").arg(page));
    // The focus stays in the text box so that page 3 knows which box is meant.
    all->setFocusPolicy(Qt::NoFocus);
    m_paste = new QPushButton(u("貼上"), parent);
    m_paste->setObjectName(QStringLiteral("Paste%1").arg(page));
    m_paste->setEnabled(false);
    connect(all, &QPushButton::clicked, this, &CopyButtons::selectAll);
    connect(m_paste, &QPushButton::clicked, this, &CopyButtons::paste);
    for (QPlainTextEdit* b : m_boxes)
        connect(b, &QPlainTextEdit::selectionChanged, this, &CopyButtons::updatePaste);
    m_row->addStretch();
    m_row->addWidget(all);
    m_row->addWidget(m_paste);
}

void CopyButtons::updatePaste()
{
    bool any = false;
    for (QPlainTextEdit* b : m_boxes)
        any |= b->textCursor().hasSelection();
    m_paste->setEnabled(any);
}

void CopyButtons::selectAll()
{
    QList<QPlainTextEdit*> boxes = m_boxes;
    for (QPlainTextEdit* b : m_boxes)
        if (b->hasFocus()) boxes = {b};
    for (QPlainTextEdit* b : boxes)
        b->selectAll();
    updatePaste();
}

void CopyButtons::paste()
{
    QStringList texts;
    for (QPlainTextEdit* b : m_boxes) {
        QTextCursor c = b->textCursor();
        if (!c.hasSelection()) continue;
        QString text = c.selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        texts << text;
        c.clearSelection();
        b->setTextCursor(c);
    }
    m_toRecord(texts);
    m_paste->setEnabled(false);
}

// The list in column 0; the boxes under their captions in column 1, then the
// advice buttons and the copy buttons.
KnowledgePage::KnowledgePage(int page, const char* listName, const QList<Box>& boxes,
                             const QStringList& choices, RecordAppender toRecord, QWidget* parent)
    : QWidget(parent)
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QLatin1String(listName));
    for (const Box& b : boxes) {
        auto* t = new QPlainTextEdit(this);
        t->setObjectName(QLatin1String(b.name));
        t->setReadOnly(true);
        m_boxes << t;
    }
    auto* grid = new QGridLayout(this);
    // The list over the master programs, down the whole height of the page.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(u("單經絡分析"), this));
    left->addWidget(m_list, 1);
    m_masterSlot = new QVBoxLayout;
    left->addLayout(m_masterSlot, 1);
    int row = 0;
    for (int i = 0; i < boxes.size(); ++i) {
        grid->addWidget(new QLabel(u(boxes[i].caption), this), row++, 1);
        grid->addWidget(m_boxes[i], row++, 1);
    }
    if (!choices.isEmpty()) {
        auto* choiceRow = new QHBoxLayout;
        for (int i = 0; i < choices.size(); ++i) {
            auto* b = new QPushButton(choices[i], this);
            b->setCheckable(true);
            connect(b, &QPushButton::clicked, this, [this, i] { choose(i); });
            m_choices << b;
            choiceRow->addWidget(b);
        }
        grid->addLayout(choiceRow, row++, 1);
    }
    m_copy = new CopyButtons(page, m_boxes, std::move(toRecord), this);
    grid->addLayout(m_copy->row(), row, 1);
    grid->addLayout(left, 0, 0, row + 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

void KnowledgePage::holdMaster(QWidget* panel)
{
    if (panel->parentWidget() != this) m_masterSlot->addWidget(panel);
}

void KnowledgePage::choose(int choice)
{
    if (m_choiceTexts.isEmpty()) return;
    for (int j = 0; j < m_choices.size(); ++j)
        m_choices[j]->setChecked(j == choice);
    m_boxes[0]->setPlainText(m_choiceTexts.value(choice));
}

void KnowledgePage::showChoices(const QStringList& texts)
{
    m_choiceTexts = texts;
    m_boxes[0]->setPlainText(texts.value(0));
    for (QPushButton* b : m_choices) {
        b->setEnabled(true);
        b->setChecked(false);
    }
    if (!m_choices.isEmpty()) m_choices[0]->setChecked(true);
}

void KnowledgePage::enableChoices(bool on)
{
    for (QPushButton* b : m_choices)
        b->setEnabled(on);
}

KnowledgePage* buildAnalysisPage(RecordAppender toRecord)
{
    return new KnowledgePage(3, "AnalysisList", {{"Detail", "詳細說明"}, {"Ryodoraku", "良導絡辨症"}}, {},
                             std::move(toRecord));
}

KnowledgePage* buildPrescriptionPage(RecordAppender toRecord)
{
    auto* page = new KnowledgePage(4, "PrescriptionList", {{"PrescriptionText", "詳細說明"}},
                                   {u("針  灸"), u("漢  方"), u("按  摩")}, std::move(toRecord));
    page->choiceButtons()[2]->hide();
    return page;
}

KnowledgePage* buildDietPage(RecordAppender toRecord)
{
    return new KnowledgePage(5, "DietList", {{"DietText", "食物療法表列"}},
                             {u("營養素"), u("禁  忌"), u("藥  膳"), u("花草茶"), u("按  摩")},
                             std::move(toRecord));
}

} // namespace lumo
