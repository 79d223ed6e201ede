#pragma once

#include "files/SafeFiles.h"
#include "files/SafeFormat.h"

// A fault's message for a message box or a log line. The name it gives comes from a path the web
// site stored, which may run to megabytes: it is shortened as every stored text shown is.
inline QString ShownFaultMessage(FileFault fault)
{
    fault.name = ElideStoredText(fault.name);
    return fault.Message();
}
