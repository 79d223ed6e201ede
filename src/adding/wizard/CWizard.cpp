#include "adding/wizard/CWizard.h"

#include "resources/WizardPicture.h"

#include <QLabel>

CWizard::CWizard(const QString& caption, QWidget* parent, int firstPage)
    : CHelpPropertySheet(caption, parent, firstPage)
{
    SetWizardMode();
}

int CWizard::PopPage()
{
    return m_history.isEmpty() ? -1 : int(m_history.takeLast());
}

QWidget* CWizard::CreateSidePicture()
{
    auto* picture = new QLabel(this);
    picture->setPixmap(WizardPicture());
    picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    picture->setAccessibleName(tr("Wizard picture"));
    return picture;
}

bool CWizard::PressNext()
{
    return KeepHistoryUnlessMoved([this] { return CHelpPropertySheet::PressNext(); });
}

bool CWizard::PressBack()
{
    return KeepHistoryUnlessMoved([this] { return CHelpPropertySheet::PressBack(); });
}

bool CWizard::KeepHistoryUnlessMoved(const std::function<bool()>& move)
{
    const QList<quint32> before = m_history;
    const bool moved = move();
    if (!moved)
        m_history = before;
    return moved;
}
