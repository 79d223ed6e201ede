#include "startup/CRegFile.h"

#include <QtEndian>

namespace {

bool IsBlank(const QByteArray& line)
{
    return line.trimmed().isEmpty();
}

// Reads a quoted string starting at text[pos] == '"'. Only \\ and \" are escapes in this format; a
// backslash before anything else stands for itself.
std::optional<QByteArray> ReadQuoted(const QByteArray& text, qsizetype& pos)
{
    QByteArray out;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            out += text[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

// True for a value line whose data is written in hex ("Name" = hex(1):41,...), which may go on
// over further lines.
bool IsHexValueLine(const QByteArray& line)
{
    qsizetype pos = 0;
    if (line.startsWith('@'))
        pos = 1;
    else if (!ReadQuoted(line, pos))
        return false;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return false;
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    return line.mid(pos, 3).toLower() == "hex";
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

void SkipSpaces(const QByteArray& text, qsizetype& pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
}

// Parses the comma-separated bytes of a hex value; the continuation backslashes and line ends have
// already been removed by the caller.
std::optional<QByteArray> ParseHexBytes(const QByteArray& list)
{
    QByteArray out;
    const QByteArray trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return out;
    for (const QByteArray& item : trimmed.split(',')) {
        const QByteArray t = item.trimmed();
        bool ok = false;
        const uint v = t.toUInt(&ok, 16);
        if (!ok || t.size() > 2)
            return std::nullopt;
        out += char(v);
    }
    return out;
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
    m_lines.clear();
    m_sections.clear();
    QByteArray text = input;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    m_lineEnd = text.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    if (text.endsWith('\n'))
        text.chop(1);
    QList<QByteArray> physical = text.isEmpty() ? QList<QByteArray>() : text.split('\n');
    for (QByteArray& p : physical) {
        if (p.endsWith('\r'))
            p.chop(1);
    }

    int current = -1;
    for (qsizetype i = 0; i < physical.size(); ++i) {
        Line line;
        line.text = physical[i];
        const QByteArray trimmed = line.text.trimmed();
        if (line.text.startsWith('[') && trimmed.endsWith(']')) {
            line.isSection = true;
            m_sections.append(QString::fromUtf8(trimmed.mid(1, trimmed.size() - 2).trimmed()));
            current = int(m_sections.size() - 1);
            line.section = current;
        } else {
            line.section = current;
            if (line.text.startsWith('"') || line.text.startsWith('@')) {
                // Hex values may run over several lines, each but the last ending in a backslash.
                if (IsHexValueLine(line.text)) {
                    while (line.text.trimmed().endsWith('\\') && i + 1 < physical.size())
                        line.text += m_lineEnd + physical[++i];
                }
                if (current >= 0)
                    ParseValueLine(line);
            }
        }
        m_lines.append(line);
    }
}

void CRegFile::ParseValueLine(Line& line) const
{
    const QByteArray& text = line.text;
    qsizetype pos = 0;
    QByteArray name;
    if (text.startsWith('@')) {
        pos = 1;
    } else {
        const auto quoted = ReadQuoted(text, pos);
        if (!quoted)
            return;
        name = *quoted;
    }
    SkipSpaces(text, pos);
    if (pos >= text.size() || text[pos] != '=')
        return;
    ++pos;
    SkipSpaces(text, pos);

    line.isValue = true;
    line.valueName = QString::fromUtf8(name);
    line.value = Value();
    const QByteArray rest = text.mid(pos);
    const QByteArray lower = rest.toLower();

    if (rest.startsWith('"')) {
        qsizetype p = 0;
        const auto s = ReadQuoted(rest, p);
        if (s && rest.mid(p).trimmed().isEmpty()) {
            line.value.type = ValueType::String;
            line.value.data = *s + '\0';
        }
    } else if (lower.startsWith("dword:")) {
        const QByteArray digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint v = digits.toUInt(&ok, 16);
        if (ok && !digits.isEmpty() && digits.size() <= 8) {
            line.value.type = ValueType::Dword;
            line.value.data = DwordBytes(v);
        }
    } else if (lower.startsWith("hex")) {
        const qsizetype colon = rest.indexOf(':');
        if (colon < 0)
            return;
        const QByteArray kind = lower.left(colon);
        QByteArray list = rest.mid(colon + 1);
        list.replace('\\', "");
        list.replace('\r', "");
        list.replace('\n', "");
        const auto bytes = ParseHexBytes(list);
        if (!bytes)
            return;
        if (kind == "hex(1)") {
            line.value.type = ValueType::String;
            line.value.data = *bytes;
            if (!line.value.data.endsWith('\0'))
                line.value.data += '\0';
        } else if (kind == "hex(4)" && bytes->size() == 4) {
            line.value.type = ValueType::Dword;
            line.value.data = *bytes;
        }
    }
}

QByteArray CRegFile::Serialize() const
{
    QByteArray out;
    for (const Line& line : m_lines)
        out += line.text + m_lineEnd;
    return out;
}

int CRegFile::FindSectionIndex(const QString& section) const
{
    for (qsizetype i = m_sections.size() - 1; i >= 0; --i) {
        if (m_sections[i].compare(section, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

std::optional<CRegFile::Value> CRegFile::Find(const QString& section, const QString& name) const
{
    std::optional<Value> found;
    for (const Line& line : m_lines) {
        if (line.isValue && line.valueName.compare(name, Qt::CaseInsensitive) == 0 &&
            m_sections[line.section].compare(section, Qt::CaseInsensitive) == 0)
            found = line.value;
    }
    return found;
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
    Line line;
    line.isValue = true;
    line.value.type = type;
    line.value.data = type == ValueType::String && !data.endsWith('\0') ? data + '\0' : data;

    int s = FindSectionIndex(section);
    if (s < 0) {
        if (m_lines.isEmpty()) {
            m_lines.append(Line{"REGEDIT4", -1, false, false, {}, {}});
            m_lines.append(Line{});
        } else if (!IsBlank(m_lines.last().text)) {
            m_lines.append(Line{"", m_lines.last().section, false, false, {}, {}});
        }
        m_sections.append(section);
        s = int(m_sections.size() - 1);
        m_lines.append(Line{"[" + section.toUtf8() + "]", s, true, false, {}, {}});
    }
    line.section = s;

    // Replace the value where it stands; drop earlier duplicates, which the last one overrides.
    qsizetype last = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        if (l.isValue && l.section == s && l.valueName.compare(name, Qt::CaseInsensitive) == 0)
            last = i;
    }
    if (last >= 0) {
        line.valueName = m_lines[last].valueName; // the registry keeps a value's first spelling
        line.text = FormatValueLine(line.valueName, type, line.value.data);
        m_lines[last] = line;
        for (qsizetype i = last - 1; i >= 0; --i) {
            const Line& l = m_lines[i];
            if (l.isValue && l.section == s && l.valueName.compare(name, Qt::CaseInsensitive) == 0)
                m_lines.removeAt(i);
        }
        return;
    }

    line.valueName = name;
    line.text = FormatValueLine(name, type, line.value.data);
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].section == s && (m_lines[i].isSection || !IsBlank(m_lines[i].text)))
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, line);
}
