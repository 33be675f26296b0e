#pragma once
// How values print in failure messages: request bodies as their text.
#include <QByteArray>
#include <ostream>

// Found by argument lookup, so it must sit beside QByteArray in the global namespace.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << '"' << bytes.toStdString() << '"'; }
