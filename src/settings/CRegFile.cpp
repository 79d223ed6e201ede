#include "settings/CRegFile.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// The blanks QByteArray::trimmed() removes.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsBlank(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), IsSpace);
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool ContainsCrLf(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    const char* p = text.data();
    const char* const end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)))) != nullptr) {
        if (++p < end && *p == '\n')
            return true;
    }
    return false;
}

// Finds the end of a quoted string starting at text[pos] == '"' and returns the position after the
// closing quote, or -1 when there is none. Only \\ and \" are escapes in this format; a backslash
// before anything else stands for itself.
qsizetype SkipQuoted(QByteArrayView text, qsizetype pos)
{
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            return i + 1;
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
            ++i;
    }
    return -1;
}

// Reads the quoted string starting at text[pos] == '"' and moves pos past it.
std::optional<QByteArray> ReadQuoted(QByteArrayView text, qsizetype& pos)
{
    const qsizetype end = SkipQuoted(text, pos);
    if (end < 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(end - pos - 2);
    for (qsizetype i = pos + 1; i < end - 1; ++i) {
        if (text[i] == '\\' && (text[i + 1] == '\\' || text[i + 1] == '"'))
            ++i;
        out += text[i];
    }
    pos = end;
    return out;
}

void SkipSpaces(QByteArrayView text, qsizetype& pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
}

// For a line that starts a value ("Name" = ... or @= ...), the position just after the "=" and
// the blanks that follow it; -1 for any other line.
qsizetype ValueDataStart(QByteArrayView line)
{
    qsizetype pos = 0;
    if (line.startsWith('@'))
        pos = 1;
    else if (!line.startsWith('"') || (pos = SkipQuoted(line, 0)) < 0)
        return -1;
    SkipSpaces(line, pos);
    if (pos >= line.size() || line[pos] != '=')
        return -1;
    ++pos;
    SkipSpaces(line, pos);
    return pos;
}

// True for data written in hex ("Name" = hex(1):41,...), which may go on over further lines.
bool StartsWithHex(QByteArrayView data)
{
    return data.size() >= 3 && QByteArrayView(data.first(3)).compare("hex", Qt::CaseInsensitive) == 0;
}

QByteArray Quote(const QByteArray& text)
{
    QByteArray out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses the comma-separated bytes of a hex value, which may run over several lines: backslashes
// and line ends are left out wherever they stand. Each byte is one or two hex digits, with blanks
// around it; an empty list is no bytes.
std::optional<QByteArray> ParseHexBytes(QByteArrayView text)
{
    QByteArray list;
    list.reserve(text.size());
    for (char c : text) {
        if (c != '\\' && c != '\r' && c != '\n')
            list += c;
    }
    QByteArray out;
    const QByteArrayView trimmed = Trimmed(list);
    if (trimmed.isEmpty())
        return out;
    out.reserve(trimmed.size() / 3 + 1);
    qsizetype pos = 0;
    while (true) {
        qsizetype comma = trimmed.indexOf(',', pos);
        const QByteArrayView item = Trimmed(trimmed.sliced(pos, (comma < 0 ? trimmed.size() : comma) - pos));
        if (item.isEmpty() || item.size() > 2)
            return std::nullopt;
        int v = 0;
        for (char c : item) {
            const int d = HexDigit(c);
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
        }
        out += char(v);
        if (comma < 0)
            return out;
        pos = comma + 1;
    }
}

QByteArray DwordBytes(quint32 v)
{
    QByteArray out(4, '\0');
    qToLittleEndian(v, out.data());
    return out;
}

} // namespace

void CRegFile::Parse(const QByteArray& input)
{
    m_text = input;
    m_sections.clear();
    m_values.clear();
    m_openAtEnd = false;
    m_bodyBegin = m_text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const QByteArrayView text(m_text);
    m_lineEnd = ContainsCrLf(text.sliced(m_bodyBegin)) ? QByteArray("\r\n") : QByteArray("\n");

    // One physical line: [begin, contentEnd) is its text, end is after its line end.
    qsizetype begin = 0, contentEnd = 0, end = m_bodyBegin;
    auto nextLine = [&]() {
        begin = end;
        const qsizetype newline = text.indexOf('\n', begin);
        end = newline < 0 ? text.size() : newline + 1;
        contentEnd =
            newline < 0 ? end : (newline > begin && text[newline - 1] == '\r' ? newline - 1 : newline);
    };

    int current = -1;
    while (end < text.size()) {
        // Blank lines change nothing: a run of them is passed over at once.
        qsizetype blank = end;
        while (blank < text.size() && IsSpace(text[blank]))
            ++blank;
        while (blank > end && text[blank - 1] != '\n')
            --blank;
        end = blank;
        if (end == text.size())
            break;
        nextLine();
        const QByteArrayView line = text.sliced(begin, contentEnd - begin);
        const QByteArrayView trimmed = Trimmed(line);
        if (line.startsWith('[') && trimmed.endsWith(']')) {
            const QByteArrayView name = Trimmed(trimmed.sliced(1, trimmed.size() - 2));
            m_sections.append(Section{name.data() - text.data(), name.size(), end});
            current = int(m_sections.size() - 1);
            continue;
        }
        const qsizetype lineBegin = begin;
        const qsizetype dataStart = ValueDataStart(line);
        // Hex values may run over several lines, each but the last ending in a backslash.
        if (dataStart >= 0 && StartsWithHex(line.sliced(dataStart))) {
            while (Trimmed(text.sliced(begin, contentEnd - begin)).endsWith('\\')) {
                if (end == text.size()) {
                    m_openAtEnd = true; // a line added after it would be taken as its next line
                    break;
                }
                nextLine();
            }
        }
        if (current < 0)
            continue;
        if (dataStart >= 0)
            m_values.append(ValueLine{lineBegin, contentEnd, end, current});
        if (!IsBlank(text.sliced(lineBegin, contentEnd - lineBegin)))
            m_sections[current].appendAt = end;
    }
}

// A section or value name asked for, compared with names as the file holds them (UTF-8) without
// regard to case. ASCII names, the usual kind, are compared without making strings.
class CRegFile::NameMatcher
{
public:
    explicit NameMatcher(const QString& name) : m_name(name)
    {
        m_ascii = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (m_ascii)
            m_lower = name.toLatin1().toLower();
    }

    bool Matches(QByteArrayView utf8) const
    {
        if (m_ascii && std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; })) {
            if (utf8.size() != m_lower.size())
                return false;
            for (qsizetype i = 0; i < utf8.size(); ++i) {
                const char c = utf8[i];
                if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != m_lower[i])
                    return false;
            }
            return true;
        }
        // Other characters may fold onto ASCII ones (the Kelvin sign onto "k"), so only the
        // registry's own comparison will do.
        return QString::fromUtf8(utf8).compare(m_name, Qt::CaseInsensitive) == 0;
    }

