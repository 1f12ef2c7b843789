#include "platform/qt/qt_dialog_view.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/update_dlg.h"
#include "platform/qt/dialog_layout.h"
#include "platform/qt/file_filter.h"
#include "platform/qt/thread_handoff.h"

namespace {

QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }

// The texts carry CR LF line breaks; Qt breaks lines at LF alone.
QString DisplayText(const std::u16string& text)
{
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QLabel* MakeStatic(QWidget* parent, const char* name, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QtDialogView::QtDialogView(QWidget* parent) : QDialog(parent)
{
    // Caption, system menu and a fixed frame: no minimize, maximize or help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(TemplateFont());
    SetTitle(u"s");  // the template's caption, until initialization
    BuildControls();
}

QtDialogView::~QtDialogView() = default;

void QtDialogView::BuildControls()
{
    const DialogBaseUnits units = BaseUnitsOf(font());
    setFixedSize(ToPixels(template102::kWidth, template102::kHeight, units));

    m_ProgressBar = new QProgressBar(this);
    m_ProgressBar->setObjectName(QStringLiteral("progressBar"));
    m_ProgressBar->setTextVisible(false);
    m_ProgressBar->setRange(0, 100);
    m_ProgressBar->setValue(0);
    m_ProgressBar->setGeometry(ToPixels(template102::kProgressBar, units));

    m_UpdateButton = new QPushButton(QStringLiteral("USB_Update"), this);
    m_UpdateButton->setObjectName(QStringLiteral("updateButton"));
    m_UpdateButton->setAutoDefault(false);
    m_UpdateButton->setGeometry(ToPixels(template102::kUpdateButton, units));
    connect(m_UpdateButton, &QPushButton::clicked, this, [this] {
        if (m_Dialog && !m_Closing)
            m_Dialog->OnUpdateClicked();
    });

    m_DoneLabel = MakeStatic(this, "doneLabel", Qt::AlignHCenter);
    m_DoneLabel->setText(QStringLiteral("Firmware upgraded!"));
    m_DoneLabel->setGeometry(ToPixels(template102::kDoneLabel, units));

    m_HintLabel = MakeStatic(this, "hintLabel", Qt::AlignLeft);
    m_HintLabel->setText(QString::fromUtf8("静态"));
    m_HintLabel->setGeometry(ToPixels(template102::kHintLabel, units));
}

void QtDialogView::RunModal(CUpdateDlg& dlg, const std::function<void()>& afterInit)
{
    Attach(&dlg);
    dlg.OnInitDialog();
    if (afterInit)
        afterInit();
    exec();
    Attach(nullptr);
}

void QtDialogView::Attach(CUpdateDlg* dlg)
{
    m_Dialog = dlg;
    m_Closing = false;
}

void QtDialogView::PostDeviceChange(std::uint32_t event)
{
    PostToUiThread([this, event] {
        if (m_Dialog)
            m_Dialog->OnDeviceChange(event, 0);
    });
}

void QtDialogView::PostToUiThread(std::function<void()> work)
{
    PostQueued(this, &m_Handoff, std::move(work));
}

// A blocking queued call, with the wait on our own condition variable: the
// race checker sees this hand-back, while Qt's own blocking connection leaves
// its argument array on the caller's stack for the UI thread to read after
// the call, outside any ordering it can see.
void QtDialogView::OnUiThread(const std::function<void()>& work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    struct Completion {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    auto completion = std::make_shared<Completion>();
    PostToUiThread([completion, &work] {
        work();
        std::lock_guard<std::mutex> guard(completion->mutex);
        completion->done = true;
        completion->finished.notify_one();
    });
    std::unique_lock<std::mutex> lock(completion->mutex);
    completion->finished.wait(lock, [&] { return completion->done; });
}

QWidget* QtDialogView::Control(int id) const
{
    switch (id) {
    case kIdProgressBar:
        return m_ProgressBar;
    case kIdUpdateButton:
        return m_UpdateButton;
    case kIdDoneLabel:
        return m_DoneLabel;
    case kIdHintLabel:
        return m_HintLabel;
    default:
        return nullptr;
    }
}

void QtDialogView::SetTitle(const std::u16string& title)
{
    OnUiThread([&] {
        m_Title = title;
        setWindowTitle(ToQString(title));
    });
}

std::u16string QtDialogView::Title()
{
    std::u16string title;
    OnUiThread([&] { title = m_Title; });
    return title;
}

void QtDialogView::SetControlText(int id, const std::u16string& text)
{
    OnUiThread([&] {
        if (id == kIdUpdateButton)
            m_UpdateButton->setText(ToQString(text));
        else if (auto* label = qobject_cast<QLabel*>(Control(id)))
            label->setText(DisplayText(text));
    });
}

void QtDialogView::EnableControl(int id, bool enable)
{
    OnUiThread([&] {
        if (QWidget* control = Control(id))
            control->setEnabled(enable);
    });
}

void QtDialogView::ShowControl(int id, bool show)
{
    OnUiThread([&] {
        if (QWidget* control = Control(id))
            control->setVisible(show);
    });
}

void QtDialogView::SetProgressRange(std::uint16_t low, std::uint16_t high)
{
    OnUiThread([&] { m_ProgressBar->setRange(low, high); });
}

void QtDialogView::SetProgressPos(int position)
{
    // A progress bar clamps positions to its range; Qt would ignore them.
    OnUiThread([&] {
        m_ProgressBar->setValue(
            std::clamp(position, m_ProgressBar->minimum(), m_ProgressBar->maximum()));
    });
}

void QtDialogView::SetIcons()
{
    OnUiThread([&] { setWindowIcon(QApplication::windowIcon()); });
}

int QtDialogView::MessageBox(const std::u16string& text, const std::u16string& caption,
                             MessageButtons buttons)
{
    int result = kIdOk;
    OnUiThread([&] {
        QMessageBox box(this);
        box.setWindowTitle(ToQString(caption));
        box.setTextFormat(Qt::PlainText);
        box.setText(DisplayText(text));
        if (buttons == MessageButtons::Ok) {
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        } else {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
        }
        box.exec();
        const bool ok = buttons == MessageButtons::Ok ||
                        box.clickedButton() == box.button(QMessageBox::Ok);
        result = ok ? kIdOk : kIdCancel;
    });
    return result;
}

OfferAnswer QtDialogView::AskOffer(const OfferQuestion& question, const std::u16string& caption)
{
    OfferAnswer answer = OfferAnswer::Cancel;
    OnUiThread([&] {
        QMessageBox box(this);
        box.setWindowTitle(ToQString(caption));
        box.setTextFormat(Qt::PlainText);
        box.setText(DisplayText(question.text));
        QPushButton* install = box.addButton(ToQString(question.install), QMessageBox::AcceptRole);
        QPushButton* choose = box.addButton(ToQString(question.chooseFile), QMessageBox::ActionRole);
        QPushButton* cancel = box.addButton(ToQString(question.cancel), QMessageBox::RejectRole);
        box.setDefaultButton(install);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == install)
            answer = OfferAnswer::Install;
        else if (box.clickedButton() == choose)
            answer = OfferAnswer::ChooseFile;
    });
    return answer;
}

bool QtDialogView::FileOpenDialog(const FileOpenRequest& request, std::u16string& path)
{
    bool chosen = false;
    OnUiThread([&] {
        // Qt's own dialog everywhere: the same behaviour with or without a
        // desktop portal. A name typed without a file behind it is returned
        // like the common dialog returns it; opening it then fails.
        QFileDialog dialog(this);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(ToQString(QtNameFilters(request.filter)).split(QStringLiteral(";;")));
        dialog.setDirectory(request.initialDirectory.empty() ? QDir::currentPath()
                                                             : ToQString(request.initialDirectory));
        if (!request.initialFileName.empty())
            dialog.selectFile(ToQString(request.initialFileName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        path = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdU16String();
        chosen = true;
    });
    return chosen;
}

std::u16string QtDialogView::CurrentDirectory() { return QDir::currentPath().toStdU16String(); }

NotifyWindow QtDialogView::NotifyTarget() { return reinterpret_cast<NotifyWindow>(this); }

void QtDialogView::PumpUntil(const std::function<bool()>& done)
{
    // Each WakeUi ends the waiting loops, and the condition is checked again.
    while (!done()) {
        QEventLoop loop;
        m_PumpLoops.push_back(&loop);
        loop.exec();
        m_PumpLoops.pop_back();
    }
}

void QtDialogView::WakeUi()
{
    PostToUiThread([this] {
        for (QEventLoop* loop : m_PumpLoops)
            loop->quit();
    });
}

bool QtDialogView::CloseAllowed()
{
    if (m_Closing)
        return false;
    m_Closing = true;
    const bool allowed = !m_Dialog || m_Dialog->OnCloseRequested();
    m_Closing = allowed && m_Dialog;  // once allowed, the dialog is ending
    return allowed;
}

void QtDialogView::reject()
{
    if (CloseAllowed())
        QDialog::reject();
}

void QtDialogView::accept()
{
    if (CloseAllowed())
        QDialog::accept();
}
