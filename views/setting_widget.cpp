#include "setting_widget.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "Depend/qn_folders.h"

namespace {

QString Folder(int (*getter)(wchar_t*, int))
{
    wchar_t path[512];
    return getter(path, 512) ? QString::fromWCharArray(path) : QString();
}

} // namespace

SettingWidget::SettingWidget(QWidget* parent)
    : TitledDialog("Setting.qml", "pSettingView", parent),
      m_qsCapture(Folder(&QNGetCapturePath)),
      m_qsRecord(Folder(&QNGetRecordPath))
{}

void SettingWidget::setInfo(const QString& title, const QString& capture, const QString& record, bool bmp)
{
    setTitle(title);
    setCapture(capture);
    setRecord(record);
    if (views::StoreChanged(m_bBmp, bmp)) emit sig_bmp_changed();
}

void SettingWidget::setCapture(const QString& folder)
{
    if (views::StoreChanged(m_qsCapture, folder)) emit sig_capture_changed();
}

void SettingWidget::setRecord(const QString& folder)
{
    if (views::StoreChanged(m_qsRecord, folder)) emit sig_record_changed();
}

void SettingWidget::documentLoaded()
{
    connectDocument(SIGNAL(captureSignal()), SLOT(viewCaptureSlot()));
    connectDocument(SIGNAL(recordSignal()), SLOT(viewRcdSlot()));
    connectDocument(SIGNAL(deletePwdSignal(bool)), SLOT(deletePwdSlot(bool)));
    connectDocument(SIGNAL(sumbitSignal()), SLOT(submitSlot()));
    connectDocument(SIGNAL(cancelSignal()), SLOT(cancelSlot()));
}

void SettingWidget::warn(const QString& text) { QMessageBox::warning(this, tr("Warning"), text, QMessageBox::Ok); }

QString SettingWidget::chooseFolder(const QString& start)
{
    return QFileDialog::getExistingDirectory(this, QString(), start, QFileDialog::ShowDirsOnly);
}

bool SettingWidget::refused(const QString& folder, views::FolderProblem problem, const QString& noWrite)
{
    using views::FolderProblem;
    switch (problem) {
        case FolderProblem::None: return false;
        case FolderProblem::Invalid:
        case FolderProblem::NotCreated:
            warn(tr("Directory invalid.") + QStringLiteral("\n'") + folder + QStringLiteral("'\t\t\n"));
            break;
        case FolderProblem::ForbiddenChar:
            warn(tr("A filename cannot contain any of the following characters:\n") + QStringLiteral("\\/:*?\"<>|\n"));
            break;
        case FolderProblem::NoProbe: warn(noWrite); break;
        case FolderProblem::NotWritable: warn(folder + QStringLiteral("\n") + noWrite); break;
    }
    return true;
}

void SettingWidget::submitSlot()
{
    // The document has written both fields into the properties.
    if (refused(m_qsCapture, views::CheckFolder(m_qsCapture, true), tr("Capture path does not have write permission.")))
        return;
    if (refused(m_qsRecord, views::CheckFolder(m_qsRecord, false), tr("Record path does not have write permission.")))
        return;
    accepted_ = true;
    close();
}

void SettingWidget::cancelSlot()
{
    accepted_ = false;
    close();
}

void SettingWidget::deletePwdSlot(bool forget)
{
    // The box shows the state already; the document needs no notice.
    m_bDelKey = forget;
}

void SettingWidget::pick(QString current, void (SettingWidget::*store)(const QString&))
{
    const QString folder = chooseFolder(current);
    if (folder.isEmpty()) return;
    const QFileInfo info(folder);
    if (!info.isReadable() || !info.isWritable()) {
        warn(tr("We have no read and write access!"));
        return;
    }
    (this->*store)(QDir::cleanPath(folder));
}

void SettingWidget::viewCaptureSlot() { pick(m_qsCapture, &SettingWidget::setCapture); }

void SettingWidget::viewRcdSlot() { pick(m_qsRecord, &SettingWidget::setRecord); }
