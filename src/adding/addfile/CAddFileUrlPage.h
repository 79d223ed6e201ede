#pragma once

#include "adding/download/CLocationListPage.h"

#include <QStringList>

class CNewFileSource;
struct NewFileEntries;

// The new file's download locations, filled from the source: a submission's site addresses, the
// web file's address, or, for a local file, the location the Download URL dialog forms as soon
// as the page shows. At least one is required.
class CAddFileUrlPage : public CLocationListPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0145;
    static constexpr quint32 kHelpTopic = 14;

    // Fills the list from source; takes it into entries when left with a location.
    CAddFileUrlPage(const CNewFileSource& source, NewFileEntries& entries, QWidget* parent = nullptr);

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

    const CNewFileSource& m_source;
    NewFileEntries& m_entries;
    quint32 m_filledGeneration = 0;
};
