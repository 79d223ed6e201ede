#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class CSafeDirectory;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Download URL": one download location of a file, entered or edited. A remote file is an ftp,
// http or https address; a local file is a file kept in the directory of an area that hosts local
// files, copied there on OK when it lies elsewhere.
class CDownloadUrlDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr quint32 kHelpTopic = 16;
    static constexpr int kMaxSiteUrl = 254;
    // The longest address the site URL field shows whole.
    static constexpr qsizetype kMaxShownSiteUrl = 1024;
    // A copy into the host directory larger than this runs beside the window, with progress and
    // Cancel; a smaller one is over before a progress dialog could show.
    static constexpr qint64 kCopyBesideTheWindow = qint64(4) << 20;

    enum LocationKind
    {
        kRemoteFile = 0,
        kLocalFile = 1
    };

    // A remote file with an empty address.
    explicit CDownloadUrlDialog(QWidget* parent = nullptr);
    // A local file, path being its full path.
    CDownloadUrlDialog(const QString& path, QWidget* parent);

    // Fills the fields from a stored location; call before the dialog runs. A local location whose
    // area hosts local files opens on that file; any other local location opens on an empty
    // remote file, so that Cancel keeps it unchanged.
    void SetLocation(const QString& location);
    // After OK: the location to store ("local://<area id>/<file name>" or the address as typed).
    QString GetLocation() const;

    int GetLocationKind() const { return m_nLocationKind; }
    const QString& GetSiteUrl() const { return m_strSiteUrl; }
    const QString& GetFileName() const { return m_strFileName; }
    std::optional<double> GetHostAreaId() const { return m_hostAreaId; }

    QRadioButton* GetRemoteButton() const { return m_remote; }
    QRadioButton* GetLocalButton() const { return m_local; }
    QLineEdit* GetSiteUrlEdit() const { return m_siteUrl; }
    QLineEdit* GetFileNameEdit() const { return m_fileName; }
    QPushButton* GetBrowseButton() const { return m_browse; }
    QComboBox* GetHostAreaList() const { return m_hostAreas; }
    QPushButton* GetOkButton() const { return m_ok; }

public slots:
    // OK: closes only when the location can be stored; otherwise says why and stays.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void OnInitDialog();
    // Takes the fields into the values (take set) or shows the values in the fields.
    void UpdateData(bool take);
    void EnableControls();
    void OnBrowse();
    bool CheckRemoteFile();
    bool CheckLocalFile();
    // Copies the chosen file into the host directory under that name, asking before it replaces
    // another file there. False, with the reason shown, when the copy is not in place.
    bool CopyToHost(const CSafeDirectory& host, const QByteArray& name);

    int m_nLocationKind = kRemoteFile;
    QString m_strSiteUrl;
    QString m_shownSiteUrl; // what the site URL field was given, m_strSiteUrl shortened
    QString m_strFileName;
    std::optional<double> m_hostAreaId;
    bool m_initialized = false;

    QRadioButton* m_remote = nullptr;
    QLabel* m_siteUrlLabel = nullptr;
    QLineEdit* m_siteUrl = nullptr;
    QRadioButton* m_local = nullptr;
    QLabel* m_fileNameLabel = nullptr;
    QLineEdit* m_fileName = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_hostAreaLabel = nullptr;
    QComboBox* m_hostAreas = nullptr;
    QPushButton* m_ok = nullptr;
};
