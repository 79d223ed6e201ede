#pragma once

// Answering the program's dialogs in tests: message box texts taken in order, list and area tree
// contents, and the Download URL dialog answered with a site address.

#include "adding/download/CDownloadUrlDialog.h"
#include "controls/AreaTree.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace Qt::StringLiterals;

namespace DialogSupport {

// A message box in one line: "caption: icon | buttons | text", without the caption when it is the
// program's own.
inline QString Describe(const CMessageBox::Request& request)
{
    const QString icon = request.icon == QMessageBox::Question   ? u"question"_s
                         : request.icon == QMessageBox::Warning  ? u"warning"_s
                         : request.icon == QMessageBox::Critical ? u"error"_s
                         : request.icon == QMessageBox::Information ? u"information"_s
                         : request.icon == QMessageBox::NoIcon   ? u"none"_s
                                                                 : u"other"_s;
    QStringList buttons;
    for (const auto& [button, name] :
         {std::pair{QMessageBox::Ok, "OK"}, std::pair{QMessageBox::Yes, "Yes"},
          std::pair{QMessageBox::YesToAll, "YesToAll"}, std::pair{QMessageBox::No, "No"},
          std::pair{QMessageBox::NoToAll, "NoToAll"}, std::pair{QMessageBox::Cancel, "Cancel"}}) {
        if (request.buttons.testFlag(button))
            buttons.append(QLatin1String(name));
    }
    const QString caption =
        request.caption == u"Troveport Explorer"_s ? QString() : request.caption + u": "_s;
    return caption + icon + u" | "_s + buttons.join(u' ') + u" | "_s + request.text;
}

// The message boxes shown since the last call, each in one line.
inline QStringList TakeDescribed()
{
    QStringList lines;
    for (const CMessageBox::Request& request : CMessageBox::TakeRequests())
        lines.append(Describe(request));
    return lines;
}

// Highlights exactly these rows of a list.
inline void Highlight(QTreeWidget* list, const QList<int>& rows)
{
    list->clearSelection();
    for (int row : rows)
        list->topLevelItem(row)->setSelected(true);
}

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
