#include "practice/ui/auditpage.h"

#include "analysis/report.h"
#include "analysis/ui/abortbox.h"
#include "analysis/ui/printpreview.h"
#include "analysis/ui/printsetup.h"
#include "base/messages.h"
#include "practice/audit.h"
#include "practice/auditactions.h"
#include "practice/auditexport.h"
#include "practice/roles.h"
#include "practice/ui/guard.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kHeaders[] = {"時間", "操作人員", "工作站", "動作", "受測者編號", "量測鍵值", "內容"};
constexpr int kActionColumn = 3; // its Chinese name; the stored key in the tool tip

QStringList cellsOf(const AuditRow& r)
{
    // Stored in UTC, read by the practice on its own clock, as the day filter is.
    const QString time = QDateTime::fromString(r.time, Qt::ISODateWithMs)
                             .toLocalTime()
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return {time,          r.operatorName,
            r.workstation, auditActionLabel(r.action),
            r.custNo,      r.dataKey ? QString::number(r.dataKey) : QString(),
            r.detail};
}

QLineEdit* field(QWidget* parent, const char* name, const char* placeholder)
{
    auto* e = new QLineEdit(parent);
    e->setAccessibleName(u(name));
    e->setPlaceholderText(u(placeholder));
    return e;
}

} // namespace

AuditPage::AuditPage(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("AuditPage"));
    setWindowTitle(u("稽核紀錄"));
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    m_custNo = field(this, "受測者編號", "全部");
    m_from = field(this, "起始日期", "YYYY-MM-DD");
    m_to = field(this, "結束日期", "YYYY-MM-DD");
    m_action = new QComboBox(this);
    m_action->setEditable(true);
    m_action->setInsertPolicy(QComboBox::NoInsert);
    m_action->setAccessibleName(u("動作"));
    // Chosen by its Chinese name; the field also takes a key or a key's first
    // word ("export" finds export.subject too).
    m_action->addItem(QString());
    for (const AuditAction& a : auditActions())
        m_action->addItem(u(a.label));
    m_action->lineEdit()->setPlaceholderText(u("全部"));
    m_action->setMinimumContentsLength(16);
    auto* apply = new QPushButton(u("套用篩選"), this);
    apply->setDefault(true);
    const std::pair<const char*, QWidget*> labelled[] = {
        {"受測者編號：", m_custNo}, {"自：", m_from}, {"至：", m_to}, {"動作：", m_action}};
    for (const auto& [text, w] : labelled) {
        auto* l = new QLabel(u(text), this);
        l->setBuddy(w);
        filters->addWidget(l);
        filters->addWidget(w, 1);
    }
    filters->addWidget(apply);
    layout->addLayout(filters);

    m_table = new QTableWidget(0, int(std::size(kHeaders)), this);
    m_table->setObjectName(QStringLiteral("AuditGrid"));
    m_table->setAccessibleName(u("稽核紀錄列表"));
    QStringList headers;
    for (const char* h : kHeaders)
        headers << u(h);
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table, 1);

    auto* bottom = new QHBoxLayout;
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("AuditNote"));
    bottom->addWidget(m_note, 1);
    auto* exportButton = new QPushButton(u("匯出…"), this);
    auto* printButton = new QPushButton(u("列印…"), this);
    auto* close = new QPushButton(u("關閉"), this);
    for (QPushButton* b : {exportButton, printButton, close})
        bottom->addWidget(b);
    layout->addLayout(bottom);

    connect(apply, &QPushButton::clicked, this, &AuditPage::applyFilter);
    connect(exportButton, &QPushButton::clicked, this, &AuditPage::exportRows);
    connect(printButton, &QPushButton::clicked, this, &AuditPage::printRows);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // The fields, the filter's button, the rows, then what to do with them.
    QWidget* chain[] = {m_custNo, m_from, m_to, m_action, apply, m_table, exportButton, printButton, close};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    resize(1240, 640);
    applyFilter();
}

bool AuditPage::typedFilter(AuditFilter* filter)
{
    filter->custNo = m_custNo->text().trimmed();
    filter->action = auditActionKey(m_action->currentText());
    for (auto [edit, target] : {std::pair{m_from, &filter->from}, std::pair{m_to, &filter->to}}) {
        *target = edit->text().trimmed();
        if (!target->isEmpty() && !QDate::fromString(*target, Qt::ISODate).isValid()) {
            m_state.ShowMessageDialog(NoteAttention, u("日期無效：%1（格式 YYYY-MM-DD）").arg(*target));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    }
    if (!filter->from.isEmpty() && !filter->to.isEmpty() && filter->from > filter->to) {
        m_state.ShowMessageDialog(NoteAttention, u("起始日期在結束日期之後"));
        m_from->setFocus();
        return false;
    }
    return true;
}

void AuditPage::applyFilter()
{
    AuditFilter filter;
    if (!typedFilter(&filter) || !m_state.MainDatabase) return;
    // One row more than the page holds tells that there are more.
    filter.newest = PageRows + 1;
    m_table->setRowCount(0);
    int count = 0;
    const Status s = readAuditRows(*m_state.MainDatabase, filter, [&](const AuditRow& r) {
        if (++count > PageRows) return false;
        m_table->insertRow(m_table->rowCount());
        const QStringList cells = cellsOf(r);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (c == kActionColumn) item->setToolTip(r.action);
            if (c == cells.size() - 1) item->setToolTip(cells.at(c));
            m_table->setItem(m_table->rowCount() - 1, c, item);
        }
        return true;
    });
    m_shown = filter;
    for (int c = 0; c + 1 < m_table->columnCount(); ++c)
        m_table->resizeColumnToContents(c);
    if (!s) m_state.reportError(s.error);
    m_note->setText(count > PageRows ? u("只列出最新的 %1 列；匯出包含全部符合的列，或請縮小篩選範圍。")
                                           .arg(QLocale().toString(PageRows))
                    : count == 0 ? u("沒有符合的紀錄。")
                                 : u("共 %1 列，最新的在上。").arg(count));
    if (count > 0) m_table->selectRow(0);
}

