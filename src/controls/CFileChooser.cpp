#include "controls/CFileChooser.h"

#include "controls/CWaitCursor.h"

#include <QFileDialog>
#include <QQueue>

namespace {

struct AnsweringState
{
    bool on = false;
    QQueue<QString> answers;
    QList<CFileChooser::Request> requests;
};

AnsweringState& State()
{
    static AnsweringState state;
    return state;
}

} // namespace

bool CFileChooser::Answer(const Request& request, QString* answer)
{
    AnsweringState& state = State();
    if (!state.on)
        return false;
    state.requests.append(request);
    *answer = state.answers.isEmpty() ? QString() : state.answers.dequeue();
    return true;
}

QString CFileChooser::GetOpenFileName(QWidget* owner, const QString& caption, const QString& startPath,
                                      const QString& filter)
{
    const CNormalCursor arrow;
    QString answer;
    if (Answer({Kind::OpenFile, caption, startPath, filter}, &answer))
        return answer;
    return QFileDialog::getOpenFileName(owner, caption, startPath, filter);
}

QString CFileChooser::GetExistingDirectory(QWidget* owner, const QString& caption, const QString& startPath)
{
    const CNormalCursor arrow;
    QString answer;
    if (Answer({Kind::Directory, caption, startPath, QString()}, &answer))
        return answer;
    return QFileDialog::getExistingDirectory(owner, caption, startPath, QFileDialog::ShowDirsOnly);
}

void CFileChooser::SetAnsweringMode(bool on)
{
    State().on = on;
    State().answers.clear();
    State().requests.clear();
}

void CFileChooser::QueueAnswer(const QString& answer)
{
    State().answers.enqueue(answer);
}

QList<CFileChooser::Request> CFileChooser::TakeRequests()
{
    QList<Request> taken;
    taken.swap(State().requests);
    return taken;
}
