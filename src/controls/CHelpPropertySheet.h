#pragma once

#include "controls/CPropertySheet.h"

// The sheet under both wizards: a help button in its caption, and every help request, from F1, the
// caption's help button or the Help button, handed to the page on show.
class CHelpPropertySheet : public CPropertySheet
{
    Q_OBJECT

public:
    CHelpPropertySheet(const QString& caption, QWidget* parent = nullptr, int firstPage = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
