#pragma once
// Code page 950 (Big5) conversion. Every file the program shares with older
// installations holds its text in this code page; in memory all text is QString.

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumo {

// The converter's name of the code page; readers of older files that convert
// through their own converter (the Access library) are set to the same one.
inline constexpr const char* Cp950Name = "CP950";

// Bytes that are not valid CP950 (including the user-defined area, which the
// converter rejects) each become U+FFFD instead of failing the whole text.
QString fromCp950(const QByteArray& bytes);

// Characters without a CP950 form become '?'.
QByteArray toCp950(const QString& text);
// Nothing when a character has no CP950 form; badIndex then holds its index in the text.
std::optional<QByteArray> toCp950Strict(const QString& text, qsizetype* badIndex = nullptr);

// True when every byte sequence of the text is valid CP950.
bool isValidCp950(const QByteArray& bytes);

} // namespace lumo
