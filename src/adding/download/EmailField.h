#pragma once

#include <QString>

class QLineEdit;
class QWidget;

// Longest address a field hands over: the database's e-mail column holds 253 characters.
constexpr int kMaxEmailAddress = 253;

// True when the address is acceptable (an empty one is); otherwise shows why, with an error icon,
// and returns false.
bool CheckEmailAddress(const QString& address, QWidget* owner = nullptr);

// The exchange between an e-mail field and its value. Taking (take set): the field's text, at
// most kMaxEmailAddress characters, is checked; on failure the field gets the focus, the value is
// left alone and the result is false, so the dialog stays open. Showing: the field shows the value.
bool ExchangeEmailField(QLineEdit* field, QString& address, bool take);
