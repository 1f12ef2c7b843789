#pragma once
// A control of the main dialog, reached through the view by its id.
#include <string>

#include "app/dialog_view.h"

class CControl {
public:
    CControl(IDialogView& view, int id) : m_View(view), m_Id(id) {}
    int Id() const { return m_Id; }
    void EnableWindow(bool enable) { m_View.EnableControl(m_Id, enable); }
    void ShowWindow(bool show) { m_View.ShowControl(m_Id, show); }
    void SetWindowText(const std::u16string& text) { m_View.SetControlText(m_Id, text); }
    void SetRange(std::uint16_t low, std::uint16_t high) { m_View.SetProgressRange(low, high); }
    void SetPos(int position) { m_View.SetProgressPos(position); }

private:
    IDialogView& m_View;
    int m_Id;
};
