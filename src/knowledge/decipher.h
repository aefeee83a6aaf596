#pragma once
// The stored form of the knowledge texts: hexadecimal pairs, each byte mixed
// with the previous stored pair and a cyclic key.

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumo {

inline constexpr const char* KnowledgeKey = "RiverStoneOak";

// The plain bytes (code page 950) of a stored text. A text of one or two
// characters, or one with a pair that is not hexadecimal, is an error.
std::optional<QByteArray> decipherKnowledgeBytes(const QString& stored, QString* error = nullptr);
// The same as text.
std::optional<QString> DecipherKnowledgeText(const QString& stored, QString* error = nullptr);

// The inverse: the stored form of the bytes, starting with the given first pair.
// Bytes of 0 cannot be stored unless they follow a stored pair of FF; such
// input is refused.
std::optional<QString> encipherKnowledgeBytes(const QByteArray& plain, int firstPair,
                                              QString* error = nullptr);
// The text's characters must all have a code page 950 form; one that has none is refused.
std::optional<QString> EncipherKnowledgeText(const QString& plain, int firstPair, QString* error = nullptr);

} // namespace lumo
