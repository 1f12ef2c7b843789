#pragma once
// Answers the modal windows that open, one step per window in order, from a
// timer on the UI thread. A window that opens when no step is left is
// rejected and counted, so a test fails instead of hanging.
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "platform/qt/qt_dialog_view.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenBox {
    std::u16string caption;
    std::u16string text;
    int buttons = 0;  // number of buttons shown
};

struct SeenFileDialog {
    QStringList nameFilters;
    QString directory;
};

class ModalScript {
public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript()
    {
        m_Timer.setInterval(10);
        QObject::connect(&m_Timer, &QTimer::timeout, [this] { Tick(); });
        m_Timer.start();
    }

    // --- Steps ---
    void PressButton(QMessageBox::StandardButton button)
    {
        m_Steps.push_back([this, button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return Unexpected(modal);
            Record(box);
            box->button(button)->click();
        });
    }
    // A button of the box by its words (boxes with buttons of their own).
    void PressButtonText(const QString& text)
    {
        m_Steps.push_back([this, text](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return Unexpected(modal);
            Record(box);
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == text)
                    return button->click();
            }
            Unexpected(modal);
        });
    }
    void PressEscape()
    {
        m_Steps.push_back([this](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return Unexpected(modal);
            Record(box);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
        });
    }
    // Chooses path in a file dialog, or cancels it when path is empty.
    void ChooseFile(const QString& path)
    {
        m_Steps.push_back([this, path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return Unexpected(modal);
            m_FileDialogs.push_back({dialog->nameFilters(), dialog->directory().absolutePath()});
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();  // public in the base
        });
    }

    // --- What happened ---
    const std::vector<SeenBox>& Boxes() const { return m_Boxes; }
    const std::vector<SeenFileDialog>& FileDialogs() const { return m_FileDialogs; }
    int UnexpectedWindows() const { return m_Unexpected; }
    bool Done() const { return m_Steps.empty(); }

private:
    void Tick()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == m_Handled || IsMainDialog(modal))
            return;
        m_Handled = modal;
        if (m_Steps.empty())
            return Unexpected(modal);
        Step step = std::move(m_Steps.front());
        m_Steps.pop_front();
        step(modal);
    }
    // The main dialog is modal too; it is never answered.
    static bool IsMainDialog(QWidget* window) { return dynamic_cast<QtDialogView*>(window) != nullptr; }
    void Record(QMessageBox* box)
    {
        m_Boxes.push_back({box->windowTitle().toStdU16String(), box->text().toStdU16String(),
                           static_cast<int>(box->buttons().size())});
    }
    void Unexpected(QWidget* modal)
    {
        ++m_Unexpected;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    }

    QTimer m_Timer;
    QPointer<QWidget> m_Handled;
    std::deque<Step> m_Steps;
    std::vector<SeenBox> m_Boxes;
    std::vector<SeenFileDialog> m_FileDialogs;
    int m_Unexpected = 0;
};
