#include "startup/SafeFormat.h"

#include <cstdio>

namespace {

struct Spec
{
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    int width = 0;
    int precision = -1;
    QChar conversion;
};

// Reads a run of ASCII digits as a number, saturating far beyond any sensible width.
int ReadNumber(QStringView format, qsizetype& i)
{
    int value = 0;
    while (i < format.size() && format[i] >= QLatin1Char('0') && format[i] <= QLatin1Char('9')) {
        value = qMin(value * 10 + (format[i].unicode() - '0'), 100000);
        ++i;
    }
    return value;
}

QString IntegerText(const CFormatArg& arg, const Spec& spec)
{
    const QChar c = spec.conversion;
    const bool isSigned = c == QLatin1Char('d') || c == QLatin1Char('i');
    int base = 10;
    if (c == QLatin1Char('x') || c == QLatin1Char('X'))
        base = 16;
    else if (c == QLatin1Char('o'))
        base = 8;

    bool negative = false;
    quint64 magnitude = 0;
    switch (arg.m_kind) {
    case CFormatArg::Kind::Signed:
        negative = arg.m_signed < 0;
        magnitude = negative ? quint64(0) - quint64(arg.m_signed) : quint64(arg.m_signed);
        break;
    case CFormatArg::Kind::Unsigned:
        magnitude = arg.m_unsigned;
        break;
    case CFormatArg::Kind::Real: {
        // Dropping the fraction, as a cast would; out-of-range values saturate instead of wrapping.
        const double r = arg.m_real;
        if (r != r)
            break;
        negative = r < 0;
        const double a = negative ? -r : r;
        magnitude = a >= 18446744073709551615.0 ? ~quint64(0) : quint64(a);
        break;
    }
    case CFormatArg::Kind::Text:
        return arg.m_text;
    }
    if (!isSigned && negative) {
        // Unsigned conversions show a negative number as its two's complement, as printf does.
        magnitude = quint64(0) - magnitude;
        negative = false;
    }
    QString digits = QString::number(magnitude, base);
    if (c == QLatin1Char('X'))
        digits = digits.toUpper();
    if (spec.precision >= 0 && digits.size() < spec.precision)
        digits = digits.rightJustified(spec.precision, QLatin1Char('0'));
    QString sign;
    if (negative)
        sign = QStringLiteral("-");
    else if (isSigned && spec.plus)
        sign = QStringLiteral("+");
    else if (isSigned && spec.space)
        sign = QStringLiteral(" ");
    // Zero padding goes between the sign and the digits.
    if (spec.zero && !spec.left && spec.precision < 0 && sign.size() + digits.size() < spec.width)
        digits = digits.rightJustified(spec.width - sign.size(), QLatin1Char('0'));
    return sign + digits;
}

QString RealText(const CFormatArg& arg, const Spec& spec)
{
    double value = 0;
    switch (arg.m_kind) {
    case CFormatArg::Kind::Real:
        value = arg.m_real;
        break;
    case CFormatArg::Kind::Signed:
        value = double(arg.m_signed);
        break;
    case CFormatArg::Kind::Unsigned:
        value = double(arg.m_unsigned);
        break;
    case CFormatArg::Kind::Text:
        return arg.m_text;
    }
    // The C library rounds as printf does; the width is applied by the caller.
    char format[8] = "%";
    char* f = format + 1;
    if (spec.plus)
        *f++ = '+';
    else if (spec.space)
        *f++ = ' ';
    *f++ = '.';
    *f++ = '*';
    *f++ = char(spec.conversion.unicode());
    *f = '\0';
    char buffer[512];
    const int written = std::snprintf(buffer, sizeof buffer, format,
                                      spec.precision < 0 ? 6 : qMin(spec.precision, 100), value);
    QString text = QString::fromLatin1(buffer, qBound(0, written, int(sizeof buffer) - 1));
    if (spec.zero && !spec.left && text.size() < spec.width && value == value) {
        const int signLength = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
        text.insert(signLength, QString(spec.width - text.size(), QLatin1Char('0')));
    }
    return text;
}

QString ArgumentText(const CFormatArg& arg, const Spec& spec)
{
    switch (spec.conversion.unicode()) {
    case 's': {
        QString text;
        switch (arg.m_kind) {
        case CFormatArg::Kind::Text:
            text = arg.m_text;
            break;
        case CFormatArg::Kind::Signed:
            text = QString::number(arg.m_signed);
            break;
        case CFormatArg::Kind::Unsigned:
            text = QString::number(arg.m_unsigned);
            break;
        case CFormatArg::Kind::Real:
            text = QString::number(arg.m_real);
            break;
        }
        return spec.precision >= 0 ? text.left(spec.precision) : text;
    }
    case 'c':
        if (arg.m_kind == CFormatArg::Kind::Text)
            return arg.m_text.left(1);
        return QString(
            QChar(char16_t(arg.m_kind == CFormatArg::Kind::Signed ? arg.m_signed : arg.m_unsigned)));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        return RealText(arg, spec);
    default:
        return IntegerText(arg, spec);
    }
}

bool IsConversion(QChar c)
{
    return QStringView(u"diuxXocsfFeEgG").contains(c);
}

} // namespace

QString FormatText(QStringView format, std::initializer_list<CFormatArg> args)
{
    QString out;
    out.reserve(format.size());
    auto next = args.begin();
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            ++i;
            continue;
        }
        if (format[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i += 2;
            continue;
        }
        const qsizetype start = i++;
        Spec spec;
        for (; i < format.size(); ++i) {
            const QChar f = format[i];
            if (f == QLatin1Char('-'))
                spec.left = true;
            else if (f == QLatin1Char('0'))
                spec.zero = true;
            else if (f == QLatin1Char('+'))
                spec.plus = true;
            else if (f == QLatin1Char(' '))
                spec.space = true;
            else if (f != QLatin1Char('#'))
                break;
        }
        spec.width = ReadNumber(format, i);
        if (i < format.size() && format[i] == QLatin1Char('.')) {
            ++i;
            spec.precision = ReadNumber(format, i);
        }
        while (i < format.size() && QStringView(u"hlqzjL").contains(format[i]))
            ++i;
        if (i >= format.size() || !IsConversion(format[i])) {
            // Not a conversion: the text stands as written.
            out += format.mid(start, i - start);
            continue;
        }
        spec.conversion = format[i++];
        if (next == args.end())
            continue;
        QString text = ArgumentText(*next++, spec);
        if (text.size() < spec.width)
            text = spec.left ? text.leftJustified(spec.width) : text.rightJustified(spec.width);
        out += text;
    }
    return out;
}