QString AuditPage::filterText() const
{
    QStringList parts;
    if (!m_shown.custNo.isEmpty()) parts << u("受測者編號 %1").arg(m_shown.custNo);
    if (!m_shown.from.isEmpty()) parts << u("自 %1").arg(m_shown.from);
    if (!m_shown.to.isEmpty()) parts << u("至 %1").arg(m_shown.to);
    if (!m_shown.action.isEmpty()) parts << u("動作 %1").arg(auditActionLabel(m_shown.action));
    return parts.isEmpty() ? u("全部") : parts.join(u("，"));
}

void AuditPage::exportRows()
{
    if (!m_state.MainDatabase) return;
    QFileDialog dialog(this, u("匯出稽核紀錄"), QString(),
                       u("JSON 逐列 (*.jsonl)") + QStringLiteral(";;") + u("CSV 試算表 (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(lastReportFolder());
    dialog.selectFile(QStringLiteral("lumo-audit-%1.jsonl").arg(QDate::currentDate().toString(Qt::ISODate)));
    // The filter chosen decides the suffix of a name typed without one.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        dialog.setDefaultSuffix(f.contains(QLatin1String("csv")) ? QStringLiteral("csv")
                                                                 : QStringLiteral("jsonl"));
    });
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    if (execModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString file = dialog.selectedFiles().constFirst();
    rememberReportFolder(QFileInfo(file).absolutePath());
    qint64 rows = 0;
    const Status s = exportAuditRows(*m_state.MainDatabase, m_shown, file, auditExportFormatOf(file), &rows);
    if (!s) {
        m_state.reportError(s.error);
        return;
    }
    auditOrReport(m_state,
                  {QStringLiteral("audit.export"), m_shown.custNo, 0,
                   u("%1（%2，%3 列）").arg(QDir::toNativeSeparators(file), filterText()).arg(rows)});
    m_state.ShowMessageDialog(NoteImportant,
                              u("已匯出 %1 列稽核紀錄到\n%2").arg(rows).arg(QDir::toNativeSeparators(file)));
}

void AuditPage::printRows()
{
    QString html = u("<h3>稽核紀錄</h3><p>篩選：%1；%2</p><table border=\"1\" cellspacing=\"0\" "
                     "cellpadding=\"2\" style=\"font-size:8pt\"><tr>")
                       .arg(filterText().toHtmlEscaped(), m_note->text().toHtmlEscaped());
    for (const char* h : kHeaders)
        html += QStringLiteral("<th>%1</th>").arg(u(h));
    html += QStringLiteral("</tr>");
    for (int r = 0; r < m_table->rowCount(); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < m_table->columnCount(); ++c)
            html += QStringLiteral("<td>%1</td>").arg(m_table->item(r, c)->text().toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    QTextDocument doc;
    doc.setHtml(html + QStringLiteral("</table>"));
    const QString title = u("稽核紀錄");
    if (!previewBeforePrinting(this, title, m_state.printer, [&doc](QPrinter& p) { doc.print(&p); })) return;
    const PrintTarget target = choosePrintTarget(this, m_state.printer, QStringLiteral("lumo-audit.pdf"));
    if (target.cancelled) return;
    QPrinter printer(QPrinter::HighResolution);
    applyPrinterChoice(m_state.printer, printer);
    printer.setDocName(title);
    if (!target.pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target.pdfFile);
    }
    doc.print(&printer);
    const bool pdf = !target.pdfFile.isEmpty();
    // The painter says nothing when the file could not be made: the file itself tells.
    if (pdf && !QFileInfo::exists(target.pdfFile)) {
        m_state.reportError(u("無法寫入 %1").arg(QDir::toNativeSeparators(target.pdfFile)));
        return;
    }
    auditOrReport(m_state, {pdf ? QStringLiteral("pdf") : QStringLiteral("print"),
                            {},
                            0,
                            title + QStringLiteral(": ") + (pdf ? target.pdfFile : filterText())});
    if (pdf) m_state.ShowMessageDialog(NoteImportant, reportPdfWrittenNotice(target.pdfFile));
}

QAction* addAuditLogEntry(QMenu* menu, SharedState& state, QWidget* window)
{
    QAction* entry = menu->addAction(u("稽核紀錄"));
    entry->setObjectName(QStringLiteral("AuditLogEntry"));
    entry->setStatusTip(u("查看、匯出及列印稽核紀錄（管理者）"));
    entry->setToolTip(entry->statusTip());
    entry->setVisible(false);
    QObject::connect(entry, &QAction::triggered, window, [&state, window] {
        // Asked again here: the menu is one way in, and the role rules them all.
        if (!allowed(state.Session, Permission::AuditLog) || !state.Session.practiceMode) {
            state.ShowMessageDialog(NoteAttention, refusalReason(Permission::AuditLog));
            return;
        }
        AuditPage page(state, window);
        execModal(page);
    });
    return entry;
}

void showAuditLogEntry(QAction* entry, const OperatorSession& session)
{
    entry->setVisible(session.practiceMode);
    if (session.practiceMode) guardControl(entry, session, Permission::AuditLog);
}

} // namespace lumo
