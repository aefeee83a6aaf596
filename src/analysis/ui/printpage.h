#pragma once
// Page 8 of the analysis screen (資料列印): the print options, 列  印 and
// 列印設定, and the small box that lets a running print job be abandoned.

#include <QList>
#include <QWidget>
#include <functional>

class QAbstractButton;

namespace lumo {

struct SharedState;

class PrintPage : public QWidget
{
public:
    // `recordText` gives the treatment record as it stands when printing starts.
    PrintPage(SharedState& state, std::function<QString()> recordText, QWidget* parent = nullptr);

    // The options as the configuration keeps them: one digit per option, in order.
    QString printOptionsText() const;
    void printToPdf(const QString& path); // 列  印 onto a PDF file
    void print();

private:
    struct Pairs; // the three two-way choices
    void buildOptions(Pairs& pairs);
    void loadOptions(const Pairs& pairs);

    SharedState& m_state;
    std::function<QString()> m_recordText;
    QList<QAbstractButton*> m_options; // in PrintOptions order; pairs hold their first choice
};

} // namespace lumo
