#pragma once

#include "adding/addfile/NewFileEntries.h"
#include "adding/wizard/CWizardPage.h"

class CDateEdit;
class CNewFileSource;
class QCheckBox;
class QLineEdit;

// The new file's version, date, size, form setting and author, filled from the source. An author's
// e-mail address is required.
class CAddFileDetailsPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0143;
    static constexpr quint32 kHelpTopic = 12;
    static constexpr int kMaxAuthorField = 254;

    // Fills the fields from source; takes them into entries.
    CAddFileDetailsPage(const CNewFileSource& source, NewFileEntries& entries, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;
    int OnWizardNext() override;

    // The fields as last taken, texts trimmed.
    quint32 GetFileSize() const { return m_entries.fileSize; }
    const QString& GetEmailAddress() const { return m_entries.email; }

    QLineEdit* GetVersionEdit() const { return m_version; }
    CDateEdit* GetDateEdit() const { return m_date; }
    QLineEdit* GetSizeEdit() const { return m_size; }
    QCheckBox* GetRequiresFormBox() const { return m_requiresForm; }
    QLineEdit* GetNameEdit() const { return m_name; }
    QLineEdit* GetEmailEdit() const { return m_email; }

private:
    void Refill();
    // Takes the fields into the values (take set) or shows the values in the fields.
    void UpdateData(bool take);

    const CNewFileSource& m_source;
    NewFileEntries& m_entries;
    quint32 m_filledGeneration = 0;

    QLineEdit* m_version = nullptr;
    CDateEdit* m_date = nullptr;
    QLineEdit* m_size = nullptr;
    QCheckBox* m_requiresForm = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
};
