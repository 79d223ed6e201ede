#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One settings file in the REGEDIT4 text format that administrators know from registry exports.
// The document keeps every line it does not change exactly as it was read (comments, values of
// types the explorer does not use, even lines it cannot make sense of), so that a rewrite never
// loses what another program or a person put there.
class CRegFile
{
public:
    enum class ValueType
    {
        String,
        Dword,
        Other
    };

    struct Value
    {
        ValueType type = ValueType::Other;
        // String: the text's UTF-8 bytes followed by the terminating NUL, as the registry stores it.
        // Dword: four bytes, little-endian. Other: empty.
        QByteArray data;
    };

    // Reads a whole file's text. Never fails: lines that are not sections or values are kept as
    // opaque text and ignored.
    void Parse(const QByteArray& text);
    QByteArray Serialize() const;

    // Section names are full key names such as "HKEY_CURRENT_USER\Software\...". Both section and
    // value names match without regard to case; when a value occurs more than once, the last wins.
    std::optional<Value> Find(const QString& section, const QString& name) const;

    // Stores a value, replacing an existing one of that name in place (keeping its spelling) or
    // adding it at the end of its section, which is created when missing.
    void Set(const QString& section, const QString& name, ValueType type, const QByteArray& data);

    static QByteArray FormatValueLine(const QString& name, ValueType type, const QByteArray& data);

private:
    struct Line
    {
        QByteArray text;  // the logical line, continuation lines joined with the file's line end
        int section = -1; // index into m_sections of the section the line stands in, -1 before any
        bool isSection = false;
        bool isValue = false;
        QString valueName; // for value lines
        Value value;       // for value lines
    };

    void ParseValueLine(Line& line) const;
    int FindSectionIndex(const QString& section) const;

    QList<Line> m_lines;
    QStringList m_sections; // section names in order of first appearance; duplicates get their own entry
    QByteArray m_lineEnd = "\n";
};
