#pragma once

#include <QString>
#include <QStringView>

#include <initializer_list>
#include <type_traits>

// One argument of SafeFormat: a text or a number.
class CFormatArg
{
public:
    CFormatArg(const QString& text) : m_kind(Kind::Text), m_text(text) {}
    CFormatArg(const char* text) : m_kind(Kind::Text), m_text(QString::fromUtf8(text)) {}
    CFormatArg(QLatin1String text) : m_kind(Kind::Text), m_text(text) {}
    template<typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    CFormatArg(T value) : m_kind(Kind::Signed), m_signed(value)
    {
    }
    template<typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_signed_v<T>, int> = 0>
    CFormatArg(T value) : m_kind(Kind::Unsigned), m_unsigned(value)
    {
    }
    CFormatArg(double value) : m_kind(Kind::Real), m_real(value) {}

    enum class Kind
    {
        Text,
        Signed,
        Unsigned,
        Real
    };
    Kind m_kind;
    QString m_text;
    qint64 m_signed = 0;
    quint64 m_unsigned = 0;
    double m_real = 0;
};

// Fills a printf-style format ("%s/troveport/details/%d.asp", "%04d", "%%") with its arguments in
// one pass over the format. Arguments are inserted as they stand and never scanned again, so a
// path, title or setting that holds "%1" or "%s" comes out unchanged. Supported: the flags "-",
// "0", "+" and " ", a width, a precision, the length modifiers h, l, ll, q, z, j and the
// conversions d, i, u, x, X, o, c, s, f, e, g. A conversion without an argument gives nothing.
QString FormatText(QStringView format, std::initializer_list<CFormatArg> args);

template<typename... Args> QString SafeFormat(QStringView format, const Args&... args)
{
    return FormatText(format, {CFormatArg(args)...});
}

// A text someone else stored (a location, a title), shortened for a message: at most maxChars
// characters, the middle replaced by "…" so both ends stay readable, never splitting a surrogate
// pair, line breaks shown as spaces. A site can store megabytes in a field; a message box must
// not lay them out.
QString ElideStoredText(QStringView text, qsizetype maxChars = 160);
