#pragma once

// The area table the explorer window's benchmarks open beside the shared library of generated files.

#include "CLibraryEditor.h"
#include "settings/CFileAreaTable.h"

#include <QFileInfo>
#include <QTextStream>

namespace BenchSupport {

// An area table whose area 1 stands in the group "Benchmark", made once in the library's directory.
inline bool PrepareExplorerLibrary(const QString& library, QTextStream& out)
{
    QString error;
    if (!QFileInfo::exists(CLibraryEditor::TableName(library))) {
        CLibraryEditor::Create(library, &error);
        CLibraryEditor editor(library);
        AreaDefinition area{1,
                            QStringLiteral("A million files"),
                            library + QStringLiteral("/area"),
                            {},
                            {},
                            kAreaAllowDownloads};
        if (!editor.Open(&error) || !editor.AddArea(area, &error) ||
            !editor.SetGroup(QStringLiteral("Benchmark"), {1}, &error) || !editor.Save(&error)) {
            out << "Cannot make the library: " << error << "\n";
            return false;
        }
    }
    return true;
}

} // namespace BenchSupport
