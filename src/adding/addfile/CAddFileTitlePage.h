#pragma once

#include "adding/addfile/NewFileEntries.h"
#include "adding/wizard/CWizardPage.h"

class CFolderTreeModel;
class CNewFileSource;
class QLineEdit;
class QTreeWidget;

// The new file's title and the areas that receive it. The title is filled from the source; the
// chosen areas stay as the user left them whatever the source.
class CAddFileTitlePage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0142;
    static constexpr quint32 kHelpTopic = 11;

    // Fills the title from source; takes the title and the areas into entries.
    CAddFileTitlePage(const CNewFileSource& source, NewFileEntries& entries, const CFolderTreeModel* folders,
                      QWidget* parent = nullptr);

    bool OnSetActive() override;
    bool OnKillActive() override;

    // The title as last taken from the field, trimmed.
    const QString& GetFileTitle() const { return m_entries.title; }
    // The chosen areas, in the order chosen.
    const QList<double>& GetAreaIds() const { return m_entries.areaIds; }

    QLineEdit* GetTitleEdit() const { return m_title; }
    QTreeWidget* GetTree() const { return m_tree; }
    // A click in the tree: acts on the selected item.
    void OnClickTree();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree(const CFolderTreeModel* folders);
    void Refill();

    const CNewFileSource& m_source;
    NewFileEntries& m_entries;
    quint32 m_filledGeneration = 0;
    QLineEdit* m_title = nullptr;
    QTreeWidget* m_tree = nullptr;
};
