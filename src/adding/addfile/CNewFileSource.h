#pragma once

#include "adding/addfile/CClipboardSubmission.h"

#include <QString>

// The source the Add File wizard fills its fields from, as its first pages choose it: the
// formatted submission found on the clipboard, a file on a web or ftp server, or a local file.
// Each choice raises the generation; a page filled from the source fills its fields anew when it
// is shown for a newer generation than it last filled them for.
class CNewFileSource
{
public:
    enum Kind
    {
        kNoSource = 0,
        kWebFile = 1,
        kLocalFile = 2
    };

    void SetSubmission(const CClipboardSubmission& submission) { m_submission = submission; }
    const CClipboardSubmission& GetSubmission() const { return m_submission; }

    // A source was chosen: the submission, or the file set by SetFile.
    void Choose(bool useSubmission)
    {
        ++m_generation;
        m_useSubmission = useSubmission;
    }
    void SetFile(Kind kind, const QString& text)
    {
        m_kind = kind;
        m_text = text;
    }

    bool IsSubmissionUsed() const { return m_useSubmission; }
    Kind GetKind() const { return m_kind; }
    // The web file's address or the local file's path.
    const QString& GetText() const { return m_text; }

    // True when a source was chosen since the generation remembered, which then becomes the
    // current one.
    bool ChangedSince(quint32& remembered) const
    {
        const bool changed = remembered < m_generation;
        remembered = m_generation;
        return changed;
    }

private:
    quint32 m_generation = 0;
    bool m_useSubmission = false;
    CClipboardSubmission m_submission;
    Kind m_kind = kNoSource;
    QString m_text;
};
