#pragma once

#include <QLineEdit>

// A text field that shows one date in the user's short-date layout, steps the day, month or year
// under the caret with the arrow keys, and drops down a month calendar from its small button.
class CDateEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CDateEdit(QWidget* parent = nullptr);
    ~CDateEdit() override;

    // Stores and shows a valid date; an invalid one is ignored.
    void SetDate(int year, int month, int day);
    // The calendar date of that instant in UTC (seconds since 1970).
    void SetTime(qint64 secondsSince1970);
    // Reads the text first, then gives the date.
    void GetDate(int* year, int* month, int* day);
    // Reads the text first, then gives local midnight of the date, its year clamped to 1970 to 2037.
    quint32 GetTime();
};
