#pragma once

#include "adding/wizard/CWizardPage.h"

#include <functional>

struct AddFilesChoice;
class CWorkProgress;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The Add Files wizard's first page: the directory to import, the area that will host its files,
// and whether subdirectories and the files' own descriptions are taken. Next collects the files.
class CAddFilesInfoPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0150;
    static constexpr quint32 kHelpTopic = 49;
    static constexpr int kMaxDirectory = 254;

    // Next collects the files into choice; a page without one (shown alone) is not left by Next.
    explicit CAddFilesInfoPage(AddFilesChoice* choice = nullptr, QWidget* parent = nullptr);

    bool OnSetActive() override;
    int OnWizardNext() override;
    void OnBrowse();

    QLineEdit* GetDirectoryEdit() const { return m_directory; }
    QComboBox* GetHostAreaList() const { return m_hostArea; }
    QCheckBox* GetSubdirectoriesBox() const { return m_subdirectories; }
    QCheckBox* GetExtractBox() const { return m_extract; }
    QPushButton* GetBrowseButton() const { return m_browse; }

    // For tests: called on the collecting thread with each directory before it is entered.
    static std::function<void(CWorkProgress&, const QString&)>& CollectionHook();

private:
    AddFilesChoice* m_choice;
    QLineEdit* m_directory = nullptr;
    QComboBox* m_hostArea = nullptr;
    QCheckBox* m_subdirectories = nullptr;
    QCheckBox* m_extract = nullptr;
    QPushButton* m_browse = nullptr;
};
