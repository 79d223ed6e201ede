#include "files/SafeFormat.h"

#include <cstdio>

namespace {

struct Directive
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

QString IntegerText(const CFormatArg& arg, const Directive& directive)
{
    const QChar c = directive.conversion;
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
    if (directive.precision >= 0 && digits.size() < directive.precision)
        digits = digits.rightJustified(directive.precision, QLatin1Char('0'));
    QString sign;
    if (negative)
        sign = QStringLiteral("-");
    else if (isSigned && directive.plus)
        sign = QStringLiteral("+");
    else if (isSigned && directive.space)
        sign = QStringLiteral(" ");
    // Zero padding goes between the sign and the digits.
    if (directive.zero && !directive.left && directive.precision < 0 &&
        sign.size() + digits.size() < directive.width)
        digits = digits.rightJustified(directive.width - sign.size(), QLatin1Char('0'));
    return sign + digits;
}

QString RealText(const CFormatArg& arg, const Directive& directive)
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
    if (directive.plus)
        *f++ = '+';
    else if (directive.space)
        *f++ = ' ';
    *f++ = '.';
    *f++ = '*';
    *f++ = char(directive.conversion.unicode());
    *f = '\0';
    char buffer[512];
    const int written = std::snprintf(buffer, sizeof buffer, format,
                                      directive.precision < 0 ? 6 : qMin(directive.precision, 100), value);
    QString text = QString::fromLatin1(buffer, qBound(0, written, int(sizeof buffer) - 1));
    if (directive.zero && !directive.left && text.size() < directive.width && value == value) {
        const int signLength = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
        text.insert(signLength, QString(directive.width - text.size(), QLatin1Char('0')));
    }
    return text;
}

QString ArgumentText(const CFormatArg& arg, const Directive& directive)
{
    switch (directive.conversion.unicode()) {
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
        return directive.precision >= 0 ? text.left(directive.precision) : text;
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
        return RealText(arg, directive);
    default:
        return IntegerText(arg, directive);
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
        Directive directive;
        for (; i < format.size(); ++i) {
            const QChar f = format[i];
            if (f == QLatin1Char('-'))
                directive.left = true;
            else if (f == QLatin1Char('0'))
                directive.zero = true;
            else if (f == QLatin1Char('+'))
                directive.plus = true;
            else if (f == QLatin1Char(' '))
                directive.space = true;
            else if (f != QLatin1Char('#'))
                break;
        }
        directive.width = ReadNumber(format, i);
        if (i < format.size() && format[i] == QLatin1Char('.')) {
            ++i;
            directive.precision = ReadNumber(format, i);
        }
        while (i < format.size() && QStringView(u"hlqzjL").contains(format[i]))
            ++i;
        if (i >= format.size() || !IsConversion(format[i])) {
            // Not a conversion: the text stands as written.
            out += format.mid(start, i - start);
            continue;
        }
        directive.conversion = format[i++];
        if (next == args.end())
            continue;
        QString text = ArgumentText(*next++, directive);
        if (text.size() < directive.width)
            text =
                directive.left ? text.leftJustified(directive.width) : text.rightJustified(directive.width);
        out += text;
    }
    return out;
}

QString ElideStoredText(QStringView text, qsizetype maxChars)
{
    maxChars = qMax<qsizetype>(maxChars, 3);
    QString shown;
    if (text.size() <= maxChars) {
        shown = text.toString();
    } else {
        qsizetype head = (maxChars - 1) / 2;
        qsizetype tail = maxChars - 1 - head;
        if (head > 0 && text[head - 1].isHighSurrogate())
            --head;
        if (text[text.size() - tail].isLowSurrogate())
            --tail;
        shown = text.left(head).toString() + QChar(0x2026) + text.right(tail).toString();
    }
    for (QChar& c : shown) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    }
    return shown;
}
