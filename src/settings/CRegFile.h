#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One settings file in the REGEDIT4 text format that administrators know from registry exports.
// The document keeps the file's bytes as they were read and notes only where its sections and
// values stand; everything it does not change (comments, values of types the explorer does not
// use, even lines it cannot make sense of, a byte order mark, a last line without a line end) is
// written back byte for byte, so that a rewrite never loses what another program or a person put
// there. Parsing is linear in the file's size, and a line that is neither a section header nor a
// value costs no memory beyond its bytes. A const document may be read by several threads at once.
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
    // The text as read, with the changes Set made; Serialize() right after Parse(text) is text.
    QByteArray Serialize() const { return m_text; }

    // Section names are full key names such as "HKEY_CURRENT_USER\Software\...". Both section and
    // value names match without regard to case. A section may appear more than once: its values are
    // those of all its copies. When a value occurs more than once, the last in the file wins.
    std::optional<Value> Find(const QString& section, const QString& name) const;

    // Stores a value. The occurrence that Find would answer with is replaced in place (keeping its
    // spelling, as the registry keeps a value's first one) and every other occurrence of the name in
    // any copy of the section is removed; a new value goes after the last non-blank line of the
    // section's last copy, and a missing section is added at the end of the file.
    void Set(const QString& section, const QString& name, ValueType type, const QByteArray& data);

    static QByteArray FormatValueLine(const QString& name, ValueType type, const QByteArray& data);

private:
    // Offsets are into m_text.
    struct Section
    {
        qsizetype nameBegin = 0; // the name between the brackets, blanks removed
        qsizetype nameLength = 0;
        qsizetype appendAt = 0; // just after the line end of the section's last non-blank line
    };
    struct ValueLine
    {
        qsizetype begin = 0;      // start of the line
        qsizetype contentEnd = 0; // end of the text, continuation lines included, before the line end
        qsizetype end = 0;        // after the line end (the file's end for a last line without one)
        int section = -1;         // index into m_sections
    };

    class NameMatcher;

    bool IsNamed(const Section& section, const NameMatcher& name) const;
    bool IsNamed(const ValueLine& value, const NameMatcher& name) const;
    QString ValueName(const ValueLine& value) const;
    Value ValueOf(const ValueLine& value) const;

    QByteArray m_text;
    qsizetype m_bodyBegin = 0;   // after the byte order mark, if any
    QList<Section> m_sections;   // in the order of the file; a repeated header gets its own entry
    QList<ValueLine> m_values;   // lines with a name and "=" inside a section, in the order of the file
    QByteArray m_lineEnd = "\n"; // for lines Set adds: CR LF when the file has any, else LF
    bool m_openAtEnd = false;    // the last line continues a hex value, so nothing may follow it
};
