#pragma once

// Answering the program's dialogs in tests: message box texts taken in order, list and area tree
// contents, and the Download URL dialog answered with a site address.

#include "adding/CDownloadUrlDialog.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "explorer/CTreeItem.h"
#include "properties/AreaTree.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace DialogSupport {

// The texts of the message boxes shown since the last call.
inline QStringList TakeTexts()
{
    QStringList texts;
    for (const CMessageBox::Request& request : CMessageBox::TakeRequests())
        texts.append(request.text);
    return texts;
}

inline QStringList Items(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// Every item of an area in an area tree (an area in two groups has two).
inline QList<QTreeWidgetItem*> AreaItems(QTreeWidget* tree, double areaId)
{
    QList<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, AreaTree::kNodeTypeRole).toUInt() == kNodeArea &&
            (*it)->data(0, AreaTree::kAreaIdRole).toDouble() == areaId)
            items.append(*it);
    }
    return items;
}

// The next Download URL dialog: this site address typed, then OK.
inline void AnswerUrlDialog(const QString& siteUrl)
{
    CModalRun::QueueHandler([siteUrl](QDialog& shown) {
        auto& dialog = static_cast<CDownloadUrlDialog&>(shown);
        dialog.GetSiteUrlEdit()->setText(siteUrl);
        dialog.accept();
        return dialog.result();
    });
}

} // namespace DialogSupport
