// Byte strings to screen text and back: one byte is one character (Latin-1),
// so any byte string round-trips unchanged, NUL included.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tempolog {

inline QString ToScreen(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Characters beyond Latin-1 (which the program never produces) become "?".
inline std::string FromScreen(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace tempolog
