#pragma once

#include <QtGlobal>

#include <optional>

// The interface hands keys around as doubles, which hold integers exactly only up to 2^53 - 1: a
// row with a larger key would be taken for another row, so such rows are never acted on.
constexpr qint64 kMaxExactKey = (qint64(1) << 53) - 1;

inline bool IsExactKey(qint64 key)
{
    return key >= -kMaxExactKey && key <= kMaxExactKey;
}

// The key a double stands for: none for a fraction, a NaN or a value beyond the exact range.
inline std::optional<qint64> KeyFromDouble(double id)
{
    if (!(id >= -double(kMaxExactKey) && id <= double(kMaxExactKey)) || id != double(qint64(id)))
        return std::nullopt;
    return qint64(id);
}
