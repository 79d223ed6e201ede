#pragma once

// The area table the window benchmarks open: area 1, where the generated files are, in the group
// "Benchmark".

#include "CLibraryEditor.h"
#include "settings/CFileAreaTable.h"

#include <QFileInfo>
#include <QTextStream>

namespace BenchSupport {

// Makes the library's area table unless it is there; false, said on out, when it cannot be made.
inline bool PrepareExplorerLibrary(const QString& library, QTextStream& out)
{
    QString error;
    if (QFileInfo::exists(CLibraryEditor::TableName(library)))
        return true;
    CLibraryEditor::Create(library, &error);
    CLibraryEditor editor(library);
    AreaDefinition area{
        1, QStringLiteral("A million files"), library + QStringLiteral("/area"), {}, {}, kAreaAllowDownloads};
    if (!editor.Open(&error) || !editor.AddArea(area, &error) ||
        !editor.SetGroup(QStringLiteral("Benchmark"), {1}, &error) || !editor.Save(&error)) {
        out << "Cannot make the library: " << error << "\n";
        return false;
    }
    return true;
}

} // namespace BenchSupport
