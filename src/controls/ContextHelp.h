#pragma once

#include "controls/HelpRequest.h"

// Decides what a help request shows:
// - no request: the topic, if there is one;
// - from a menu item: the matching pair's topic as a pop-up, else nothing;
// - from a control, preferTopic set: the topic, or the help contents when there is none;
// - from a control, preferTopic clear: the control's pop-up help from the pairs, which says that
//   no topic is associated with the item when none matches.
void ShowContextHelp(QWidget* window, const HelpRequest* request, quint32 topic, const HelpPair* pairs,
                     bool preferTopic);
