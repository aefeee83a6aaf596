#include "records/ui/tzuimport.h"

#include "base/messages.h"
#include "base/visibletext.h"
#include "records/operationhook.h"
#include "shell/sharedstate.h"
#include "widgets/screensize.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

constexpr int PreviewRows = 20;

QString problemLine(const ImportProblem& p)
{
    return u("第 %1 行 (編號 %2)：%3").arg(p.line).arg(p.custNo.isEmpty() ? u("空白") : p.custNo, p.text);
}

} // namespace

TZuImport::TZuImport(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuImport"));
    setWindowTitle(u("匯入受測者清單"));
    m_mapping.fill(-1);
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("CsvFile"));
    m_file->setAccessibleName(u("CSV 檔案"));
    m_file->setPlaceholderText(u("CSV 檔案的路徑，輸入後按 Enter"));
    auto* read = new QPushButton(u("讀取檔案"), this);
    read->setObjectName(QStringLiteral("ReadFile"));
    read->setAutoDefault(false);
    m_fileInfo = new QLabel(this);
    m_fileInfo->setObjectName(QStringLiteral("FileInfo"));
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("Preview"));
    m_preview->setAccessibleName(u("前幾筆資料"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->verticalHeader()->hide(); // the file's own line numbers are the first column
    m_problems = new QListWidget(this);
    m_problems->setObjectName(QStringLiteral("Problems"));
    m_problems->setAccessibleName(u("問題"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    m_skip = new QRadioButton(u("略過並列出"), this);
    m_refuse = new QRadioButton(u("不匯入任何資料"), this);
    m_skip->setChecked(true);
    m_import = new QPushButton(u("匯  入"), this);
    m_import->setObjectName(QStringLiteral("Import"));
    m_import->setAutoDefault(false);
    auto* leave = new QPushButton(u("離  開"), this);
    leave->setObjectName(QStringLiteral("Leave"));
    leave->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(u("CSV 檔案："), this));
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(read);
    auto* existingRow = new QHBoxLayout;
    existingRow->addWidget(new QLabel(u("編號已經存在時："), this));
    existingRow->addWidget(m_skip);
    existingRow->addWidget(m_refuse);
    existingRow->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(u("前 %1 筆資料 (依目前的欄位對應)：").arg(PreviewRows), this));
    right->addWidget(m_preview, 3);
    right->addWidget(new QLabel(u("問題："), this));
    right->addWidget(m_problems, 2);
    auto* middle = new QHBoxLayout;
    middle->addWidget(buildMapping());
    middle->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_import);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_fileInfo);
    layout->addLayout(middle, 1);
    layout->addLayout(existingRow);
    layout->addLayout(buttons);
    openAt(this, QSize(1100, 640));
    // Tab goes as the work does: the file, its columns, what they give, the choice, the buttons.
    QList<QWidget*> chain{m_file, read};
    for (QComboBox* c : m_columns)
        chain << c;
    chain << m_preview << m_problems << m_skip << m_refuse << m_import << leave;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    connect(m_file, &QLineEdit::returnPressed, this, &TZuImport::readFile);
    connect(read, &QPushButton::clicked, this, &TZuImport::readFile);
    connect(m_import, &QPushButton::clicked, this, &TZuImport::importClicked);
    connect(leave, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_skip, &QRadioButton::toggled, this, &TZuImport::showPlan);
    showPlan();
    m_file->setFocus();
}

