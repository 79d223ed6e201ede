#pragma once

#include "CheckFixes.h"
#include "CheckFindings.h"

#include <QByteArray>
#include <QList>
#include <QTextStream>

// The reports of troveport-setup check. The text is for reading: a heading per kind with its
// count, a line per finding, what each fix did (or would do) and a summary line. The JSON document
// is for programs; docs/check-report.md describes it.

void WriteTextReport(const CheckResult& result, const QList<FixAction>* fixes, bool dryRun, qsizetype remaining,
                     QTextStream& out);
QByteArray JsonReport(const CheckResult& result, const QList<FixAction>* fixes, bool dryRun, qsizetype remaining);
