#pragma once

#include "adding/download/CLocationListPage.h"

#include <QStringList>

// The new file's download locations, filled from the source: a submission's site addresses, the
// web file's address, or, for a local file, the location the Download URL dialog forms as soon
// as the page shows. At least one is required.
class CAddFileUrlPage : public CLocationListPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0145;
    static constexpr quint32 kHelpTopic = 14;

    explicit CAddFileUrlPage(QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    // The locations in the order shown.
    QStringList GetLocations() const;

    void OnAdd() override;
    void OnEdit() override;
    void OnRemove() override;

private:
    void Refill();
    // The Download URL dialog on the local file chosen as the source, once the page shows.
    void AddLocalFile(const QString& path);

    quint32 m_filledGeneration = 0;
};