QWidget* TZuImport::buildMapping()
{
    auto* box = new QGroupBox(u("欄位對應"), this);
    auto* form = new QFormLayout(box);
    for (int f = 0; f < ImportFieldCount; ++f) {
        auto* c = new QComboBox(box);
        c->setObjectName(QStringLiteral("Column_") + QLatin1String(importFieldInfo(ImportField(f)).column));
        c->setAccessibleName(u(importFieldInfo(ImportField(f)).label));
        m_columns[size_t(f)] = c;
        form->addRow(u(importFieldInfo(ImportField(f)).label) + u("："), c);
        connect(c, &QComboBox::activated, this, &TZuImport::mappingChanged);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(box);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(box->sizeHint().width() + 160);
    return scroll;
}

void TZuImport::readFile()
{
    const QString path = m_file->text().trimmed();
    if (path.isEmpty()) return;
    CsvTable table;
    const Status st = readCsvFile(path, &table);
    if (!st) {
        m_table = CsvTable{};
        m_mapping.fill(-1);
        m_fileInfo->setText(u("無法讀取：") + st.error);
        m_state.ShowMessageDialog(NoteAttention, u("受測者清單無法讀取：") + st.error);
    } else {
        m_table = std::move(table);
        m_mapping = guessMapping(m_table.header);
        m_fileInfo->setText(
            u("%1，%2分隔，%3 筆資料")
                .arg(m_table.encoding == QLatin1String("Big5") ? u("Big5 編碼") : u("UTF-8 編碼"),
                     m_table.separator == QLatin1Char('\t') ? u("Tab ") : u("逗號"))
                .arg(m_table.rows.size()));
    }
    for (int f = 0; f < ImportFieldCount; ++f) {
        QComboBox* c = m_columns[size_t(f)];
        QSignalBlocker block(c);
        c->clear();
        c->addItem(u("(不匯入)"), -1);
        for (int i = 0; i < m_table.header.size(); ++i)
            c->addItem(u("第 %1 欄 %2").arg(i + 1).arg(m_table.header[i].left(30)), i);
        c->setCurrentIndex(m_mapping[size_t(f)] + 1);
    }
    showPlan();
}

void TZuImport::mappingChanged()
{
    for (int f = 0; f < ImportFieldCount; ++f)
        m_mapping[size_t(f)] =
            m_columns[size_t(f)]->currentData().isValid() ? m_columns[size_t(f)]->currentData().toInt() : -1;
    showPlan();
}

ExistingNumbers TZuImport::existingChoice() const
{
    return m_skip->isChecked() ? ExistingNumbers::Skip : ExistingNumbers::Refuse;
}

void TZuImport::showPlan()
{
    m_plan = m_table.header.isEmpty()
                 ? ImportPlan{}
                 : planSubjectImport(m_table, m_mapping, *m_state.MainDatabase, QDate::currentDate());
    QVector<int> shownFields;
    QStringList headers;
    for (int f = 0; f < ImportFieldCount; ++f)
        if (m_mapping[size_t(f)] >= 0) {
            shownFields << f;
            headers << u(importFieldInfo(ImportField(f)).label);
        }
    m_preview->clear();
    m_preview->setColumnCount(int(shownFields.size()) + 1);
    m_preview->setHorizontalHeaderLabels(QStringList{u("行")} + headers);
    const int rows = int(qMin<qsizetype>(m_table.rows.size(), PreviewRows));
    m_preview->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const CsvRow& row = m_table.rows[r];
        m_preview->setItem(r, 0, new QTableWidgetItem(QString::number(row.line)));
        // As it will be stored: a Republic year as the date it means, the sex as 男 or 女.
        for (int c = 0; c < shownFields.size(); ++c) {
            const ImportField f = ImportField(shownFields[c]);
            m_preview->setItem(
                r, c + 1,
                new QTableWidgetItem(visibleText(storedText(f, row.fields.value(m_mapping[size_t(f)])), 60)));
        }
    }
    m_preview->resizeColumnsToContents();
    m_problems->clear();
    for (const ImportProblem& p : m_plan.problems)
        m_problems->addItem(problemLine(p));
    for (const ImportProblem& p : m_plan.existing)
        m_problems->addItem(problemLine(p));
    const Status ok = importable(m_plan, existingChoice());
    QString summary;
    if (!m_table.header.isEmpty()) {
        summary = ok ? u("可以新增 %1 位受測者").arg(m_plan.subjects.size()) : ok.error;
        if (ok && !m_plan.existing.isEmpty())
            summary += u("，%1 筆編號已經存在將略過").arg(m_plan.existing.size());
        if (ok && m_plan.sexMissing > 0) summary += u("，%1 筆沒有性別，以男性儲存").arg(m_plan.sexMissing);
    }
    m_summary->setText(summary);
    m_import->setEnabled(ok.ok && !m_table.header.isEmpty());
}

void TZuImport::importClicked()
{
    if (!m_import->isEnabled()) return;
    if (!m_state.ShowMessageDialog(AskImportant, u("確定要匯入 %1 位受測者嗎？").arg(m_plan.subjects.size())))
        return;
    int imported = 0, skipped = 0;
    const QString file = m_file->text().trimmed();
    const Status st = runRecordOperation(m_state, RecordOperation::ImportSubjects, file, [&](AuditEntry& e) {
        QStringList numbers;
        const Status done =
            importSubjects(*m_state.MainDatabase, m_plan, existingChoice(), &imported, &skipped, &numbers);
        e.detail = importAuditText(file, numbers, skipped);
        return done;
    });
    if (!st) {
        m_state.ShowMessageDialog(NoteAttention, u("受測者清單沒有匯入：") + st.error);
        showPlan();
        return;
    }
    m_imported = imported;
    m_state.ShowMessageDialog(NoteImportant, importDoneText(imported, skipped));
    accept();
}

} // namespace lumo
