#include "adding/download/CDownloadUrlDialog.h"

#include "adding/download/FieldChecks.h"
#include "adding/download/LocalLocation.h"
#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "controls/ContextHelp.h"
#include "controls/CWaitCursor.h"
#include "controls/FieldLimit.h"
#include "controls/PageControls.h"
#include "controls/RunWithProgress.h"
#include "files/FaultMessage.h"
#include "files/PathUtils.h"
#include "files/SafeCopy.h"
#include "files/SafeFormat.h"
#include "settings/Globals.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

CDownloadUrlDialog::CDownloadUrlDialog(QWidget* parent) : QDialog(parent)
{
    BuildControls();
}

CDownloadUrlDialog::CDownloadUrlDialog(const QString& path, QWidget* parent)
    : QDialog(parent), m_nLocationKind(kLocalFile), m_strFileName(path)
{
    BuildControls();
}

void CDownloadUrlDialog::BuildControls()
{
    setWindowTitle(tr("Download URL"));
    setAccessibleName(windowTitle());

    m_remote = new QRadioButton(tr("&Remote file"), this);
    m_siteUrlLabel = new QLabel(tr("Site URL:"), this);
    m_siteUrl = new QLineEdit(this);
    LimitFieldLength(m_siteUrl, kMaxSiteUrl);
    m_siteUrlLabel->setBuddy(m_siteUrl);
    m_local = new QRadioButton(tr("&Local File"), this);
    m_fileNameLabel = new QLabel(tr("&Filename:"), this);
    m_fileName = new QLineEdit(this);
    m_fileNameLabel->setBuddy(m_fileName);
    m_browse = new QPushButton(tr("&Browse..."), this);
    m_hostAreaLabel = new QLabel(tr("Host &Area:"), this);
    m_hostAreas = new QComboBox(this);
    m_hostAreaLabel->setBuddy(m_hostAreas);

    // Each field is named after its label, so that screen readers and UI tests find it.
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(m_remote), static_cast<QAbstractButton*>(m_local),
          static_cast<QAbstractButton*>(m_browse)})
        button->setAccessibleName(WithoutMnemonic(button->text()));
    for (QLabel* label : {m_siteUrlLabel, m_fileNameLabel, m_hostAreaLabel}) {
        label->setAccessibleName(WithoutMnemonic(label->text()));
        label->buddy()->setAccessibleName(label->accessibleName());
    }

    auto* kinds = new QButtonGroup(this);
    kinds->addButton(m_remote, kRemoteFile);
    kinds->addButton(m_local, kLocalFile);
    // Toggled rather than clicked: arrow keys move the choice between the two buttons too.
    connect(kinds, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            EnableControls();
    });
    connect(m_browse, &QPushButton::clicked, this, &CDownloadUrlDialog::OnBrowse);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    for (QAbstractButton* button : buttons->buttons())
        button->setAccessibleName(WithoutMnemonic(button->text()));
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDownloadUrlDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto showHelp = [this] { ShowContextHelp(this, nullptr, kHelpTopic, nullptr, true); };
    connect(buttons, &QDialogButtonBox::helpRequested, this, showHelp);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, showHelp);

    auto* layout = new QGridLayout(this);
    const int indent = fontMetrics().height() * 3 / 2;
    layout->setColumnMinimumWidth(0, indent);
    layout->addWidget(m_remote, 0, 0, 1, 4);
    layout->addWidget(m_siteUrlLabel, 1, 1);
    layout->addWidget(m_siteUrl, 1, 2, 1, 2);
    layout->addWidget(m_local, 2, 0, 1, 4);
    layout->addWidget(m_fileNameLabel, 3, 1);
    layout->addWidget(m_fileName, 3, 2);
    layout->addWidget(m_browse, 3, 3);
    layout->addWidget(m_hostAreaLabel, 4, 1);
    layout->addWidget(m_hostAreas, 4, 2, 1, 2);
    layout->addWidget(buttons, 5, 0, 1, 4);
    layout->setColumnStretch(2, 1);
    // Wide enough for a typical address or path inside a file area without scrolling.
    m_siteUrl->setMinimumWidth(fontMetrics().averageCharWidth() * 72);

    setTabOrder(m_remote, m_siteUrl);
    setTabOrder(m_siteUrl, m_local);
    setTabOrder(m_local, m_fileName);
    setTabOrder(m_fileName, m_browse);
    setTabOrder(m_browse, m_hostAreas);
    setTabOrder(m_hostAreas, buttons);
}

