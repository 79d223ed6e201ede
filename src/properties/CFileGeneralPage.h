#pragma once

#include "adding/wizard/CWizardPage.h"

class CDateEdit;
class CFileRecord;
class QCheckBox;
class QLineEdit;

// "General": the file's title, version, dates, size, downloads, form setting and author. Loaded
// from the working copy when first shown, checked whenever the page is left, stored into the
// working copy when the sheet is accepted. A page never shown stores nothing.
class CFileGeneralPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0118;
    static constexpr quint32 kHelpTopic = 18;

    explicit CFileGeneralPage(CFileRecord* file, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;
    void OnOK() override;

    QLineEdit* GetTitleEdit() const { return m_title; }
    QLineEdit* GetVersionEdit() const { return m_version; }
    CDateEdit* GetFileDateEdit() const { return m_fileDate; }
    CDateEdit* GetLastDownloadEdit() const { return m_lastDownload; }
    QLineEdit* GetFileSizeEdit() const { return m_fileSize; }
    QLineEdit* GetDownloadsEdit() const { return m_downloads; }
    QCheckBox* GetRequiresFormBox() const { return m_requiresForm; }
    QLineEdit* GetNameEdit() const { return m_name; }
    QLineEdit* GetEmailEdit() const { return m_email; }

private:
    void LoadFields();
    // The checks, in their order; false after the user has been told what is wrong.
    bool TakeFields();
    // Says that the field's value cannot be taken and puts the focus there.
    void Refuse(QWidget* field, const QString& message);

    CFileRecord* m_file;
    bool m_loaded = false;
    QString m_strEmail; // the address as the last successful check took it

    QLineEdit* m_title = nullptr;
    QLineEdit* m_version = nullptr;
    CDateEdit* m_fileDate = nullptr;
    CDateEdit* m_lastDownload = nullptr;
    QLineEdit* m_fileSize = nullptr;
    QLineEdit* m_downloads = nullptr;
    QCheckBox* m_requiresForm = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
};
