#include "analysis/ui/abortbox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace lumo {

void runWithAbortBox(QWidget* parent, const std::function<void(const std::function<bool()>&)>& job)
{
    QDialog box(parent);
    box.setObjectName(QStringLiteral("TAbortBox"));
    box.setWindowTitle(QString::fromUtf8("列印"));
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(QString::fromUtf8("分析資料列印中...."), &box));
    auto* stop = new QPushButton(QString::fromUtf8("中斷列印"), &box);
    layout->addWidget(stop);
    bool abandon = false;
    QObject::connect(stop, &QPushButton::clicked, &box, [&] {
        abandon = true;
        box.hide();
    });
    box.show();
    QCoreApplication::processEvents();
    job([&] {
        QCoreApplication::processEvents();
        return abandon;
    });
    box.hide();
}

QString lastReportFolder()
{
    const QString kept = QSettings().value(QStringLiteral("reports/lastFolder")).toString();
    return !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : QDir::homePath();
}

void rememberReportFolder(const QString& folder)
{
    QSettings().setValue(QStringLiteral("reports/lastFolder"), folder);
}

PrintTarget choosePrintTarget(QWidget* parent, const PrinterChoice& choice, const QString& proposedName)
{
    PrintTarget t;
    t.pdfFile = choice.outputFile;
    if (t.pdfFile.isEmpty() && choice.printerName.isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        // A name typed without its suffix gets it: the dialog lists PDF files
        // only, and a report saved without it would not show there next time.
        QFileDialog dialog(parent, QString::fromUtf8("列印"), QString(), QStringLiteral("PDF (*.pdf)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        dialog.setDirectory(lastReportFolder());
        if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            t.pdfFile = dialog.selectedFiles().constFirst();
        t.cancelled = t.pdfFile.isEmpty();
        if (!t.cancelled) rememberReportFolder(QFileInfo(t.pdfFile).absolutePath());
    }
    return t;
}

} // namespace lumo
