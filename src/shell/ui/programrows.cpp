#include "shell/ui/programrows.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// A field whose hint always shows its whole text (a long path is cut on screen).
QLineEdit* fieldOf(QWidget* parent, const QString& name, int maxLength)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (maxLength > 0) e->setMaxLength(maxLength);
    QObject::connect(e, &QLineEdit::textChanged, e, [e](const QString& t) { e->setToolTip(t); });
    return e;
}

QPushButton* buttonOf(QWidget* parent, const QString& caption, const QString& name, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    // Enter in a field must not press a row's button (and start a program).
    b->setAutoDefault(false);
    return b;
}

} // namespace

ProgramRows::ProgramRows(int rows, int maxLength, QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const QString headings[] = {u("說明"), u("執行功能程式"), u("參數與檔案"), u("測試")};
    const int columns[] = {1, 2, 4, 6};
    for (int i = 0; i < 4; ++i)
        grid->addWidget(new QLabel(headings[i], this), 0, columns[i]);
    m_rows.resize(rows);
    for (int n = 1; n <= rows; ++n)
        addRow(grid, n, maxLength);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 3);
    grid->setColumnStretch(4, 3);
    grid->setRowStretch(rows + 1, 1); // spare height below the rows, not between them
}

void ProgramRows::addRow(QGridLayout* grid, int n, int maxLength)
{
    Widgets& w = m_rows[n - 1];
    w.box = new QCheckBox(u("程式 %1").arg(n), this);
    w.box->setObjectName(QStringLiteral("ProgramBox%1").arg(n));
    w.hint = fieldOf(this, QStringLiteral("HintField%1").arg(n), maxLength);
    w.program = fieldOf(this, QStringLiteral("ProgramField%1").arg(n), maxLength);
    w.param = fieldOf(this, QStringLiteral("ParamField%1").arg(n), maxLength);
    // Named for what a person reads around them, so that the rows can be told apart.
    w.hint->setAccessibleName(u("說明 %1").arg(n));
    w.program->setAccessibleName(u("執行功能程式 %1").arg(n));
    w.param->setAccessibleName(u("參數與檔案 %1").arg(n));
    w.programBrowse =
        buttonOf(this, u("瀏覽"), QStringLiteral("ProgramBrowse%1").arg(n), u("設定執行程式或功能"));
    w.paramBrowse =
        buttonOf(this, u("瀏覽"), QStringLiteral("ParamBrowse%1").arg(n), u("設定參數或外部檔案"));
    w.test = buttonOf(this, u("測試"), QStringLiteral("TestButton%1").arg(n), u("連結功能測試"));
    w.programBrowse->setAccessibleName(u("瀏覽執行功能程式 %1").arg(n));
    w.paramBrowse->setAccessibleName(u("瀏覽參數與檔案 %1").arg(n));
    w.test->setAccessibleName(u("測試 %1").arg(n));
    grid->addWidget(w.box, n, 0);
    grid->addWidget(w.hint, n, 1);
    grid->addWidget(w.program, n, 2);
    grid->addWidget(w.programBrowse, n, 3);
    grid->addWidget(w.param, n, 4);
    grid->addWidget(w.paramBrowse, n, 5);
    grid->addWidget(w.test, n, 6);
    connect(w.programBrowse, &QPushButton::clicked, this,
            [this, n] { browse(m_rows[n - 1].program, FileRequest::Program); });
    connect(w.paramBrowse, &QPushButton::clicked, this,
            [this, n] { browse(m_rows[n - 1].param, FileRequest::AnyFile); });
    // The test works on the texts as typed, saved or not.
    connect(w.test, &QPushButton::clicked, this, [this, n] {
        const Widgets& r = m_rows[n - 1];
        launchAndReport(messages, r.program->text().trimmed(), r.param->text().trimmed(), launcher);
    });
}

void ProgramRows::browse(QLineEdit* field, FileRequest::Kind kind)
{
    const QString chosen = chooser ? chooser(window(), {kind}) : QString();
    if (!chosen.isEmpty()) field->setText(chosen);
}

void ProgramRows::setRow(int n, const Row& row)
{
    Widgets& w = m_rows[n - 1];
    w.box->setChecked(row.enabled);
    w.hint->setText(row.hint);
    w.program->setText(row.program);
    w.param->setText(row.param);
    // The start of a long text shows, as a person reads it; the hint holds all of it.
    for (QLineEdit* e : {w.hint, w.program, w.param}) {
        e->setToolTip(e->text());
        e->setCursorPosition(0);
    }
}

QString ProgramRows::snapshot() const
{
    QStringList parts;
    for (int n = 1; n <= rows(); ++n) {
        const Row r = row(n);
        parts << QString::number(r.enabled) << r.hint << r.program << r.param;
    }
    return parts.join(QLatin1Char('\x1f'));
}

ProgramRows::Row ProgramRows::row(int n) const
{
    const Widgets& w = m_rows[n - 1];
    return {w.box->isChecked(), w.hint->text(), w.program->text(), w.param->text()};
}

} // namespace lumo
