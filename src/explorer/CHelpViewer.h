#pragma once

#include <QDialog>

class QTextBrowser;

// The help window: the program's help and the administrator's guide, two books of topic pages.
class CHelpViewer : public QDialog
{
    Q_OBJECT

public:
    enum Book { kProgramHelp, kAdministratorsGuide };

    // Shows a book's contents in the one help window, opening it when needed.
    static CHelpViewer* ShowContents(QWidget* owner, Book book);
    static CHelpViewer* GetInstance();

    Book GetBook() const { return m_book; }

private:
    CHelpViewer(QWidget* owner);
    void ShowBook(Book book);

    QTextBrowser* m_browser;
    Book m_book = kProgramHelp;
};