private:
    QString m_name;
    bool m_ascii = false;
    QByteArray m_lower;
};

bool CRegFile::IsNamed(const Section& section, const NameMatcher& name) const
{
    return name.Matches(QByteArrayView(m_text).sliced(section.nameBegin, section.nameLength));
}

bool CRegFile::IsNamed(const ValueLine& value, const NameMatcher& name) const
{
    const QByteArrayView line = QByteArrayView(m_text).sliced(value.begin, value.contentEnd - value.begin);
    if (line.startsWith('@'))
        return name.Matches(QByteArrayView());
    const QByteArrayView quoted = line.first(SkipQuoted(line, 0));
    const QByteArrayView raw = quoted.sliced(1, quoted.size() - 2);
    if (!raw.contains('\\'))
        return name.Matches(raw);
    qsizetype pos = 0;
    return name.Matches(ReadQuoted(line, pos).value_or(QByteArray()));
}

QString CRegFile::ValueName(const ValueLine& value) const
{
    const QByteArrayView line = QByteArrayView(m_text).sliced(value.begin, value.contentEnd - value.begin);
    if (line.startsWith('@'))
        return QString();
    qsizetype pos = 0;
    return QString::fromUtf8(ReadQuoted(line, pos).value_or(QByteArray()));
}

CRegFile::Value CRegFile::ValueOf(const ValueLine& valueLine) const
{
    const QByteArrayView line =
        QByteArrayView(m_text).sliced(valueLine.begin, valueLine.contentEnd - valueLine.begin);
    const QByteArrayView rest = line.sliced(ValueDataStart(line));
    Value value;
    if (rest.startsWith('"')) {
        qsizetype p = 0;
        const auto s = ReadQuoted(rest, p);
        if (s && IsBlank(rest.sliced(p))) {
            value.type = ValueType::String;
            value.data = *s + '\0';
        }
    } else if (rest.size() >= 6 && rest.first(6).compare("dword:", Qt::CaseInsensitive) == 0) {
        const QByteArray digits = Trimmed(rest.sliced(6)).toByteArray();
        bool ok = false;
        const uint v = digits.toUInt(&ok, 16);
        if (ok && !digits.isEmpty() && digits.size() <= 8) {
            value.type = ValueType::Dword;
            value.data = DwordBytes(v);
        }
    } else if (StartsWithHex(rest)) {
        const qsizetype colon = rest.indexOf(':');
        if (colon < 0)
            return value;
        const QByteArrayView kind = rest.first(colon);
        const auto bytes = ParseHexBytes(rest.sliced(colon + 1));
        if (!bytes)
            return value;
        if (kind.compare("hex(1)", Qt::CaseInsensitive) == 0) {
            value.type = ValueType::String;
            value.data = *bytes;
            if (!value.data.endsWith('\0'))
                value.data += '\0';
        } else if (kind.compare("hex(4)", Qt::CaseInsensitive) == 0 && bytes->size() == 4) {
            value.type = ValueType::Dword;
            value.data = *bytes;
        }
    }
    return value;
}

