#pragma once

#include "adding/CWizardPage.h"

#include <QStringList>

class QListWidget;
class QPushButton;

// "URLs" of an upload under review: the locations it is to be posted with. Changes stay on the
// page and replace the upload's list only when the sheet is closed with OK; the page cannot be left
// with no location.
class CUploadUrlsPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0161;
    static constexpr quint32 kHelpTopic = 21;

    // urls is the upload's own list.
    explicit CUploadUrlsPage(QStringList& urls, QWidget* parent = nullptr);

    bool OnKillActive() override;
    void OnOK() override;

    QListWidget* GetList() const { return m_list; }
    QPushButton* GetAddButton() const { return m_add; }
    QPushButton* GetEditButton() const { return m_edit; }
    QPushButton* GetRemoveButton() const { return m_remove; }

    void OnAdd();
    void OnEdit();
    void OnRemove();

private:
    // Adds a location unless the list already holds it, and selects it.
    void AddLocation(const QString& location);

    QStringList& m_urls;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
};
