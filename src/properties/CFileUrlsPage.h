#pragma once

#include "adding/CWizardPage.h"

class CFileRecord;
class QListWidget;
class QPushButton;

// "URLs": the file's download locations. Adding, editing and removing one writes it at once, and
// then Cancel can no longer undo the sheet: it becomes Close. The page cannot be left while the
// file has no location.
class CFileUrlsPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0121;
    static constexpr quint32 kHelpTopic = 21;

    explicit CFileUrlsPage(CFileRecord* file, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    QListWidget* GetList() const { return m_list; }
    QPushButton* GetAddButton() const { return m_add; }
    QPushButton* GetEditButton() const { return m_edit; }
    QPushButton* GetRemoveButton() const { return m_remove; }

    void OnAdd();
    void OnEdit();
    void OnRemove();

private:
    void AddLocation(const QString& location);
    void CancelToClose();

    CFileRecord* m_file;
    bool m_loaded = false;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
};
