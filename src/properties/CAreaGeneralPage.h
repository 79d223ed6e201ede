#pragma once

#include "adding/wizard/CWizardPage.h"

class QCheckBox;
class QLineEdit;

// "General" of "File Area Properties": one area's record as the area table holds it, read-only
// (areas are defined with troveport-setup). An id the table does not hold shows empty texts.
class CAreaGeneralPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0140;
    static constexpr quint32 kHelpTopic = 64;

    explicit CAreaGeneralPage(quint32 areaId, QWidget* parent = nullptr);

    QLineEdit* GetNameField() const { return m_name; }
    QLineEdit* GetPathField() const { return m_path; }
    QLineEdit* GetFtpAliasField() const { return m_ftpAlias; }
    QLineEdit* GetHttpAliasField() const { return m_httpAlias; }
    QCheckBox* GetUploadsBox() const { return m_uploads; }
    QCheckBox* GetDownloadsBox() const { return m_downloads; }

private:
    QLineEdit* m_name;
    QLineEdit* m_path;
    QLineEdit* m_ftpAlias;
    QLineEdit* m_httpAlias;
    QCheckBox* m_uploads;
    QCheckBox* m_downloads;
};