void CDownloadUrlDialog::SetLocation(const QString& location)
{
    m_strSiteUrl.clear();
    if (!IsLocalLocation(location)) {
        m_strSiteUrl = location;
        return;
    }
    const std::optional<LocalLocation> parsed = ParseLocalLocation(location);
    if (!parsed)
        return;
    if (const FileAreaRecord* area = theFileAreaTable.FindArea(parsed->areaId)) {
        m_strFileName = MakePath(area->Path(), parsed->relativePath);
        m_hostAreaId = parsed->areaId;
    }
}

QString CDownloadUrlDialog::GetLocation() const
{
    if (m_nLocationKind == kRemoteFile)
        return m_strSiteUrl;
    // Without a host area there is nothing a local location could name.
    if (!m_hostAreaId)
        return QString();
    return FormLocalLocation(quint32(*m_hostAreaId), GetFileNamePart(m_strFileName));
}

void CDownloadUrlDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_initialized) {
        m_initialized = true;
        OnInitDialog();
    }
}

void CDownloadUrlDialog::OnInitDialog()
{
    const bool anyHost = FillHostAreaList(m_hostAreas);
    // No area is chosen until the user chooses one, unless the location named a hosting area (its
    // first record in the table).
    quint32 selected = 0; // record 0 is the table's header, never an area
    for (int i = 0; m_hostAreaId && i < m_hostAreas->count(); ++i) {
        const quint32 record = m_hostAreas->itemData(i).toUInt();
        if (double(theFileAreaTable.GetRecord(record)->AreaId()) == *m_hostAreaId &&
            (!selected || record < selected))
            selected = record;
    }
    if (selected) {
        m_hostAreas->setCurrentIndex(m_hostAreas->findData(QVariant::fromValue(selected)));
        m_nLocationKind = kLocalFile;
    }

    m_local->setEnabled(anyHost);
    UpdateData(false);
    EnableControls();
    (m_nLocationKind == kLocalFile ? m_fileName : m_siteUrl)->setFocus(Qt::OtherFocusReason);
}

void CDownloadUrlDialog::UpdateData(bool take)
{
    if (take) {
        m_nLocationKind = m_local->isChecked() ? kLocalFile : kRemoteFile;
        if (m_siteUrl->text() != m_shownSiteUrl)
            m_strSiteUrl = m_siteUrl->text();
        m_strFileName = m_fileName->text();
        return;
    }
    (m_nLocationKind == kLocalFile ? m_local : m_remote)->setChecked(true);
    // Typing stops at the limit, but a longer address stored elsewhere is shown, not cut. One of
    // megabytes, which would take the field minutes to lay out, is shown shortened in the middle;
    // unless it is edited, the address stays the stored one.
    m_shownSiteUrl = m_strSiteUrl.size() > kMaxShownSiteUrl ? ElideStoredText(m_strSiteUrl, kMaxShownSiteUrl)
                                                            : m_strSiteUrl;
    m_siteUrl->setText(m_shownSiteUrl);
    m_fileName->setText(m_strFileName);
}

void CDownloadUrlDialog::EnableControls()
{
    const bool local = m_local->isChecked();
    m_siteUrlLabel->setEnabled(!local);
    m_siteUrl->setEnabled(!local);
    m_fileNameLabel->setEnabled(local);
    m_fileName->setEnabled(local);
    m_browse->setEnabled(local);
    m_hostAreaLabel->setEnabled(local);
    m_hostAreas->setEnabled(local);
}

void CDownloadUrlDialog::OnBrowse()
{
    UpdateData(true);
    const QString chosen =
        CFileChooser::GetOpenFileName(this, tr("Open"), m_strFileName, tr("All Files (*)"));
    if (chosen.isEmpty())
        return;
    m_strFileName = chosen;
    UpdateData(false);
}

void CDownloadUrlDialog::accept()
{
    UpdateData(true);
    const bool ok = m_nLocationKind == kRemoteFile ? CheckRemoteFile() : CheckLocalFile();
    if (!ok)
        return;
    UpdateData(false);
    QDialog::accept();
}

bool CDownloadUrlDialog::CheckRemoteFile()
{
    if (IsValidDownloadURL(m_strSiteUrl))
        return true;
    CMessageBox::Show(this, tr("Please enter a valid ftp or http URL"));
    m_siteUrl->setFocus(Qt::OtherFocusReason);
    return false;
}

