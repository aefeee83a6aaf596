// The two pages of the import and export screen and its two read-only lists.
#include "records/ui/tzufile.h"

#include "records/ui/directorychooser.h"
#include "shell/sharedstate.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Rows of texts; a practice of many thousand subjects is one vector, read once.
class TextRows : public QAbstractTableModel
{
public:
    TextRows(QStringList headers, QObject* parent)
        : QAbstractTableModel(parent), m_headers(std::move(headers))
    {
    }
    void setRows(QVector<QStringList> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return m_rows.at(index.row()).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole) return {};
        return o == Qt::Horizontal ? QVariant(m_headers.value(section)) : QVariant(section + 1);
    }

private:
    QStringList m_headers;
    QVector<QStringList> m_rows;
};

QCheckBox* box(const char* name, const char* text, QWidget* parent)
{
    auto* b = new QCheckBox(u(text), parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* countLabel(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    return l;
}

} // namespace

QTableView* TZuFile::buildList(const char* name, QAbstractTableModel* model, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setObjectName(QLatin1String(name));
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->setDefaultSectionSize(22);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

QWidget* TZuFile::buildExportPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto* source = new QGroupBox(u("匯出的來源資料"), page);
    m_exportPrograms = box("CheckBox1", "專家療程資料", source);
    m_exportRecords = box("CheckBox2", "病歷檢測資料", source);
    m_exportCsv = box("CheckBox5", "研究用 CSV 檔案", source);
    m_anonymous = box("CheckBox6", "不含個人資料", source);
    m_programModel = new TextRows({u("編號"), u("療程名稱")}, this);
    m_subjectModel = new TextRows({u("編號"), u("姓名"), u("地址")}, this);
    // The lists live in an area of their own under the boxes, so that showing
    // or hiding one never moves a box.
    auto* listArea = new QWidget(source);
    listArea->setObjectName(QStringLiteral("ExportLists"));
    listArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_programList = buildList("DBGrid1", m_programModel, listArea);
    m_subjectList = buildList("DBGrid2", m_subjectModel, listArea);
    m_programList->setColumnWidth(0, 110);
    m_subjectList->setColumnWidth(0, 110);
    m_subjectList->setColumnWidth(1, 110);
    m_programCount = countLabel("ProgramCount", source);
    m_subjectCount = countLabel("SubjectCount", source);

    auto* boxes = new QVBoxLayout(source);
    auto* programRow = new QHBoxLayout;
    programRow->addWidget(m_exportPrograms);
    programRow->addStretch();
    programRow->addWidget(m_programCount);
    auto* subjectRow = new QHBoxLayout;
    subjectRow->addWidget(m_exportRecords);
    subjectRow->addStretch();
    subjectRow->addWidget(m_subjectCount);
    auto* csvRow = new QHBoxLayout;
    csvRow->addWidget(m_exportCsv);
    csvRow->addSpacing(24);
    csvRow->addWidget(m_anonymous);
    csvRow->addStretch();
    // The boxes stay together at the top; the lists shown share the room below.
    boxes->addLayout(programRow);
    boxes->addLayout(subjectRow);
    boxes->addLayout(csvRow);
    boxes->addWidget(listArea, 1);
    auto* lists = new QVBoxLayout(listArea);
    lists->setContentsMargins(0, 0, 0, 0);
    lists->addWidget(m_programList, 1);
    lists->addWidget(m_subjectList, 2);

    auto* target = new QGroupBox(u("匯出目的地"), page);
    m_exportDir = new DirectoryChooser(u("匯出到下列路徑"), target);
    m_exportDir->setObjectName(QStringLiteral("DirectoryListBox1"));
    auto* tl = new QVBoxLayout(target);
    tl->addWidget(m_exportDir, 1);
    tl->addWidget(new QLabel(u("檔案名稱：ZuTran.mdb"), target));

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(source, 3);
    layout->addWidget(target, 2);

    connect(m_exportPrograms, &QCheckBox::toggled, this, [this] { showLists(); });
    connect(m_exportRecords, &QCheckBox::toggled, this, [this] { showLists(); });
    connect(m_exportCsv, &QCheckBox::toggled, this, [this] { updateButtons(); });
    return page;
}

QWidget* TZuFile::buildImportPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto* options = new QGroupBox(u("匯入的資料選項"), page);
    m_importPrograms = box("CheckBox3", "專家療程資料", options);
    m_importRecords = box("CheckBox4", "病歷檢測資料", options);
    auto* ol = new QVBoxLayout(options);
    ol->addWidget(m_importPrograms);
    ol->addWidget(m_importRecords);

    auto* mode = new QGroupBox(u("匯入方式"), page);
    m_append = new QRadioButton(u("附加至資料中"), mode);
    m_append->setObjectName(QStringLiteral("RadioButton1"));
    m_append->setChecked(true);
    m_replace = new QRadioButton(u("取代原有資料"), mode);
    m_replace->setObjectName(QStringLiteral("RadioButton2"));
    auto* ml = new QVBoxLayout(mode);
    ml->addWidget(m_append);
    ml->addWidget(m_replace);

    auto* left = new QVBoxLayout;
    left->addWidget(options);
    left->addWidget(mode);
    left->addStretch();

    auto* from = new QGroupBox(u("由此處匯入"), page);
    m_importDir = new DirectoryChooser(u("由下列路徑匯入"), from);
    m_importDir->setObjectName(QStringLiteral("DirectoryListBox2"));
    m_files = new QListWidget(from);
    m_files->setObjectName(QStringLiteral("FileListBox1"));
    m_files->setMaximumHeight(64);
    auto* fl = new QVBoxLayout(from);
    fl->addWidget(m_importDir, 1);
    fl->addWidget(new QLabel(u("檔案名稱："), from));
    fl->addWidget(m_files);

    auto* layout = new QHBoxLayout(page);
    layout->addLayout(left, 2);
    layout->addWidget(from, 3);

    connect(m_importPrograms, &QCheckBox::toggled, this, [this] { updateImportFiles(); });
    connect(m_importRecords, &QCheckBox::toggled, this, [this] { updateImportFiles(); });
    connect(m_importDir, &DirectoryChooser::directoryChanged, this, [this] { updateImportFiles(); });
    return page;
}

// A ticked box shows its list and count; the lists are read when first shown.
void TZuFile::showLists()
{
    const bool programs = m_exportPrograms->isChecked();
    const bool records = m_exportRecords->isChecked();
    if ((programs || records) && !m_listsLoaded) {
        Status st;
        static_cast<TextRows*>(m_programModel)->setRows(transferProgramRows(*m_state.MainDatabase, &st));
        if (st)
            static_cast<TextRows*>(m_subjectModel)->setRows(transferSubjectRows(*m_state.MainDatabase, &st));
        if (!st) m_state.reportError(st.error);
        m_programCount->setText(transferCountText(m_programModel->rowCount()));
        m_subjectCount->setText(transferCountText(m_subjectModel->rowCount()));
        m_listsLoaded = true;
    }
    m_programList->setVisible(programs);
    m_programCount->setVisible(programs);
    m_subjectList->setVisible(records);
    m_subjectCount->setVisible(records);
    updateButtons();
}

} // namespace lumo
