// The main window's about box: the product, the version and the instrument's
// serial number, hardware version and usage counter.
#include "app/tzuform.h"

#include "base/formats.h"
#include "shell/ui/launcher.h"
#include "widgets/modal.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

void TZuForm::showAbout()
{
    SetModuleButtonsEnabled(false);
    QDialog box(this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(u("關於版本資料"));
    auto* grid = new QGridLayout(&box);
    auto* title = new QLabel(u(kProductTitle), &box);
    QFont f = title->font();
    f.setPointSize(16);
    f.setBold(true);
    title->setFont(f);
    grid->addWidget(title, 0, 0, 1, 2);
    grid->addWidget(new QLabel(u(kVersionLabel), &box), 1, 0, 1, 2);
    const QString hardware = m_hooks.hardwareVersion ? m_hooks.hardwareVersion() : QString();
    const qint64 counter = m_hooks.usageCounter ? m_hooks.usageCounter() : 0;
    const QString rows[][2] = {
        {QStringLiteral("Device SerialNo:"), m_state.SerialText},
        {QStringLiteral("Hardware Version:"), hardware},
        {QStringLiteral("Measurement Counter:"),
         QStringLiteral("[ ") + thousands(counter, 8) + QStringLiteral(" ]")},
    };
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(rows[i][0], &box), 2 + i, 0);
        auto* value = new QLabel(rows[i][1], &box);
        value->setObjectName(QStringLiteral("AboutValue%1").arg(i + 1));
        grid->addWidget(value, 2 + i, 1);
    }
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)), &box);
    connect(link, &QLabel::linkActivated, &box,
            [this](const QString& address) { launchAndReport(m_state.messages, address, QString()); });
    grid->addWidget(link, 5, 0, 1, 2);
    auto* ok = new QPushButton(u("確  定"), &box);
    connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    grid->addWidget(ok, 6, 0, 1, 2, Qt::AlignCenter);
    execModal(box);
    SetModuleButtonsEnabled(true);
}

} // namespace lumo
