#pragma once
// 候診區顯示: how a subject is shown where people in the waiting room can see
// the screen. A display choice only: the stored values never change, and the
// editors show the real ones.
//
// Names keep their first and last character with a single ○ between (王小明
// → 王○明, 歐陽小明 → 歐○明, John Smith → J○h): one ○ whatever the length, so
// the mask does not tell how long the name is. A two-character name keeps its
// first (王明 → 王○); a one-character name is all ○, since keeping its first
// character would keep all of it. Numbers and telephones keep about a quarter
// of their letters and digits at each end (at most three) and show ○ for each
// of the others; punctuation and blanks stay, so the form stays readable.
// Birth dates show the year only. Addresses keep their first three characters
// (the city) and e-mail addresses their first character and their domain.

#include <QString>

namespace lumo {

struct SubjectRow;

QString maskedName(const QString& name);
QString maskedNumber(const QString& number);
QString maskedAddress(const QString& address);
QString maskedEmail(const QString& email);

// A subject's fields as a list or header shows them: the real values, or
// under the mask the masked ones. The birth date is its short date (the year
// under the mask); empty for no birth date.
struct ShownSubject
{
    QString CUSTNO, NAME, DBIRTH, TEL, TEL2, TEL3, ADDR, EMAIL;
};
ShownSubject shownSubject(const SubjectRow& row, bool masked);

} // namespace lumo
