#include "controls/CRowWalkDialog.h"

#include "controls/CHelpViewer.h"
#include "controls/CHighlightList.h"
#include "controls/DialogUnits.h"
#include "controls/PageControls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

CRowWalkDialog::CRowWalkDialog(const QString& title, const QString& listName, const QStringList& columns,
                               const QList<int>& widths, quint32 helpTopic, QWidget* parent)
    : QDialog(parent), m_list(new CHighlightList(this)), m_review(new QPushButton(tr("&Review..."), this)),
      m_post(new QPushButton(tr("&Post"), this)), m_delete(new QPushButton(tr("&Delete..."), this)),
      m_close(new QPushButton(tr("Close"), this)), m_help(new QPushButton(tr("Help"), this)),
      m_layout(new QVBoxLayout(this))
{
    setWindowTitle(title);
    setAccessibleName(title);
    m_list->setAccessibleName(listName);
    m_list->setHeaderLabels(columns);
    m_list->header()->setStretchLastSection(false);
    const int lineHeight = QFontMetrics(QApplication::font()).height();
    for (int column = 0; column < widths.size(); ++column)
        m_list->setColumnWidth(column, ScaleDialogPixels(widths[column], lineHeight));
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnReview(); });

    for (QPushButton* button : {m_review, m_post, m_delete, m_close, m_help})
        NameAfterText(button, button->text());
    m_review->setDefault(true);
    connect(m_review, &QPushButton::clicked, this, [this] { OnReview(); });
    connect(m_post, &QPushButton::clicked, this, [this] { OnPost(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    const auto help = [this, helpTopic] { CHelpViewer::ShowTopic(this, helpTopic); };
    connect(m_help, &QPushButton::clicked, this, help);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, help);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_review, m_post, m_delete})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(m_close);
    buttons->addWidget(m_help);
    m_layout->addWidget(m_list, 1);
    m_layout->addLayout(buttons);
    // Room for the columns and a dozen rows.
    m_list->setMinimumSize(m_list->header()->length() + 2 * m_list->frameWidth() +
                               m_list->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                           m_list->header()->sizeHint().height() +
                               QFontMetrics(m_list->font()).lineSpacing() * 12);
}

void CRowWalkDialog::WalkHighlighted(const std::function<Step(int row)>& step)
{
    if (m_walking)
        return;
    m_walking = true;
    for (int row = 0; row < m_list->topLevelItemCount();) {
        if (!m_list->topLevelItem(row)->isSelected()) {
            ++row;
            continue;
        }
        const Step done = step(row);
        if (done == Step::Stop)
            break;
        if (done == Step::Kept)
            ++row;
    }
    m_walking = false;
}
