#include "controls/ContextHelp.h"

#include "controls/CHelpViewer.h"

namespace {

const HelpPair* FindPair(const HelpPair* pairs, quint32 id)
{
    for (const HelpPair* pair = pairs; pair && pair->controlId != 0; ++pair) {
        if (pair->controlId == id)
            return pair;
    }
    return nullptr;
}

QPoint PopupPosition(const HelpRequest& request)
{
    if (!request.globalPosition.isNull())
        return request.globalPosition;
    if (request.control)
        return request.control->mapToGlobal(request.control->rect().center());
    return QPoint();
}

} // namespace

void ShowContextHelp(QWidget* window, const HelpRequest* request, quint32 topic, const HelpPair* pairs,
                     bool preferTopic)
{
    if (!request) {
        if (topic != 0)
            CHelpViewer::ShowTopic(window, topic);
        return;
    }
    if (request->source == HelpRequest::MenuItem) {
        if (const HelpPair* pair = FindPair(pairs, request->id))
            CHelpViewer::ShowTopicPopup(window, PopupPosition(*request), pair->topic);
        return;
    }
    if (preferTopic) {
        if (topic != 0)
            CHelpViewer::ShowTopic(window, topic);
        else
            CHelpViewer::ShowContents(window, CHelpViewer::kProgramHelp);
        return;
    }
    const HelpPair* pair = FindPair(pairs, request->id);
    if (pair && pair->topic != 0)
        CHelpViewer::ShowTopicPopup(request->control ? request->control.data() : window,
                                    PopupPosition(*request), pair->topic);
    else
        CHelpViewer::ShowPopup(request->control ? request->control.data() : window, PopupPosition(*request),
                               CHelpViewer::NoTopicText());
}
