#pragma once

#include "adding/download/CLocationListPage.h"

class CFileRecord;
class QListWidgetItem;

// "URLs": the file's download locations. Adding, editing and removing one writes it at once, and
// then Cancel can no longer undo the sheet: it becomes Close. The page cannot be left while the
// file has no location.
class CFileUrlsPage : public CLocationListPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0121;
    static constexpr quint32 kHelpTopic = 21;

    explicit CFileUrlsPage(CFileRecord* file, QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    void OnAdd() override;
    void OnEdit() override;
    void OnRemove() override;

private:
    // Each writes at once; a write that does not land is reported with its reason and leaves the
    // list as it was.
    void AddLocation(const QString& location);
    void RemoveLocation(QListWidgetItem* item);
    void ReportFailure(QStringView format, const QString& location);
    void CancelToClose();

    CFileRecord* m_file;
    bool m_loaded = false;
};
