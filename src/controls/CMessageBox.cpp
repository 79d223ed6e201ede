#include "controls/CMessageBox.h"

#include "controls/CWaitCursor.h"
#include "settings/Globals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QQueue>

namespace {

struct AnsweringState
{
    bool on = false;
    QQueue<CMessageBox::Button> answers;
    QList<CMessageBox::Request> requests;
};

AnsweringState& State()
{
    static AnsweringState state;
    return state;
}

CMessageBox::Button FirstButton(CMessageBox::Buttons buttons)
{
    for (uint bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(CMessageBox::Button(bit)))
            return CMessageBox::Button(bit);
    }
    return QMessageBox::NoButton;
}

} // namespace

CMessageBox::Button CMessageBox::Show(QWidget* owner, const QString& text, const QString& caption,
                                      QMessageBox::Icon icon, Buttons buttons, Button defaultButton)
{
    const CNormalCursor arrow;
    const QString title = caption.isEmpty() ? QString::fromUtf8(g_pszAppName) : caption;
    AnsweringState& state = State();
    if (state.on) {
        std::optional<Qt::CursorShape> cursor;
        if (const QCursor* shown = QGuiApplication::overrideCursor())
            cursor = shown->shape();
        state.requests.append({owner, owner != nullptr, title, text, icon, buttons, defaultButton, cursor});
        if (!state.answers.isEmpty())
            return state.answers.dequeue();
        return defaultButton != QMessageBox::NoButton ? defaultButton : FirstButton(buttons);
    }

    std::unique_ptr<QMessageBox> box = MakeBox(owner, text, caption, icon, buttons, defaultButton);
    return Button(box->exec());
}

std::unique_ptr<QMessageBox> CMessageBox::MakeBox(QWidget* owner, const QString& text, const QString& caption,
                                                  QMessageBox::Icon icon, Buttons buttons, Button defaultButton)
{
    const QString title = caption.isEmpty() ? QString::fromUtf8(g_pszAppName) : caption;
    auto box = std::make_unique<QMessageBox>(icon, title, text, buttons, owner);
    if (defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(defaultButton);
    box->setAccessibleName(title);
    box->setAccessibleDescription(text);
    // The icon says what kind of message this is; a reader gets it as a word.
    const char* kind = icon == QMessageBox::Question      ? "Question"
                       : icon == QMessageBox::Warning     ? "Warning"
                       : icon == QMessageBox::Critical    ? "Error"
                       : icon == QMessageBox::Information ? "Information"
                                                          : nullptr;
    if (kind) {
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text().isEmpty() && !label->pixmap().isNull())
                label->setAccessibleName(QMessageBox::tr(kind));
        }
    }
    for (QAbstractButton* button : box->buttons())
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    // A box without an owner still belongs to the program, so it must be seen over other windows;
    // one with an owner blocks that window only, leaving the help window usable.
    box->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

void CMessageBox::SetAnsweringMode(bool on)
{
    State().on = on;
    State().answers.clear();
    State().requests.clear();
}

void CMessageBox::QueueAnswer(Button answer)
{
    State().answers.enqueue(answer);
}

QList<CMessageBox::Request> CMessageBox::TakeRequests()
{
    QList<Request> taken;
    taken.swap(State().requests);
    return taken;
}
