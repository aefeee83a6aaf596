#include "shell/ui/recentsubjects.h"

#include "practice/masking.h"
#include "records/subjects.h"
#include "shell/recentsubjects.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"
#include "widgets/modal.h"

#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <optional>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The list of the recent subjects: a digit chooses its line at once (1 the
// newest, 0 the tenth), Enter the current line, Esc nothing.
class RecentList : public QDialog
{
public:
    RecentList(QWidget* parent, const QVector<SubjectRow>& rows, bool masked) : QDialog(parent), m_rows(rows)
    {
        setObjectName(QStringLiteral("RecentSubjects"));
        setWindowTitle(u("最近的受測者"));
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("RecentSubjectList"));
        for (int i = 0; i < rows.size(); ++i) {
            const ShownSubject shown = shownSubject(rows[i], masked);
            m_list->addItem(QStringLiteral("%1   %2   %3").arg((i + 1) % 10).arg(shown.CUSTNO, shown.NAME));
        }
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(rows.isEmpty() ? u("尚無最近的受測者。")
                                                    : u("按數字鍵或以方向鍵與 Enter 選取受測者，Esc 離開。"),
                                     this));
        layout->addWidget(m_list);
        m_list->setCurrentRow(0);
        m_list->installEventFilter(this);
        connect(m_list, &QListWidget::itemActivated, this, [this] { choose(m_list->currentRow()); });
        resize(420, 300);
    }
    std::optional<SubjectRow> chosen() const { return m_chosen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_list && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key >= Qt::Key_0 && key <= Qt::Key_9) {
                choose(key == Qt::Key_0 ? 9 : key - Qt::Key_1);
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                choose(m_list->currentRow());
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }

private:
    void choose(int i)
    {
        if (i < 0 || i >= m_rows.size()) return;
        m_chosen = m_rows[i];
        accept();
    }
    QVector<SubjectRow> m_rows;
    QListWidget* m_list;
    std::optional<SubjectRow> m_chosen;
};

void showRecent(QWidget& window, SharedState& state, const std::function<void()>& chosen)
{
    QVector<SubjectRow> rows;
    if (state.MainDatabase)
        for (const QString& number : readRecentSubjects(state.DataDirectory))
            if (const std::optional<SubjectRow> row = SubjectStore(*state.MainDatabase).findByCustNo(number))
                rows << *row; // a subject deleted since is left out
    RecentList list(&window, rows, state.waitingRoom.on());
    if (execModal(list) != QDialog::Accepted || !list.chosen()) return;
    const SubjectRow r = *list.chosen();
    if (state.CurrentSubject.CUSTNO.compare(r.CUSTNO, Qt::CaseInsensitive) != 0)
        state.CurrentMeasurementKey = 0; // the measurement shown is not that subject's
    state.CurrentSubject = r;
    noteRecentSubject(state.DataDirectory, r.CUSTNO);
    chosen();
}

} // namespace

void offerRecentSubjects(QWidget& window, SharedState& state, std::function<void()> chosen)
{
    auto* a = new QAction(u("最近的受測者"), &window);
    a->setObjectName(QStringLiteral("RecentSubjectsAction"));
    a->setShortcut(shortcutFor(CommonAction::Recent).key);
    a->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(a, &QAction::triggered, &window,
                     [&window, &state, chosen = std::move(chosen)] { showRecent(window, state, chosen); });
    window.addAction(a);
}

} // namespace lumo
