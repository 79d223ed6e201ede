#include "explorer/TreeBuilder.h"

#include "controls/CTreeItemRegistry.h"
#include "files/PathUtils.h"
#include "settings/CGroupFile.h"
#include "settings/Globals.h"

#include <QDir>

namespace {

// Tree image list: 0 closed folder (1 open), 2 magnifying glass (3 when selected).
constexpr int kFolderImage = 0;
constexpr int kSearchImage = 2;

CFolderTreeItem* AddNode(CFolderTreeItem* parent, const QString& name, quint32 areaId, int image, quint32 type)
{
    auto* item = new CFolderTreeItem(parent, name, areaId, image);
    item->SetType(type);
    const quint32 handle = theTreeItemRegistry.Add(parent, item);
    item->SetTreeHandle(handle);
    return item;
}

} // namespace

BuiltTree BuildFolderTree()
{
    CRegistryWriteLock lock(theTreeItemRegistry);
    BuiltTree tree;
    tree.root = AddNode(nullptr, QStringLiteral("Troveport"), 0, kFolderImage, kNodeRoot);
    tree.searchResults = AddNode(tree.root, QStringLiteral("Search results"), 0, kSearchImage, kNodeSearchResults);

    // The directory's own order, unsorted; the pattern is matched with case, as the file system does.
    const QDir directory(g_strDatabasePath.isEmpty() ? QStringLiteral(".") : g_strDatabasePath);
    const QStringList groupFiles = directory.entryList({QStringLiteral("*.group")},
                                                       QDir::Files | QDir::CaseSensitive | QDir::Hidden,
                                                       QDir::Unsorted);
    for (const QString& fileName : groupFiles) {
        CFolderTreeItem* group =
            AddNode(tree.root, CGroupFile::GroupNameFromFileName(fileName), 0, kFolderImage, kNodeGroup);
        CGroupFile file;
        if (!file.Open(MakePath(g_strDatabasePath, fileName)))
            continue;
        for (quint32 i = 0; i < file.GetRecordCount(); ++i) {
            const quint32 id = file.GetAreaId(i);
            if (const FileAreaRecord* area = theFileAreaTable.FindArea(id))
                AddNode(group, area->Name(), id, kFolderImage, kNodeArea);
        }
    }
    return tree;
}