std::optional<CRegFile::Value> CRegFile::Find(const QString& section, const QString& name) const
{
    const NameMatcher sectionName(section);
    const NameMatcher valueName(name);
    int checked = -1; // the values of a section stand together: its name is compared once
    bool inSection = false;
    for (qsizetype i = m_values.size() - 1; i >= 0; --i) {
        const ValueLine& v = m_values[i];
        if (v.section != checked) {
            checked = v.section;
            inSection = IsNamed(m_sections[checked], sectionName);
        }
        if (inSection && IsNamed(v, valueName))
            return ValueOf(v);
    }
    return std::nullopt;
}

QByteArray CRegFile::FormatValueLine(const QString& name, ValueType type, const QByteArray& data)
{
    QByteArray out = name.isEmpty() ? QByteArray("@") : Quote(name.toUtf8());
    out += '=';
    if (type == ValueType::Dword) {
        out += "dword:" +
               QByteArray::number(qFromLittleEndian<quint32>(data.constData()), 16).rightJustified(8, '0');
        return out;
    }
    QByteArray text = data;
    if (text.endsWith('\0'))
        text.chop(1);
    // A quoted string cannot hold a line break or NUL; such texts go out as their bytes.
    if (text.contains('\n') || text.contains('\r') || text.contains('\0')) {
        out += "hex(1):";
        const QByteArray withNul = text + '\0';
        for (qsizetype i = 0; i < withNul.size(); ++i) {
            if (i)
                out += ',';
            out += QByteArray::number(uchar(withNul[i]), 16).rightJustified(2, '0');
        }
        return out;
    }
    return out + Quote(text);
}

void CRegFile::Set(const QString& section, const QString& name, ValueType type, const QByteArray& data)
{
    Q_ASSERT(type != ValueType::Other);
    const QByteArray stored = type == ValueType::String && !data.endsWith('\0') ? data + '\0' : data;

    // The changes, in the order of the file: bytes [begin, end) become text.
    struct Edit
    {
        qsizetype begin;
        qsizetype end;
        QByteArray text;
    };
    QList<Edit> edits;

    const NameMatcher sectionName(section);
    const NameMatcher valueName(name);
    QList<qsizetype> found;
    int checked = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        const ValueLine& v = m_values[i];
        if (v.section != checked) {
            checked = v.section;
            inSection = IsNamed(m_sections[checked], sectionName);
        }
        if (inSection && IsNamed(v, valueName))
            found.append(i);
    }
    if (!found.isEmpty()) {
        // The last occurrence is the one reads find: it takes the new data where it stands, with its
        // own spelling (the registry keeps a value's first spelling); the others, which it overrode,
        // go, so that none of them can come back into force.
        const ValueLine& kept = m_values[found.last()];
        for (qsizetype i : found) {
            const ValueLine& v = m_values[i];
            if (i == found.last())
                edits.append({v.begin, v.contentEnd, FormatValueLine(ValueName(kept), type, stored)});
            else
                edits.append({v.begin, v.end, QByteArray()});
        }
    } else {
        const QByteArray line = FormatValueLine(name, type, stored) + m_lineEnd;
        qsizetype last = m_sections.size() - 1;
        while (last >= 0 && !IsNamed(m_sections[last], sectionName))
            --last;
        const bool unterminated = !m_text.endsWith('\n') && m_text.size() > m_bodyBegin;
        if (last >= 0) {
            const qsizetype at = m_sections[last].appendAt;
            QByteArray add;
            if (at == m_text.size()) {
                if (unterminated)
                    add += m_lineEnd;
                if (m_openAtEnd) // a blank line ends the hex value that would go on
                    add += m_lineEnd;
            }
            edits.append({at, at, add + line});
        } else {
            QByteArray add;
            if (m_text.size() == m_bodyBegin) {
                add = "REGEDIT4" + m_lineEnd + m_lineEnd;
            } else {
                // After a blank line, as regedit writes sections.
                qsizetype lastLine = m_text.size() - (unterminated ? 0 : 1);
                while (lastLine > m_bodyBegin && m_text[lastLine - 1] != '\n')
                    --lastLine;
                if (unterminated)
                    add += m_lineEnd;
                if (!IsBlank(QByteArrayView(m_text).sliced(lastLine)))
                    add += m_lineEnd;
            }
            add += "[" + section.toUtf8() + "]" + m_lineEnd + line;
            edits.append({m_text.size(), m_text.size(), add});
        }
    }

    QByteArray out;
    qsizetype size = m_text.size();
    for (const Edit& e : edits)
        size += e.text.size() - (e.end - e.begin);
    out.reserve(size);
    qsizetype pos = 0;
    for (const Edit& e : edits) {
        out.append(QByteArrayView(m_text).sliced(pos, e.begin - pos));
        out.append(e.text);
        pos = e.end;
    }
    out.append(QByteArrayView(m_text).sliced(pos));
    Parse(out);
}
