#pragma once

#include <QDialog>
#include <QList>
#include <QUrl>

class QTextBrowser;

// The help window: the program's help and the administrator's guide, two books of topic pages that
// ship inside the program. Topics of the program's help are addressed by their context numbers.
class CHelpViewer : public QDialog
{
    Q_OBJECT

public:
    enum Book { kProgramHelp, kAdministratorsGuide };

    // Every request is noted, so that tests can see what help a window asked for.
    struct Shown
    {
        enum Kind { Contents, Topic, Popup };
        Kind kind;
        Book book;
        quint32 topic; // for Topic, and for a Popup of a topic
        QString text;  // for a Popup
    };

    // Shows a book's contents, or a topic of the program's help, in the one help window.
    static CHelpViewer* ShowContents(QWidget* owner, Book book);
    static CHelpViewer* ShowTopic(QWidget* owner, quint32 topic);
    // A small floating text beside a control: a topic's text, or a given text.
    static void ShowTopicPopup(QWidget* anchor, const QPoint& globalPosition, quint32 topic);
    static void ShowPopup(QWidget* anchor, const QPoint& globalPosition, const QString& text);
    static QString NoTopicText();

    static CHelpViewer* GetInstance();
    static QList<Shown> TakeShown();

    static QUrl TopicUrl(quint32 topic);
    static QUrl ContentsUrl(Book book);
    Book GetBook() const { return m_book; }
    QUrl GetSource() const;

private:
    explicit CHelpViewer(QWidget* owner);
    static CHelpViewer* Open(QWidget* owner);
    void Show(Book book, const QUrl& page);

    QTextBrowser* m_browser;
    Book m_book = kProgramHelp;
};
