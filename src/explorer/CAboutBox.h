#pragma once

#include <QDialog>

// "About Troveport Explorer": the program's name and the machine's physical memory.
class CAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutBox(QWidget* parent = nullptr);

    // Total physical memory in kilobytes, grouped in threes in the user's locale: "16,314,532 KB".
    static QString FormatPhysicalMemory(quint64 bytes);
};