bool CDownloadUrlDialog::CheckLocalFile()
{
    TrimString(m_strFileName);
    m_fileName->setText(m_strFileName);
    if (m_strFileName.isEmpty() || !FileExists(m_strFileName)) {
        CMessageBox::Show(this, tr("Please select a valid file to add"));
        m_fileName->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const QVariant record = m_hostAreas->currentData();
    const FileAreaRecord* area =
        m_hostAreas->currentIndex() < 0 ? nullptr : theFileAreaTable.GetRecord(record.toUInt());
    if (!area) {
        CMessageBox::Show(this, tr("Please select a file area to host this file"));
        m_hostAreas->setFocus(Qt::OtherFocusReason);
        return false;
    }

    if (GetFileNamePart(m_strFileName).contains(QLatin1Char(' '))) {
        const CMessageBox::Button answer = CMessageBox::Show(
            this,
            tr("FTP cannot send file names with embedded spaces. Click Yes to use the DOS filename, or "
               "click No to ignore."),
            tr("Warning"), QMessageBox::Information, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
            QMessageBox::Yes);
        if (answer == QMessageBox::Cancel)
            return false;
        // Yes would ask for the short alternate name, which Linux file systems do not have: the
        // long name is kept either way.
    }

    m_hostAreaId = double(area->AreaId());
    QString hostDirectory = area->Path();
    EnsureTrailingBackslash(hostDirectory);
    // Everything in the host directory happens relative to it: the site can write there.
    const CSafeDirectory host = CSafeDirectory::Open(area->Path());
    const QByteArray name = CSafeDirectory::NameBytes(GetFileNamePart(m_strFileName));
    // Directly inside the host directory: nothing to copy. A name that is not a full path has no
    // directory part and never counts as inside.
    const QString fileDirectory = GetDirectoryPart(m_strFileName);
    if (!fileDirectory.isEmpty() && fileDirectory == GetDirectoryPart(hostDirectory)) {
        // What is published must be a file of the area, not a link the site put there.
        const CSafeFile file = host.OpenForReading(name);
        if (!file.IsOpen())
            CMessageBox::Show(this, ShownFaultMessage(file.Fault()), QString(), QMessageBox::Warning);
        return file.IsOpen();
    }

    const CMessageBox::Button copy = CMessageBox::Show(
        this,
        tr("The selected file needs to be copied to the host directory. Do you want to copy this file?"),
        tr("Question"), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (copy != QMessageBox::Yes)
        return false;
    return CopyToHost(host, name);
}

bool CDownloadUrlDialog::CopyToHost(const CSafeDirectory& host, const QByteArray& name)
{
    // A file in an area (a stored local location) is read through the file layer: a link on its
    // way is refused, never followed.
    const CSafeFile source = CAreaDirectories().OpenSource(m_strFileName);
    CopyOptions options;
    options.replace = false; // nor a file that arrives while the copy runs
    if (source.IsOpen()) {
        if (const auto there = host.StatEntry(name); there && S_ISREG(there->st_mode)) {
            // The file itself, reached by another path: there is nothing to copy.
            if (there->st_dev == source.Status().st_dev && there->st_ino == source.Status().st_ino)
                return true;
            const QString question =
                SafeFormat(u"%s already exists in %s. Replace it?", ElideStoredText(QFile::decodeName(name)),
                           ElideStoredText(host.Path()));
            if (CMessageBox::Show(this, question, tr("Question"), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
                return false;
            options.replace = true;
        }
    }
    FileFault fault;
    if (source.IsOpen() && source.Status().st_size > kCopyBesideTheWindow) {
        const QString text = SafeFormat(u"Copying %s to %s", ElideStoredText(QFile::decodeName(name)),
                                        ElideStoredText(host.Path()));
        RunWithProgress(this, windowTitle(), text, [&](CWorkProgress& progress) {
            progress.SetRange(source.Status().st_size);
            options.progress = [&progress](qint64 copied) {
                progress.SetValue(copied);
                return !progress.Cancelled();
            };
            fault = CopyIntoDirectory(source, host, name, options);
        });
    } else {
        const CWaitCursor wait;
        fault = CopyIntoDirectory(source, host, name, options);
    }
    // Cancelled: the copy left nothing behind, and the user knows why the dialog stays.
    if (fault.kind == FileFault::Kind::System && fault.error == ECANCELED)
        return false;
    if (fault) {
        CMessageBox::Show(this,
                          tr("Could not copy the requested file to the host path") + u'\n' +
                              ShownFaultMessage(fault));
        return false;
    }
    return true;
}
