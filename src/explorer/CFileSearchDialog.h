#pragma once

#include <QDialog>
#include <QListWidget>

class QLineEdit;

// The "Where to search:" list: a check box per field. Clicking the check box of an entry outside
// the selection toggles it and selects it; clicking the check box of a selected entry sets every
// selected entry at once, to the opposite of the state most of them have (checked on a tie).
class CSearchFieldList : public QListWidget
{
    Q_OBJECT

public:
    explicit CSearchFieldList(QWidget* parent = nullptr);

    // The check box of the entry at a point of the viewport, as a rectangle; empty when none.
    QRect CheckBoxRect(const QModelIndex& index) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // True when the press hit a check box and was handled here.
    bool ClickCheckBox(QMouseEvent* event);

    bool m_swallowRelease = false;
};

// "File Search": the text to find and the fields to look in.
class CFileSearchDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 36;

    // fields 0 shows every field checked.
    CFileSearchDialog(const QString& text, quint32 fields, QWidget* parent = nullptr);

    QString GetText() const;
    // Rebuilt from the check boxes: 0 when none is checked.
    quint32 GetFields() const;

    QLineEdit* GetTextEdit() const { return m_text; }
    CSearchFieldList* GetFieldList() const { return m_fields; }

private:
    QLineEdit* m_text;
    CSearchFieldList* m_fields;
};
