#pragma once

#include <QPixmap>

// The tall picture along the left edge of every wizard page.
QPixmap WizardPicture();
