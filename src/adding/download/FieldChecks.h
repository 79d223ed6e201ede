#pragma once

#include <QString>
#include <QStringView>

// Checks shared by every field that takes a download address or an author's e-mail address.

// True when the text, exactly as typed (not trimmed), is an ftp, http or https URL that names a
// host. The scheme is matched in any case, as URL schemes are.
bool IsValidDownloadURL(const QString& text);

// What is wrong with an e-mail address, if anything.
enum class EmailFault
{
    None,
    IllegalCharacters, // one of "!() /<>,;:\[]"
    NoAtSign,          // not empty, but without "@"
};

// An empty address is acceptable here; fields that require one test for emptiness themselves.
EmailFault FindEmailFault(QStringView address);
