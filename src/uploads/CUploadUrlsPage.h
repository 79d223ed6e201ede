#pragma once

#include "adding/download/CLocationListPage.h"

#include <QStringList>

// "URLs" of an upload under review: the locations it is to be posted with. Changes stay on the
// page and replace the upload's list only when the sheet is closed with OK; the page cannot be left
// with no location.
class CUploadUrlsPage : public CLocationListPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0161;
    static constexpr quint32 kHelpTopic = 21;

    // urls is the upload's own list.
    explicit CUploadUrlsPage(QStringList& urls, QWidget* parent = nullptr);

    bool OnKillActive() override;
    void OnOK() override;

    void OnAdd() override;
    void OnEdit() override;
    void OnRemove() override;

private:
    // Adds a location unless the list already holds it, and selects it.
    void AddLocation(const QString& location);

    QStringList& m_urls;
};
