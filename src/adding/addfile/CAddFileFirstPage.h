#pragma once

#include "adding/wizard/CWizardPage.h"

class CNewFileSource;

class QLineEdit;
class QPushButton;
class QRadioButton;

// The Add File wizard's choice of source: a web file by its address, or a local file by its path.
// Nothing is checked here: the locations page checks a local file, and a web address is taken as
// typed.
class CAddFileFirstPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0141;
    static constexpr quint32 kHelpTopic = 39;
    static constexpr int kMaxFileName = 254;

    // Next sets the file chosen as the source; a page without a source (shown alone) sets nothing.
    explicit CAddFileFirstPage(CNewFileSource* source = nullptr, QWidget* parent = nullptr);

    bool OnSetActive() override;
    int OnWizardNext() override;

    QRadioButton* GetWebButton() const { return m_web; }
    QRadioButton* GetLocalButton() const { return m_local; }
    QLineEdit* GetUrlEdit() const { return m_url; }
    QLineEdit* GetNameEdit() const { return m_name; }
    QPushButton* GetBrowseButton() const { return m_browse; }

private:
    void EnableControls();
    void OnBrowse();

    CNewFileSource* m_source;
    QRadioButton* m_web = nullptr;
    QLineEdit* m_url = nullptr;
    QRadioButton* m_local = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_browse = nullptr;
};
