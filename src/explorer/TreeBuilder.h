#pragma once

class CFolderTreeItem;

struct BuiltTree
{
    CFolderTreeItem* root = nullptr;          // "Troveport"
    CFolderTreeItem* searchResults = nullptr; // "Search results"
};

// Builds the tree of groups and areas once, under the registry's write lock: the root, the search
// results node, then one node per "*.group" file of the database directory (in the order the file
// system lists them) holding one node per area id it lists that the area table knows.
BuiltTree BuildFolderTree();
